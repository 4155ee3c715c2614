"""Late binding through IDispatch: names resolved by GetIDsOfNames, calls made
by Invoke, failures raised as morphel.Error with the component's own message."""
import ctypes
import warnings
from ctypes import POINTER, byref, c_int32, c_uint16, c_uint32, c_void_p

from . import _automation as au

try:  # the operations' documentation, written by the build beside the package
    from ._docs import doc as _operation_doc
except ImportError:
    def _operation_doc(name):
        return None

E_FAIL = 0x80004005
E_INVALIDARG = 0x80070057
DISP_E_UNKNOWNNAME = 0x80020006
DISP_E_EXCEPTION = 0x80020009
DISP_E_TYPEMISMATCH = 0x80020005
DISP_E_OVERFLOW = 0x8002000A
DISP_E_BADPARAMCOUNT = 0x8002000E
DISP_E_PARAMNOTFOUND = 0x80020004
DISP_E_NONAMEDARGS = 0x80020007
DISPATCH_METHOD = 1
_NULL_IID = au.GUID()


class Error(Exception):
    """A failing call: `code` is the status (0x80004005 for E_FAIL), `source`
    and `description` the error information the component left ("Morphel",
    "NO IMAGE!"; empty for a range check, which records none), `operation` the
    name called and `argument` (from 1) the argument that did not convert, if any."""

    def __new__(cls, code, source="", description="", operation="", argument=None):
        if cls is Error:
            cls = _KINDS.get(au.unsigned(code), Error)
        return super().__new__(cls)

    def __init__(self, code, source="", description="", operation="", argument=None):
        self.code = au.unsigned(code)
        self.source = source
        self.description = description
        self.operation = operation
        self.argument = argument
        super().__init__(self._message())

    def _message(self):
        text = self.description or _DEFAULT_TEXTS.get(self.code, "failed")
        where = f"{self.operation}: " if self.operation else ""
        if self.argument is not None:
            where += f"argument {self.argument}: "
        origin = f"{self.source}: " if self.source else ""
        return f"{where}{origin}{text} (0x{self.code:08X})"

    def __reduce__(self):
        return (Error, (self.code, self.source, self.description, self.operation, self.argument))


class InvalidArgumentError(Error, ValueError):
    """E_INVALIDARG: an argument out of range."""


class ArgumentTypeError(Error, TypeError):
    """The arguments did not fit the operation (count, type or a named argument)."""


class ArgumentOverflowError(Error, OverflowError):
    """A number too large for the operation's parameter."""


class ConversionWarning(UserWarning):
    """S_FALSE: a string did not convert to the narrow code page, so the
    operation did nothing."""


_KINDS = {
    E_INVALIDARG: InvalidArgumentError,
    DISP_E_TYPEMISMATCH: ArgumentTypeError,
    DISP_E_BADPARAMCOUNT: ArgumentTypeError,
    DISP_E_PARAMNOTFOUND: ArgumentTypeError,
    DISP_E_NONAMEDARGS: ArgumentTypeError,
    DISP_E_OVERFLOW: ArgumentOverflowError,
}

_DEFAULT_TEXTS = {
    E_INVALIDARG: "argument out of range",
    DISP_E_TYPEMISMATCH: "argument of the wrong type",
    DISP_E_BADPARAMCOUNT: "wrong number of arguments",
    DISP_E_PARAMNOTFOUND: "no such parameter",
    DISP_E_NONAMEDARGS: "named arguments are not accepted",
    DISP_E_OVERFLOW: "argument out of the parameter's range",
}


def thread_error(code, operation):
    """An Error from the thread's current error information (taken), if any."""
    info = c_void_p()
    source = description = ""
    if au.lib().GetErrorInfo(0, byref(info)) == au.S_OK and info.value:
        try:
            source, description = _read_error_info(info)
        finally:
            au.release(info)
    return Error(code, source, description, operation)


def _read_error_info(info):
    texts = []
    for slot in (4, 5):  # IErrorInfo::GetSource, GetDescription
        text = c_void_p()
        au.method(info, slot, au.HRESULT, POINTER(c_void_p))(info, byref(text))
        texts.append(au.text_of_bstr(text.value))
        au.lib().SysFreeString(text.value)
    return texts


def _exception_error(excep, operation):
    try:
        return Error(excep.scode, au.text_of_bstr(excep.bstrSource),
                     au.text_of_bstr(excep.bstrDescription), operation)
    finally:
        for text in (excep.bstrSource, excep.bstrDescription, excep.bstrHelpFile):
            au.lib().SysFreeString(text)


def _utf16_names(names):
    buffers = [ctypes.create_string_buffer(n.encode("utf-16-le", "surrogatepass") + b"\0\0")
               for n in names]
    return buffers, (c_void_p * len(names))(*[ctypes.addressof(b) for b in buffers])


