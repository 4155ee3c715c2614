"""Python values to automation values and back, through the library's own
variant functions and through operations whose results show the conversion."""
import array
import ctypes

import pytest

import morphel
from morphel import _automation as au
from conftest import pixel


@pytest.mark.parametrize("value, expected", [
    (None, None),
    (True, True),
    (False, False),
    (0, 0),
    (-2**31, -2**31),
    (2**31 - 1, 2**31 - 1),
    (2**40, 2**40),                          # beyond 32 bits: a 64-bit variant
    (1.25, 1.25),
    ("Aé", "Aé".encode("utf-16-le")),        # a returned string is its stored bytes
    (b"\x00\xff\x01", b"\x00\xff\x01"),      # odd byte count kept
    (bytearray(b"xyz"), b"xyz"),
    (memoryview(array.array("H", [1, 2])), b"\x01\x00\x02\x00"),  # bytes, not items
    (b"", b""),
    ([1, (2.5, "x"), None, []], [1, [2.5, b"x\x00"], None, []]),
])
def test_values_survive_a_variant(value, expected):
    variant = au.VARIANT()
    au.fill_variant(variant, value)
    try:
        assert au.to_python(variant) == expected
        assert type(au.to_python(variant)) is type(expected)
    finally:
        au.lib().VariantClear(ctypes.byref(variant))


def test_strings_come_back_as_text_where_asked():
    variant = au.VARIANT()
    au.fill_variant(variant, ["Aé", "\ud800"])
    assert au.to_python(variant, strings_as_bytes=False) == ["Aé", "\ufffd"]
    au.lib().VariantClear(ctypes.byref(variant))


@pytest.mark.parametrize("value, vt", [
    (True, au.VT_BOOL), (7, au.VT_I4), (-2**63, au.VT_I8), (0.5, au.VT_R8), ("s", au.VT_BSTR),
    (b"s", au.VT_BSTR), ([1], au.VT_ARRAY | au.VT_VARIANT), (None, au.VT_EMPTY),
])
def test_variant_types_chosen(value, vt):
    variant = au.VARIANT()
    au.fill_variant(variant, value)
    assert variant.vt == vt
    au.lib().VariantClear(ctypes.byref(variant))


def test_typed_arrays_come_back_as_lists():
    array = au.lib().SafeArrayCreateVector(au.VT_UI1, 0, 3)   # as a database chunk holds bytes
    for index, byte in enumerate((0, 7, 255)):
        au.lib().SafeArrayPutElement(array, ctypes.byref(ctypes.c_int32(index)),
                                     ctypes.byref(ctypes.c_uint8(byte)))
    variant = au.VARIANT(vt=au.VT_ARRAY | au.VT_UI1)
    variant.v.ptr = array
    assert au.to_python(variant) == [0, 7, 255]
    au.lib().VariantClear(ctypes.byref(variant))


def test_values_that_do_not_convert():
    with pytest.raises(OverflowError):
        au.fill_variant(au.VARIANT(), 2**64)
    with pytest.raises(TypeError):
        au.fill_variant(au.VARIANT(), object())
    with pytest.raises(TypeError):  # an unconvertible element: the array made so far is freed
        au.fill_variant(au.VARIANT(), [1, 2, {3}])


def test_numbers_become_integer_parameters(images):
    images.CreateImage(10.5, 3.5)        # rounded half to even, as the platform does
    assert (images.GetWidth(), images.GetHeight()) == (10, 4)
    images.SetJpegQuality(True)           # VARIANT_TRUE is -1
    assert images.GetJpegQuality() == -1
    images.SetJpegQuality(False)
    assert images.GetJpegQuality() == 0
    with pytest.raises(OverflowError) as raised:
        images.CreateImage(2**40, 1)
    assert isinstance(raised.value, morphel.Error) and raised.value.argument == 1
    with pytest.raises(TypeError) as raised:
        images.CreateImage(1, "high")
    assert (raised.value.code, raised.value.argument) == (0x80020005, 2)


def test_results_come_back_as_python_values(canvas):
    assert type(canvas.GetWidth()) is int and canvas.GetTrueColor() == 1
    encoded = canvas.WriteToVariable()
    assert isinstance(encoded, bytes) and encoded[:8] == b"\x89PNG\r\n\x1a\n"
    assert canvas.WriteToVariableVariant() == list(encoded)
    assert canvas.DestroyImage() == 1


def test_measured_text_box_is_a_list_of_integers(canvas):
    canvas.SetFontPathTTFAuto()
    canvas.SetFontTTF("DejaVuSans")
    left, top, right, bottom = canvas.GetTextTTFRectangle(2, 8, "Box")
    assert all(type(side) is int for side in (left, top, right, bottom))
    assert left < right and top < bottom


def test_text_reaches_the_file_system(canvas, tmp_path):
    target = tmp_path / "bild-ü.png"
    canvas.WriteToFile(str(target))
    assert target.read_bytes() == canvas.WriteToVariable()


def test_polygon_from_a_list(canvas):
    canvas.DrawFilledPolygon([2, 1, 17, 1, 9, 8], 6)
    assert pixel(canvas, 9, 3) == (255, 0, 0)
    assert pixel(canvas, 1, 8) == (255, 255, 255)
    canvas.SetColor(0, 0, 255)
    canvas.DrawPolygon(n=8, pArray=range(0, 8))  # a range, by keyword
    assert pixel(canvas, 2, 3) == (0, 0, 255)


def test_bytes_round_trip_with_an_odd_count(images):
    images.CreateImage(8, 3)
    images.SetColor(255, 255, 255)
    images.SetPixel(7, 2)                        # the pen's colour is the WBMP foreground
    images.SetImageType(2)                       # WBMP: 4 header bytes and one per row
    data = images.WriteToVariable()
    assert data == b"\x00\x00\x08\x03\xff\xff\xfe"
    images.SetImage(1)
    images.ReadFromVariable(data)                # the last, odd byte holds (7, 2)
    assert (images.GetWidth(), images.GetHeight()) == (8, 3)
    assert (images.GetPixelRed(6, 2), images.GetPixelRed(7, 2)) == (255, 0)
