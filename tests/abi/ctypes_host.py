#!/usr/bin/env python3
"""A ctypes host: loads libmorphel.so and drives the component through the
binary interface only, as a script binding would: the class factory, calls
through the vtable by slot, calls by name through IDispatch with automation
values made by the library's own functions, and the thread's error
information.

Usage: ctypes_host.py path/to/libmorphel.so
"""
import ctypes
import sys
from ctypes import (POINTER, Structure, Union, byref, c_int16, c_int32, c_int64, c_uint8,
                    c_uint16, c_uint32, c_void_p, c_double, cast, sizeof)

HRESULT = c_int32
S_OK, S_FALSE = 0, 1
E_FAIL, E_INVALIDARG = -0x7FFFBFFB, -0x7FF8FFA9
DISP_E_EXCEPTION, DISP_E_UNKNOWNNAME = -0x7FFDFFF7, -0x7FFDFFFA
VT_I4, VT_R8, VT_BSTR, VT_INT = 3, 5, 8, 22
VT_VARIANT, VT_UI1, VT_ARRAY = 12, 17, 0x2000
DISPATCH_METHOD = 1


class GUID(Structure):
    _fields_ = [("Data1", c_uint32), ("Data2", c_uint16), ("Data3", c_uint16),
                ("Data4", c_uint8 * 8)]


class VALUE(Union):
    _fields_ = [("llVal", c_int64), ("lVal", c_int32), ("iVal", c_int16), ("bVal", c_uint8),
                ("dblVal", c_double), ("ptr", c_void_p), ("rec", c_void_p * 2)]


class VARIANT(Structure):
    _fields_ = [("vt", c_uint16), ("r1", c_uint16), ("r2", c_uint16), ("r3", c_uint16),
                ("v", VALUE)]


class DISPPARAMS(Structure):
    _fields_ = [("rgvarg", POINTER(VARIANT)), ("rgdispidNamedArgs", c_void_p),
                ("cArgs", c_uint32), ("cNamedArgs", c_uint32)]


class EXCEPINFO(Structure):
    _fields_ = [("wCode", c_uint16), ("wReserved", c_uint16), ("bstrSource", c_void_p),
                ("bstrDescription", c_void_p), ("bstrHelpFile", c_void_p),
                ("dwHelpContext", c_uint32), ("pvReserved", c_void_p),
                ("pfnDeferredFillIn", c_void_p), ("scode", c_int32)]


class SAFEARRAY(Structure):
    _fields_ = [("cDims", c_uint16), ("fFeatures", c_uint16), ("cbElements", c_uint32),
                ("cLocks", c_uint32), ("pvData", c_void_p), ("cElements", c_uint32),
                ("lLbound", c_int32)]


passed = failed = 0


def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAILED:", what)


def method(obj, slot, *argtypes):
    """The function at vtable slot `slot` of COM object `obj`."""
    vtable = cast(cast(obj, POINTER(c_void_p))[0], POINTER(c_void_p))
    return ctypes.CFUNCTYPE(HRESULT, c_void_p, *argtypes)(vtable[slot])


def op(obj, dispid, *argtypes):
    """Operation `dispid` of IImages: after 3 IUnknown and 4 IDispatch slots."""
    return method(obj, 6 + dispid, *argtypes)