class Dispatch:
    """An automation object reached by name: `obj.AnyOperation(...)` looks the
    name up once (in any letter case) and calls it through Invoke.

    The object holds one reference, given up by `close()`, at the end of a
    `with` block or when it is garbage-collected."""

    _kind = "automation object"
    _strings_as_bytes = False  # a returned string is text, unless a class says otherwise

    def __init__(self, pointer, add_reference=True):
        self._pointer = pointer
        self._ids = {}
        if add_reference:
            au.add_ref(pointer)

    # ---- lifetime --------------------------------------------------------------
    def close(self):
        """Releases the object now; later calls raise ValueError."""
        pointer, self._pointer = getattr(self, "_pointer", None), None
        if pointer:
            au.release(pointer)

    def __del__(self):
        try:
            self.close()
        except Exception:  # interpreter shutdown: the library may be gone already
            pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __reduce_ex__(self, protocol):
        # A copy would share the reference and release it twice.
        raise TypeError(f"a {self._kind} cannot be copied or pickled")

    def _dispatch_pointer(self):
        if not self._pointer:
            raise ValueError(f"operation on a released {self._kind}")
        return self._pointer

    # ---- names -------------------------------------------------------------------
    def __getattr__(self, name):
        if name.startswith("_"):
            raise AttributeError(name)
        dispid = self._dispid(name)

        def call(*args, **kwargs):
            return self._invoke(name, dispid, args, kwargs)

        call.__name__ = call.__qualname__ = name
        call.__doc__ = _operation_doc(name)
        return call

    def _ids_of_names(self, names):
        """GetIDsOfNames for a name and its parameter names; (status, ids)."""
        buffers, table = _utf16_names(names)
        ids = (c_int32 * len(names))()
        pointer = self._dispatch_pointer()
        status = au.method(pointer, 5, au.HRESULT, POINTER(au.GUID), c_void_p, c_uint32,
                           c_uint32, POINTER(c_int32))(
            pointer, byref(_NULL_IID), table, len(names), 0, ids)
        del buffers
        return au.unsigned(status), list(ids)

    def _dispid(self, name):
        dispid = self._ids.get(name)
        if dispid is None:
            status, ids = self._ids_of_names([name])
            if status == DISP_E_UNKNOWNNAME:
                raise AttributeError(f"{self._kind} has no operation {name!r}")
            if status != au.S_OK:
                raise Error(status, operation=name)
            dispid = self._ids[name] = ids[0]
        return dispid

    def _positional(self, name, args, kwargs):
        """Arguments in parameter order, keyword arguments placed by the
        parameter names the object reports."""
        if not kwargs:
            return list(args)
        status, ids = self._ids_of_names([name, *kwargs])
        if status != au.S_OK:
            unknown = [k for k, i in zip(kwargs, ids[1:]) if i < 0]
            raise TypeError(f"{name}() got unexpected keyword arguments {unknown}")
        placed = dict(enumerate(args))
        for keyword, position in zip(kwargs, ids[1:]):
            if position in placed:
                raise TypeError(f"{name}() got multiple values for argument {keyword!r}")
            placed[position] = kwargs[keyword]
        if sorted(placed) != list(range(len(placed))):
            raise TypeError(f"{name}() is missing an argument before the keyword ones")
        return [placed[i] for i in range(len(placed))]

    # ---- calls -------------------------------------------------------------------
    def _invoke(self, name, dispid, args, kwargs):
        values = self._positional(name, args, kwargs)
        count = len(values)
        rgvarg = (au.VARIANT * max(1, count))()
        try:
            for i, value in enumerate(reversed(values)):  # last argument first
                au.fill_variant(rgvarg[i], value)
            return self._invoke_variants(name, dispid, rgvarg, count)
        finally:
            for variant in rgvarg:
                au.lib().VariantClear(byref(variant))

    def _invoke_variants(self, name, dispid, rgvarg, count):
        params = au.DISPPARAMS(rgvarg, None, count, 0)
        result, excep, arg_err = au.VARIANT(), au.EXCEPINFO(), c_uint32(0)
        pointer = self._dispatch_pointer()
        status = au.method(pointer, 6, au.HRESULT, c_int32, POINTER(au.GUID), c_uint32, c_uint16,
                           POINTER(au.DISPPARAMS), POINTER(au.VARIANT), POINTER(au.EXCEPINFO),
                           POINTER(c_uint32))(
            pointer, dispid, byref(_NULL_IID), 0, DISPATCH_METHOD, byref(params), byref(result),
            byref(excep), byref(arg_err))
        try:
            if au.unsigned(status) == DISP_E_EXCEPTION:
                raise _exception_error(excep, name)
            if status < 0:
                argument = count - arg_err.value if au.unsigned(status) in (
                    DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW) else None
                raise Error(status, operation=name, argument=argument)
            if status == au.S_FALSE:
                warnings.warn(f"{name}: a string did not convert to the narrow code page; "
                              "nothing was done", ConversionWarning, stacklevel=4)
            return au.to_python(result, Dispatch, self._strings_as_bytes)
        finally:
            au.lib().VariantClear(byref(result))
