"""Pictures without encoding: the current image copied to or from memory by the
library's raw pixel exchange (MorphelGetImagePixels, MorphelSetImagePixels),
for Pillow images and NumPy arrays.

Alpha is 8 bits here (255 opaque) and 7 bits in the component (0 opaque); the
library maps them as libgd's PNG codec does, a8 = 255 - (2*a7 + a7//64) and
a7 = 127 - a8//2, so every 7-bit value comes back unchanged and so does each
of the 128 8-bit values the first formula gives (0, 2, 4, ..., 126, 129, ...,
253, 255).
"""
from ctypes import POINTER, byref, c_int, c_longlong, c_uint8, c_void_p

from . import _automation as au
from ._dispatch import E_INVALIDARG, Error, thread_error

RGBA, RGBX, INDEX = 0, 1, 2  # the library's MORPHEL_PIXELS_* layouts
_BYTES_PER_PIXEL = {RGBA: 4, RGBX: 4, INDEX: 1}
_GET, _SET = "MorphelGetImagePixels", "MorphelSetImagePixels"


def _function(name):
    function = getattr(au.lib(), name)
    if function.argtypes is None:
        function.restype = au.HRESULT
        function.argtypes = [c_void_p, c_int, c_int, c_int, c_void_p, c_longlong, c_void_p,
                             POINTER(c_int) if name == _GET else c_int]
    return function


def _check(status, name):
    if status >= 0:
        return
    if au.unsigned(status) == E_INVALIDARG:  # a range check records no message
        raise Error(status, operation=name)
    raise thread_error(status, name)


def read(images, layout, width, height, address, stride):
    """Writes the current image into memory at `address` (rows `stride` bytes
    apart); for INDEX, gives its palette as (colours, [(r, g, b, a), ...])."""
    palette = (c_uint8 * 1024)()
    colors = c_int(0)
    status = _function(_GET)(images._dispatch_pointer(), layout, width, height, address, stride,
                             palette, byref(colors))
    _check(status, _GET)
    if layout != INDEX:
        return None
    return [tuple(palette[4 * i:4 * i + 4]) for i in range(colors.value)]


def write(images, layout, width, height, address, stride, palette=()):
    """Puts a new image made from the memory at `address` into the current slot;
    `palette` holds (r, g, b, a) entries for INDEX."""
    entries = (c_uint8 * (4 * max(1, len(palette))))(*[c for entry in palette for c in entry])
    status = _function(_SET)(images._dispatch_pointer(), layout, width, height, address, stride,
                             entries, len(palette))
    _check(status, _SET)


def buffer_to_overwrite(size):
    """A bytearray of `size` bytes that the caller overwrites whole (not
    cleared first where the compiled module is there)."""
    if au.fast is not None:
        return au.fast.uninitialised_bytearray(size)
    return bytearray(size)


# ---- Pillow ---------------------------------------------------------------------

def pillow_memory(picture, layout):
    """(address, stride) of a Pillow image's pixels when its rows lie one after
    the other in one block (as Pillow keeps images up to its block size), else
    None. Pillow keeps RGBA, RGB (padded to 4 bytes) and P pixels in the byte
    order of the library's RGBA, RGBX and INDEX layouts."""
    width, height = picture.size
    pointers = dict(getattr(picture.im, "unsafe_ptrs", ()) or ())
    if not pointers.get("image") or width == 0 or height == 0:
        return None
    rows = list((c_void_p * height).from_address(pointers["image"]))
    stride = width * _BYTES_PER_PIXEL[layout]
    first = rows[0]
    if first is None or rows != list(range(first, first + height * stride, stride)):
        return None
    return first, stride


def _numpy_stride(array):
    """The row stride of a height x width x channels uint8 array whose rows are
    each one run of bytes, else None."""
    height, width, channels = array.shape
    if channels > 1 and array.strides[2] != 1 or width > 1 and array.strides[1] != channels:
        return None
    row = array.strides[0] if height > 1 else width * channels
    return row if row >= width * channels else None


def numpy_memory(array):
    """(address, stride) of a uint8 array's rows, copying it when they are not
    contiguous."""
    if _numpy_stride(array) is None:
        import numpy

        array = numpy.ascontiguousarray(array)
    return array, array.ctypes.data, _numpy_stride(array)

