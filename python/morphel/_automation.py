"""Automation values over ctypes: the library, its VARIANT, BSTR and SAFEARRAY
shapes, and the conversions between them and Python values.

Every value is made and freed by the library's own functions (SysAllocString*,
SafeArray*, VariantClear), so the component and Python agree on ownership.
"""
import ctypes
import os
from collections.abc import Sequence
from ctypes import (POINTER, Structure, Union, byref, c_char_p, c_double, c_int16, c_int32,
                    c_int64, c_int8, c_uint16, c_uint32, c_uint64, c_uint8, c_void_p, c_float)

HRESULT = c_int32
S_OK, S_FALSE = 0, 1

VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8 = 0, 1, 2, 3, 4, 5
VT_BSTR, VT_DISPATCH, VT_BOOL, VT_VARIANT = 8, 9, 11, 12
VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT = 16, 17, 18, 19, 20, 21, 22, 23
VT_ARRAY, VT_BYREF = 0x2000, 0x4000
VARIANT_TRUE = -1

LIBRARY_NAME = "libmorphel.so"      # the copy a wheel carries beside the package
SYSTEM_LIBRARY_NAME = "libmorphel.so.1"  # the installed library, by its soname
LIBRARY_ENV = "MORPHEL_LIBRARY"


def unsigned(status):
    """A status as the unsigned 32-bit number it is written as (0x80004005)."""
    return status & 0xFFFFFFFF


class GUID(Structure):
    _fields_ = [("Data1", c_uint32), ("Data2", c_uint16), ("Data3", c_uint16),
                ("Data4", c_uint8 * 8)]


class _Value(Union):  # the members this package writes; results are read by type
    _fields_ = [("llVal", c_int64), ("lVal", c_int32), ("boolVal", c_int16),
                ("dblVal", c_double), ("ptr", c_void_p), ("rec", c_void_p * 2)]


class VARIANT(Structure):
    _fields_ = [("vt", c_uint16), ("wReserved1", c_uint16), ("wReserved2", c_uint16),
                ("wReserved3", c_uint16), ("v", _Value)]


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


# The C functions of the library this package calls, with their signatures.
SIGNATURES = {
    "DllGetClassObject": (HRESULT, [POINTER(GUID), POINTER(GUID), POINTER(c_void_p)]),
    "DllCanUnloadNow": (HRESULT, []),
    "SysAllocStringLen": (c_void_p, [c_void_p, c_uint32]),
    "SysAllocStringByteLen": (c_void_p, [c_char_p, c_uint32]),
    "SysStringLen": (c_uint32, [c_void_p]),
    "SysStringByteLen": (c_uint32, [c_void_p]),
    "SysFreeString": (None, [c_void_p]),
    "VariantInit": (None, [POINTER(VARIANT)]),
    "VariantClear": (HRESULT, [POINTER(VARIANT)]),
    "SafeArrayCreateVector": (c_void_p, [c_uint16, c_int32, c_uint32]),
    "SafeArrayPutElement": (HRESULT, [c_void_p, POINTER(c_int32), c_void_p]),
    "SafeArrayGetDim": (c_uint32, [c_void_p]),
    "SafeArrayAccessData": (HRESULT, [c_void_p, POINTER(c_void_p)]),
    "SafeArrayUnaccessData": (HRESULT, [c_void_p]),
    "SafeArrayDestroy": (HRESULT, [c_void_p]),
    "GetErrorInfo": (HRESULT, [c_uint32, POINTER(c_void_p)]),
}

_library = None
_load_hooks: list = []


def _compiled_module():
    """morphel._fast, the compiled calls, unless absent or MORPHEL_PURE_PYTHON is set."""
    if os.environ.get("MORPHEL_PURE_PYTHON"):
        return None
    try:
        from . import _fast  # type: ignore[attr-defined]
    except ImportError:
        return None
    return _fast


fast = _compiled_module()


def on_load(hook):
    """Runs hook(library) once the library is loaded (at once if it is)."""
    _load_hooks.append(hook)
    if _library is not None:
        hook(_library)


def _candidates():
    """Where the library is looked for: the environment variable, next to the
    package, then the system's library path."""
    configured = os.environ.get(LIBRARY_ENV)
    if configured:
        return [configured]
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), LIBRARY_NAME)
    return [beside, SYSTEM_LIBRARY_NAME] if os.path.exists(beside) else [SYSTEM_LIBRARY_NAME]