def main(path):
    lib = ctypes.CDLL(path)
    lib.SysAllocString.restype = c_void_p
    lib.SysAllocString.argtypes = [c_void_p]
    lib.SysStringLen.restype = c_uint32
    lib.SysStringLen.argtypes = [c_void_p]
    lib.SysStringByteLen.restype = c_uint32
    lib.SysStringByteLen.argtypes = [c_void_p]
    lib.SysFreeString.argtypes = [c_void_p]
    lib.VariantClear.argtypes = [POINTER(VARIANT)]

    def bstr(text):
        units = text.encode("utf-16-le") + b"\0\0"
        return lib.SysAllocString(ctypes.create_string_buffer(units, len(units)))

    def text_of(b):
        n = lib.SysStringLen(b)
        return ctypes.string_at(b, 2 * n).decode("utf-16-le") if b else ""

    check(sizeof(VARIANT) == 24, "VARIANT is 24 bytes")
    guid = lambda name: GUID.in_dll(lib, name)
    factory = c_void_p()
    check(lib.DllGetClassObject(byref(guid("CLSID_Images")), byref(guid("IID_IClassFactory")),
                                byref(factory)) == S_OK, "DllGetClassObject")
    images = c_void_p()
    create = method(factory, 3, c_void_p, POINTER(GUID), POINTER(c_void_p))
    check(create(factory, None, byref(guid("IID_IImages")), byref(images)) == S_OK,
          "CreateInstance")
    method(factory, 2)(factory)
    check(lib.DllCanUnloadNow() == S_FALSE, "an object keeps the module")

    # Through the vtable.
    width, height = c_int32(), c_int32()
    check(op(images, 1, c_int32, c_int32)(images, 320, 200) == S_OK, "CreateImage")
    check(op(images, 48, POINTER(c_int32))(images, byref(width)) == S_OK and width.value == 320,
          "GetWidth")
    check(op(images, 47, POINTER(c_int32))(images, byref(height)) == S_OK and height.value == 200,
          "GetHeight")
    check(op(images, 1, c_int32, c_int32)(images, 6001, 6000) == E_INVALIDARG, "size ceiling")

    # The error information of a failing call.
    check(op(images, 48, POINTER(c_int32))(images, byref(width)) == E_FAIL, "empty slot fails")
    info = c_void_p()
    check(lib.GetErrorInfo(0, byref(info)) == S_OK and info.value, "GetErrorInfo")
    source, description = c_void_p(), c_void_p()
    method(info, 4, POINTER(c_void_p))(info, byref(source))
    method(info, 5, POINTER(c_void_p))(info, byref(description))
    check(text_of(source) == "Morphel", "source Morphel")
    check(text_of(description) == "NO IMAGE!", "description NO IMAGE!")
    lib.SysFreeString(source)
    lib.SysFreeString(description)
    method(info, 2)(info)

    # By name through IDispatch, arguments as automation values.
    get_ids = method(images, 5, POINTER(GUID), POINTER(c_void_p), c_uint32, c_uint32,
                     POINTER(c_int32))
    invoke = method(images, 6, c_int32, POINTER(GUID), c_uint32, c_uint16, POINTER(DISPPARAMS),
                    POINTER(VARIANT), POINTER(EXCEPINFO), POINTER(c_uint32))
    null_iid = GUID()

    def dispid(name):  # OLECHAR is UTF-16 (not the host's 4-byte wchar_t)
        units = ctypes.create_string_buffer(name.encode("utf-16-le") + b"\0\0")
        names = (c_void_p * 1)(ctypes.addressof(units))
        ident = c_int32(0)
        hr = get_ids(images, byref(null_iid), names, 1, 0, byref(ident))
        return hr, ident.value

    check(dispid("createimage") == (S_OK, 1), "GetIDsOfNames ignores letter case")
    check(dispid("NoSuchOperation")[0] == DISP_E_UNKNOWNNAME, "unknown name")

    def call(ident, *args):
        rgvarg = (VARIANT * max(1, len(args)))()
        for i, arg in enumerate(reversed(args)):
            rgvarg[i] = arg
        params = DISPPARAMS(rgvarg, None, len(args), 0)
        result, excep = VARIANT(), EXCEPINFO()
        hr = invoke(images, ident, byref(null_iid), 0, DISPATCH_METHOD, byref(params),
                    byref(result), byref(excep), None)
        return hr, result, excep

    five = VARIANT(vt=VT_BSTR)
    five.v.ptr = bstr("5")
    seven = VARIANT(vt=VT_R8)
    seven.v.dblVal = 7.0
    check(call(1, five, seven)[0] == S_OK, "CreateImage(\"5\", 7.0) by dispatch id")
    lib.SysFreeString(five.v.ptr)
    hr, result, _ = call(dispid("GETWIDTH")[1])
    check(hr == S_OK and result.vt == VT_INT and result.v.lVal == 5, "GetWidth by name")

    hr, result, _ = call(64)  # WriteToVariableVariant: PNG bytes as one-byte variants
    if hr == S_OK:
        array = cast(result.v.ptr, POINTER(SAFEARRAY)).contents
        first = cast(array.pvData, POINTER(VARIANT))[0]
        check(result.vt == VT_ARRAY | VT_VARIANT and array.lLbound == 0, "variant array shape")
        check(first.vt == VT_UI1 and first.v.bVal == 137, "first byte of a PNG")
        lib.VariantClear(byref(result))
    hr, result, _ = call(16)  # WriteToVariable: the PNG file as a byte string
    if hr == S_OK:
        data = ctypes.string_at(result.v.ptr, lib.SysStringByteLen(result.v.ptr))
        check(data[:8] == b"\x89PNG\r\n\x1a\n", "byte string holds the PNG file")
        lib.VariantClear(byref(result))

    slot = VARIANT(vt=VT_I4)
    slot.v.lVal = 4
    check(call(38, slot)[0] == S_OK, "SetImage(4)")
    hr, _, excep = call(47)
    check(hr == DISP_E_EXCEPTION and excep.scode == E_FAIL, "GetHeight on an empty slot")
    check(text_of(excep.bstrSource) == "Morphel" and text_of(excep.bstrDescription) == "NO IMAGE!",
          "exception information")
    for b in (excep.bstrSource, excep.bstrDescription, excep.bstrHelpFile):
        lib.SysFreeString(b)

    check(method(images, 2)(images) == 0, "last Release")
    check(lib.DllCanUnloadNow() == S_OK, "module may unload")
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
