"""The Images class: an object made by the library's class factory and called by
name, with Pillow conversions and a readable repr built on its operations."""
import ctypes
import functools
import os
import re
from ctypes import POINTER, byref, c_void_p
from typing import TYPE_CHECKING

from . import _automation as au
from . import _pixels
from ._dispatch import Dispatch, Error

if TYPE_CHECKING:  # the operations' signatures, generated from the operation table
    from ._operations import Operations as _Operations
else:
    _Operations = object


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

    # ---- pictures without encoding ---------------------------------------------
    def to_pil(self):
        """The current image as a new Pillow image, copied without encoding: a
        true-colour image gives mode "RGBA" over a buffer of its own (which
        Pillow copies on the first change, as for Image.frombuffer), a palette
        image mode "P" with its palette (the transparent colour, if any, as
        info["transparency"])."""
        image_module = _pillow()
        width, height = self.GetWidth(), self.GetHeight()
        if not self.GetTrueColor():
            return self._palette_to_pil(image_module, width, height)
        buffer = _pixels.buffer_to_overwrite(4 * width * height)
        _pixels.read(self, _pixels.RGBA, width, height, _address(buffer), 4 * width)
        return image_module.frombuffer("RGBA", (width, height), buffer, "raw", "RGBA", 0, 1)

    def _palette_to_pil(self, image_module, width, height):
        picture = image_module.new("P", (width, height), None)
        memory = _pixels.pillow_memory(picture, _pixels.INDEX)
        buffer = None
        if memory is None:
            buffer = bytearray(width * height)
            memory = (_address(buffer), width)
        entries = _pixels.read(self, _pixels.INDEX, width, height, *memory)
        if buffer is not None:
            picture.frombytes(bytes(buffer))
        picture.putpalette(bytes(c for entry in entries for c in entry[:3]))
        transparent = [i for i, entry in enumerate(entries) if entry[3] == 0]
        if transparent:
            picture.info["transparency"] = transparent[0]
        return picture

    @classmethod
    def from_pil(cls, picture):
        """A new Images object holding a Pillow image in slot 0, copied without
        encoding: mode "P" gives a palette image (palette entries with their
        alpha from info["transparency"], the first fully transparent one the
        transparent colour), every other mode a true-colour image ("RGBA" and
        "RGB" as they are, other modes converted to RGBA first)."""
        picture.load()
        images = cls()
        try:
            if picture.mode == "P":
                images._palette_from_pil(picture)
            else:
                images._true_colour_from_pil(picture)
        except BaseException:
            images.close()
            raise
        return images

    def _true_colour_from_pil(self, picture):
        layout = _pixels.RGBX if picture.mode == "RGB" else _pixels.RGBA
        if picture.mode not in ("RGB", "RGBA"):
            picture = picture.convert("RGBA")
        width, height = picture.size
        memory = _pixels.pillow_memory(picture, layout)
        if memory is None:  # rows in several blocks: one copy of the pixels
            data = picture.convert("RGBA").tobytes()
            _pixels.write(self, _pixels.RGBA, width, height, _address(data), 4 * width)
            return
        _pixels.write(self, layout, width, height, *memory)

    def _palette_from_pil(self, picture):
        width, height = picture.size
        rgb = picture.getpalette() or []
        count = max(len(rgb) // 3, (picture.getextrema()[1] + 1) if width and height else 1)
        rgb = (rgb + [0] * (3 * count))[:3 * count]
        alpha = _palette_alpha(picture.info.get("transparency"), count)
        entries = [(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], alpha[i]) for i in range(count)]
        memory = _pixels.pillow_memory(picture, _pixels.INDEX)
        data = None
        if memory is None:
            data = picture.tobytes()
            memory = (_address(data), width)
        _pixels.write(self, _pixels.INDEX, width, height, *memory, palette=entries)

    def to_numpy(self):
        """The current image as a height x width x 4 NumPy array of uint8 RGBA
        (alpha 255 opaque); a palette image gives the colours its pixels
        resolve to, alpha 0 at its transparent colour."""
        numpy = _numpy()
        width, height = self.GetWidth(), self.GetHeight()
        array = numpy.empty((height, width, 4), numpy.uint8)
        _pixels.read(self, _pixels.RGBA, width, height, array.ctypes.data, 4 * width)
        return array

    @classmethod
    def from_numpy(cls, array):
        """A new Images object holding a true-colour image made from a NumPy
        array of uint8: height x width x 4 (RGBA), x 3 (RGB, opaque) or
        height x width (grey, opaque)."""
        numpy = _numpy()
        array = numpy.asarray(array)
        if array.dtype != numpy.uint8:
            raise TypeError(f"from_numpy takes uint8 values, not {array.dtype}")
        if array.ndim == 2:
            array = numpy.repeat(array[:, :, None], 3, axis=2)
        if array.ndim != 3 or array.shape[2] not in (3, 4):
            raise ValueError(f"from_numpy takes height x width x 4 or 3 arrays, not {array.shape}")
        if array.shape[2] == 3:
            array = numpy.concatenate([array, numpy.full(array.shape[:2] + (1,), 255,
                                                         numpy.uint8)], axis=2)
        kept, address, stride = _pixels.numpy_memory(array)
        images = cls()
        try:
            _pixels.write(images, _pixels.RGBA, array.shape[1], array.shape[0], address, stride)
        except BaseException:
            images.close()
            raise
        del kept
        return images


def _address(buffer):
    """The address of a bytes or bytearray object's data (kept alive by the caller)."""
    if isinstance(buffer, bytes):
        return ctypes.cast(ctypes.c_char_p(buffer), ctypes.c_void_p).value
    return ctypes.addressof((ctypes.c_char * len(buffer)).from_buffer(buffer))


def _palette_alpha(transparency, count):
    """8-bit alpha of each palette entry from a Pillow "transparency" entry:
    one index, or the alpha of the first entries (the rest opaque)."""
    alpha = [255] * count
    if isinstance(transparency, int) and 0 <= transparency < count:
        alpha[transparency] = 0
    elif isinstance(transparency, (bytes, bytearray)):
        alpha[:len(transparency)] = list(transparency)[:count]
    return alpha


def _numpy():
    try:
        import numpy  # type: ignore[import]
    except ImportError as error:
        raise ImportError("NumPy is needed for this (Debian package python3-numpy)") from error
    return numpy