def lib():
    """The loaded libmorphel.so (loaded on first use)."""
    global _library
    if _library is None:
        errors = []
        for candidate in _candidates():
            try:
                loaded = ctypes.CDLL(candidate)
                break
            except OSError as error:
                errors.append(str(error))
        else:
            raise OSError(f"cannot load {LIBRARY_NAME} (set {LIBRARY_ENV} to its path): "
                          + "; ".join(errors))
        for name, (restype, argtypes) in SIGNATURES.items():
            function = getattr(loaded, name)
            function.restype, function.argtypes = restype, argtypes
        _library = loaded
        for hook in _load_hooks:
            hook(loaded)
    return _library


def guid(name):
    """A GUID the library exports (CLSID_Images, IID_IDispatch, ...)."""
    return GUID.in_dll(lib(), name)


# ---- Calls through an interface's vtable -------------------------------------

_prototypes: dict = {}


def method(obj, slot, restype, *argtypes):
    """The function at vtable slot `slot` of the COM object at address `obj`."""
    key = (restype, argtypes)
    prototype = _prototypes.get(key)
    if prototype is None:
        prototype = _prototypes[key] = ctypes.CFUNCTYPE(restype, c_void_p, *argtypes)
    vtable = ctypes.cast(ctypes.cast(obj, POINTER(c_void_p))[0], POINTER(c_void_p))
    return prototype(vtable[slot])


def add_ref(obj):
    return method(obj, 1, c_uint32)(obj)


def release(obj):
    return method(obj, 2, c_uint32)(obj)


# ---- Strings ----------------------------------------------------------------

