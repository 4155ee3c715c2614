"""Morphel from Python: `Images` objects of libmorphel.so called by name.

    import morphel
    with morphel.Images() as im:
        im.CreateImage(200, 100)
        im.SetColor(255, 0, 0)
        im.DrawFilledPolygon([10, 10, 190, 10, 100, 90], 6)
        im.WriteToFile("hello.png")

Names are looked up by the component (any letter case); arguments and results
are converted as `fill_variant` and `to_python` in `_automation` describe; a
failing call raises `Error` (an `E_INVALIDARG` one is also a `ValueError`).
The library is loaded from $MORPHEL_LIBRARY, from beside this package, or from
the system's library path. `compiled` says whether calls go through the
compiled extension (morphel._fast) or through ctypes (no extension was built,
or MORPHEL_PURE_PYTHON is set).
"""
from ._automation import fast as _fast
from ._automation import lib as library
from ._dispatch import (E_FAIL, E_INVALIDARG, ArgumentOverflowError, ArgumentTypeError,
                        ConversionWarning, Dispatch, Error, InvalidArgumentError)
from ._field import Field, has_sqlite_fields, sqlite_field
from ._images import Images

compiled = _fast is not None

__all__ = [
    "ArgumentOverflowError", "ArgumentTypeError", "ConversionWarning", "Dispatch", "E_FAIL",
    "E_INVALIDARG", "Error", "Field", "Images", "InvalidArgumentError", "compiled",
    "has_sqlite_fields", "library", "sqlite_field",
]

for _exported in (ArgumentOverflowError, ArgumentTypeError, ConversionWarning, Dispatch, Error,
                  Field, Images, InvalidArgumentError):
    _exported.__module__ = __name__  # shown as morphel.Error, not morphel._dispatch.Error
del _exported
