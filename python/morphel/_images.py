"""The Images class: an object made by the library's class factory and called by
name, with Pillow conversions and a readable repr built on its operations."""
import functools
import io
import os
import re
from ctypes import POINTER, byref, c_void_p
from typing import TYPE_CHECKING

from . import _automation as au
from ._dispatch import Dispatch, Error

if TYPE_CHECKING:  # the operations' signatures, generated from the operation table
    from ._operations import Operations as _Operations
else:
    _Operations = object

PNG = 0
# Pillow modes a PNG file holds as they are; others are converted to RGBA first.
_PNG_MODES = {"1", "L", "LA", "P", "RGB", "RGBA"}


def _pillow():
    try:
        from PIL import Image  # type: ignore[import]
    except ImportError as error:
        raise ImportError("Pillow is needed for this (Debian package python3-pil)") from error
    return Image


@functools.lru_cache(maxsize=None)
def _stub_operations():
    """The operation names in the generated stubs (none before a build made them)."""
    try:
        with open(os.path.join(os.path.dirname(__file__), "_operations.pyi"),
                  encoding="utf-8") as stubs:
            return tuple(re.findall(r"^    def (\w+)\(", stubs.read(), re.MULTILINE))
    except OSError:
        return ()


def _create_instance():
    factory = c_void_p()
    status = au.lib().DllGetClassObject(byref(au.guid("CLSID_Images")),
                                        byref(au.guid("IID_IClassFactory")), byref(factory))
    if status != au.S_OK:
        raise Error(status, operation="DllGetClassObject")
    images = c_void_p()
    try:
        status = au.method(factory, 3, au.HRESULT, c_void_p, POINTER(au.GUID),
                           POINTER(c_void_p))(factory, None, byref(au.guid("IID_IDispatch")),
                                              byref(images))
    finally:
        au.release(factory)
    if status != au.S_OK:
        raise Error(status, operation="CreateInstance")
    return images.value


class Images(Dispatch, _Operations):
    """An Images object: ten image slots and the 75 operations, called by name
    in any letter case (`im.CreateImage(200, 100)`, `im.getwidth()`)."""

    _kind = "Images object"
    _strings_as_bytes = True  # the one string result is the encoded image
    _shared_ids: dict[str, int] = {}  # every Images object has the same dispatch identifiers

    def __init__(self):
        super().__init__(_create_instance(), add_reference=False)
        self._ids = Images._shared_ids

    def __dir__(self):
        """The usual attributes and the operations the generated stubs name."""
        return sorted(set(super().__dir__()) | set(_stub_operations()))

    def __repr__(self):
        if not self._pointer:
            return "<morphel.Images released>"
        slot = self.GetImage()
        try:
            size = f"{self.GetWidth()}x{self.GetHeight()}"
            kind = "true colour" if self.GetTrueColor() else "palette"
        except Error:
            return f"<morphel.Images slot {slot}: empty>"
        return f"<morphel.Images slot {slot}: {size} {kind}>"

    def to_pil(self):
        """The current image as a Pillow image, through PNG bytes; the object's
        format code is left as it was."""
        image_module = _pillow()
        previous = self.GetImageType()
        self.SetImageType(PNG)
        try:
            data = self.WriteToVariable()
        finally:
            self.SetImageType(previous)
        picture = image_module.open(io.BytesIO(data))
        picture.load()
        return picture

    @classmethod
    def from_pil(cls, picture):
        """A new Images object holding a Pillow image in slot 0, through PNG bytes
        (modes a PNG cannot hold are converted to RGBA)."""
        if picture.mode not in _PNG_MODES:
            picture = picture.convert("RGBA")
        buffer = io.BytesIO()
        picture.save(buffer, "PNG")
        images = cls()
        try:
            images.SetImageType(PNG)
            images.ReadFromVariable(buffer.getvalue())
        except BaseException:
            images.close()
            raise
        return images