def bstr_from_text(text):
    """A new automation string holding `text` as UTF-16 (lone surrogates pass
    through, so the component decides what it cannot convert)."""
    units = text.encode("utf-16-le", "surrogatepass")
    made = lib().SysAllocStringLen(units, len(units) // 2)
    if not made and units:
        raise MemoryError("no memory for an automation string")
    return made


def bstr_from_bytes(data):
    """A new automation string holding exactly these bytes (an odd count too)."""
    raw = bytes(data)  # a memoryview's len() counts items, not bytes
    made = lib().SysAllocStringByteLen(raw, len(raw))
    if not made:
        raise MemoryError("no memory for an automation string")
    return made


def bytes_of_bstr(address):
    return ctypes.string_at(address, lib().SysStringByteLen(address)) if address else b""


def text_of_bstr(address):
    if not address:
        return ""
    raw = ctypes.string_at(address, 2 * lib().SysStringLen(address))
    return raw.decode("utf-16-le", "replace")


# ---- Python values to variants -------------------------------------------------

def _fill_int(variant, value):
    if -2**31 <= value < 2**31:
        variant.vt, variant.v.lVal = VT_I4, value
    elif -2**63 <= value < 2**63:
        variant.vt, variant.v.llVal = VT_I8, value  # the operation reports the overflow
    else:
        raise OverflowError(f"{value} does not fit in a 64-bit integer")


def _fill_array(variant, items):
    array = lib().SafeArrayCreateVector(VT_VARIANT, 0, len(items))
    if not array:
        raise MemoryError("no memory for a safe array")
    try:
        element = VARIANT()
        for index, item in enumerate(items):
            fill_variant(element, item)
            status = lib().SafeArrayPutElement(array, byref(c_int32(index)), byref(element))
            lib().VariantClear(byref(element))
            if status < 0:
                raise MemoryError(f"cannot store element {index} of a safe array")
    except BaseException:
        lib().SafeArrayDestroy(array)
        raise
    variant.vt, variant.v.ptr = VT_ARRAY | VT_VARIANT, array


def fill_variant(variant, value):
    """Makes `variant` (empty on entry) hold `value`; the caller clears it.

    bool -> VT_BOOL, int -> VT_I4 (VT_I8 beyond 32 bits), float -> VT_R8,
    str -> VT_BSTR text, bytes-like -> VT_BSTR holding those bytes, an object
    with an IDispatch pointer -> VT_DISPATCH, any other sequence -> a safe array
    of variants, None -> VT_EMPTY.
    """
    if value is None:
        variant.vt = VT_EMPTY
    elif isinstance(value, bool):
        variant.vt, variant.v.boolVal = VT_BOOL, VARIANT_TRUE if value else 0
    elif isinstance(value, int):
        _fill_int(variant, value)
    elif isinstance(value, float):
        variant.vt, variant.v.dblVal = VT_R8, value
    elif isinstance(value, str):
        variant.v.ptr, variant.vt = bstr_from_text(value), VT_BSTR
    elif isinstance(value, (bytes, bytearray, memoryview)):
        variant.v.ptr, variant.vt = bstr_from_bytes(value), VT_BSTR
    elif hasattr(value, "_dispatch_pointer"):
        pointer = value._dispatch_pointer()
        add_ref(pointer)
        variant.vt, variant.v.ptr = VT_DISPATCH, pointer
    elif isinstance(value, Sequence):
        _fill_array(variant, value)
    else:
        raise TypeError(f"cannot pass a {type(value).__name__} to the component")


# ---- Variants to Python values ---------------------------------------------------

_SCALARS = {
    VT_I1: c_int8, VT_UI1: c_uint8, VT_I2: c_int16, VT_UI2: c_uint16, VT_I4: c_int32,
    VT_UI4: c_uint32, VT_INT: c_int32, VT_UINT: c_uint32, VT_I8: c_int64, VT_UI8: c_uint64,
    VT_R4: c_float, VT_R8: c_double,
}


def _array_to_list(array, vt, strings_as_bytes):
    """The elements of a one-dimensional array of element type vt."""
    if not array or lib().SafeArrayGetDim(array) != 1:
        raise TypeError("only one-dimensional arrays are converted")
    ctype = VARIANT if vt == VT_VARIANT else _SCALARS.get(vt)
    if ctype is None:
        raise TypeError(f"cannot convert an array of variant type {vt}")
    data = c_void_p()
    if lib().SafeArrayAccessData(array, byref(data)) < 0:
        raise TypeError("the array cannot be read")
    try:
        count = ctypes.cast(array, POINTER(SAFEARRAY)).contents.cElements
        elements = (ctype * count).from_address(data.value) if count else []
        if vt == VT_VARIANT:
            return [to_python(element, None, strings_as_bytes) for element in elements]
        return list(elements)
    finally:
        lib().SafeArrayUnaccessData(array)


def to_python(variant, wrap_dispatch=None, strings_as_bytes=True):
    """The Python value of a variant (which stays owned by the caller).

    VT_BSTR gives its stored bytes (as the encoded-image result needs), or its
    text when strings_as_bytes is false; arrays give lists, VT_BOOL a bool, numbers int or float, VT_EMPTY None, and
    a dispatch pointer goes to `wrap_dispatch` (which adds its own reference).
    """
    vt = variant.vt
    if vt in (VT_EMPTY, VT_NULL):
        return None
    if vt == VT_BOOL:
        return variant.v.boolVal != 0
    if vt == VT_BSTR:
        return (bytes_of_bstr if strings_as_bytes else text_of_bstr)(variant.v.ptr)
    if vt in _SCALARS:
        return ctypes.cast(byref(variant.v), POINTER(_SCALARS[vt])).contents.value
    if vt & VT_ARRAY and not vt & VT_BYREF:
        return _array_to_list(variant.v.ptr, vt & ~VT_ARRAY, strings_as_bytes)
    if vt == VT_DISPATCH and wrap_dispatch is not None:
        return wrap_dispatch(variant.v.ptr) if variant.v.ptr else None
    raise TypeError(f"cannot convert a variant of type {vt:#x}")


# ---- The compiled conversions, when the extension is there -----------------------

if fast is not None:
    _pure_fill_variant, _pure_to_python = fill_variant, to_python

    def fill_variant(variant, value):  # noqa: F811 - the same rules, in C
        lib()
        fast.fill_variant(ctypes.addressof(variant), value)

    def to_python(variant, wrap_dispatch=None, strings_as_bytes=True):  # noqa: F811
        lib()
        return fast.to_python(ctypes.addressof(variant), wrap_dispatch, strings_as_bytes)

    fill_variant.__doc__ = _pure_fill_variant.__doc__
    to_python.__doc__ = _pure_to_python.__doc__
