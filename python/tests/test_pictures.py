"""Pictures without encoding: Pillow images and NumPy arrays both ways through
the library's raw pixel exchange, checked against the component's own pixel
reads and against Pillow's decoding of the component's PNG files."""
import io

import pytest

import morphel
from morphel import _pixels
from morphel._images import _address

np = pytest.importorskip("numpy")
Image = pytest.importorskip("PIL.Image")


@pytest.fixture
def alpha_ramp(images):
    """128 x 2 true colour: pixel x of row 0 has 7-bit alpha x, row 1 is opaque."""
    images.CreateImage(128, 2)
    for x in range(128):
        images.SetAlphaColor(x, 255 - x, 2 * x, x)
        images.SetPixel(x, 0)
    return images


def png_picture(images):
    """The current image as Pillow decodes the component's PNG file."""
    return Image.open(io.BytesIO(images.WriteToVariable())).convert("RGBA")


def test_true_colour_matches_the_png_codec_and_comes_back_exactly(alpha_ramp):
    array = alpha_ramp.to_numpy()
    assert (array.shape, array.dtype) == ((2, 128, 4), np.uint8)
    assert array[0, :, 3].tolist() == [255 - (2 * a + a // 64) for a in range(128)]
    assert array[1, 5].tolist() == [0, 0, 0, 255]
    picture = alpha_ramp.to_pil()
    assert picture.mode == "RGBA"
    assert picture.tobytes() == array.tobytes() == png_picture(alpha_ramp).tobytes()
    changed = alpha_ramp.to_pil()
    changed.putpixel((0, 1), (1, 2, 3, 4))              # a picture of its own, changeable
    assert (changed.getpixel((0, 1)), alpha_ramp.GetPixelRed(0, 1)) == ((1, 2, 3, 4), 0)
    for copy in (morphel.Images.from_numpy(array), morphel.Images.from_pil(picture)):
        with copy:
            assert copy.GetTrueColor() == 1
            assert [copy.GetPixelAlpha(x, 0) for x in range(128)] == list(range(128))
            assert copy.to_numpy().tobytes() == array.tobytes()


def test_eight_bit_alpha_maps_to_the_nearest_seven_bit_value():
    values = np.arange(256, dtype=np.uint8)
    rgba = np.stack([values, values, values, values], axis=1)[None]
    with morphel.Images.from_numpy(rgba) as im:
        assert [im.GetPixelAlpha(a, 0) for a in (255, 254, 129, 128, 1, 0)] == [
            0, 0, 63, 63, 127, 127]
        back = im.to_numpy()[0, :, 3]
    exact = {255 - (2 * a + a // 64) for a in range(128)}
    assert [int(v) for v in values if back[v] == v] == sorted(exact)


@pytest.mark.parametrize("shape, fill, expected", [
    ((3, 5, 3), 7, (7, 7, 7, 255)),          # RGB: opaque
    ((3, 5), 9, (9, 9, 9, 255)),             # grey
    ((3, 5, 4), 200, (200, 200, 200, 201)),  # alpha 200 is no 7-bit value: 27 gives 201
])
def test_arrays_of_other_shapes(shape, fill, expected):
    with morphel.Images.from_numpy(np.full(shape, fill, np.uint8)) as im:
        assert (im.GetWidth(), im.GetHeight()) == (5, 3)
        assert tuple(im.to_numpy()[2, 4]) == expected


def test_strided_arrays_and_pictures_in_several_blocks(alpha_ramp, monkeypatch):
    array = alpha_ramp.to_numpy()
    with morphel.Images.from_numpy(array[:, ::2]) as im:      # every other column
        assert im.to_numpy().tobytes() == array[:, ::2].tobytes()
    monkeypatch.setattr(_pixels, "pillow_memory", lambda picture, layout: None)
    picture = alpha_ramp.to_pil()
    with morphel.Images.from_pil(picture) as im:                # through tobytes()
        assert im.to_numpy().tobytes() == array.tobytes()


def test_pillow_rows_are_used_in_place_only_when_contiguous():
    Image.core.set_block_size(4096)           # 2 rows of 2000 bytes a block
    try:
        assert _pixels.pillow_memory(Image.new("RGBA", (500, 20)), _pixels.RGBA) is None
    finally:
        Image.core.set_block_size(16 * 1024 * 1024)
    address, stride = _pixels.pillow_memory(Image.new("RGBA", (500, 20)), _pixels.RGBA)
    assert address and stride == 2000


def test_palette_images_stay_palette_images(images):
    images.CreateImagePalette(4, 3)
    images.SetColor(10, 20, 30)                 # index 0: the background
    images.SetAlphaColor(200, 0, 0, 64)         # index 1: half transparent, read opaque
    images.SetPixel(1, 1)
    images.SetColor(0, 0, 255)                  # index 2: the transparent colour
    images.SetTransparent(2)
    images.SetPixel(3, 2)
    picture = images.to_pil()
    assert (picture.mode, picture.info["transparency"]) == ("P", 2)
    assert picture.getpalette()[:9] == [10, 20, 30, 200, 0, 0, 0, 0, 255]
    assert [picture.getpixel(p) for p in ((0, 0), (1, 1), (3, 2))] == [0, 1, 2]
    rgba = images.to_numpy()
    assert [tuple(rgba[y, x]) for x, y in ((0, 0), (1, 1), (3, 2))] == [
        (10, 20, 30, 255), (200, 0, 0, 255), (0, 0, 255, 0)]
    with morphel.Images.from_pil(picture) as copy:
        assert (copy.GetTrueColor(), copy.GetColorTotal(), copy.GetTransparent()) == (0, 3, 1)
        again = copy.to_pil()
        assert (again.tobytes(), again.info) == (picture.tobytes(), picture.info)
        assert copy.to_numpy().tobytes() == rgba.tobytes()


def test_pillow_palette_with_entry_alphas():
    picture = Image.new("P", (3, 1))
    picture.putpalette([1, 2, 3, 4, 5, 6, 7, 8, 9])
    picture.putdata([0, 1, 2])
    picture.info["transparency"] = bytes([255, 0, 0])   # the first transparent entry counts
    with morphel.Images.from_pil(picture) as im:
        assert im.to_pil().info["transparency"] == 1
        assert [im.GetPixelAlpha(x, 0) for x in range(3)] == [0, 127, 0]


def test_refusals_raise_and_leave_the_slot_as_the_create_rule_says(images):
    with pytest.raises(morphel.Error, match="NO IMAGE!"):
        images.to_numpy()
    buffer = bytearray(64)
    cases = [
        (_pixels.RGBA, 6001, 6000, 4 * 6001),    # over the pixel ceiling, never read
        (_pixels.RGBA, 4, 4, 15),                # a row shorter than 4 pixels
        (7, 2, 2, 8),                            # no such layout
        (_pixels.INDEX, 2, 2, 2),                # no palette
    ]
    for layout, width, height, stride in cases:
        images.CreateImage(1, 1)
        with pytest.raises(morphel.InvalidArgumentError):
            _pixels.write(images, layout, width, height, _address(buffer), stride)
        with pytest.raises(morphel.Error, match="NO IMAGE!"):
            images.GetWidth()                    # emptied first, as by CreateImage
    with pytest.raises(morphel.InvalidArgumentError):  # index 1 with one colour
        _pixels.write(images, _pixels.INDEX, 2, 1, _address(b"\x00\x01"), 2,
                      palette=[(0, 0, 0, 255)])
    images.CreateImage(2, 2)
    for layout, width in ((_pixels.RGBA, 3), (_pixels.INDEX, 2)):  # wrong size; not a palette
        with pytest.raises(morphel.InvalidArgumentError):
            _pixels.read(images, layout, width, 2, _address(buffer), 16)


def test_numpy_values_must_be_bytes():
    with pytest.raises(TypeError, match="uint8"):
        morphel.Images.from_numpy(np.zeros((2, 2, 4), np.uint16))
    with pytest.raises(ValueError, match="height x width"):
        morphel.Images.from_numpy(np.zeros((2, 2, 2), np.uint8))
