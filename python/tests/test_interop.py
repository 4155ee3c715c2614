"""Pillow images both ways, and SQLite fields (when the library offers them)."""
import sqlite3

import pytest

import morphel
from conftest import pixel



@pytest.fixture
def pil():
    return pytest.importorskip("PIL.Image")


def test_to_pil_keeps_pixels_and_the_format_code(pil, canvas):
    canvas.SetAlphaColor(0, 0, 255, 127)       # fully transparent blue at (3, 2)
    canvas.SetPixel(3, 2)
    canvas.SetImageType(3)
    picture = canvas.to_pil()
    assert (picture.mode, picture.size) == ("RGBA", (20, 10))
    assert picture.getpixel((0, 0)) == (255, 255, 255, 255)
    assert picture.getpixel((3, 2)) == (0, 0, 255, 0)
    assert canvas.GetImageType() == 3


@pytest.mark.parametrize("mode, colour, expected", [
    ("RGB", (10, 20, 30), (10, 20, 30)),
    ("L", 77, (77, 77, 77)),
    ("CMYK", (0, 0, 0, 0), (255, 255, 255)),   # not a PNG mode: converted first
])
def test_from_pil_gives_a_new_object(pil, mode, colour, expected):
    picture = pil.new(mode, (5, 3), colour)
    with morphel.Images.from_pil(picture) as im:
        assert (im.GetImage(), im.GetWidth(), im.GetHeight()) == (0, 5, 3)
        assert pixel(im, 4, 2) == expected
        assert im.to_pil().convert("RGB").getpixel((4, 2)) == expected


needs_fields = pytest.mark.skipif(not morphel.has_sqlite_fields(),
                                  reason="this libmorphel.so has no SQLite fields")


@pytest.fixture
def database(tmp_path):
    path = tmp_path / "album.db"
    with sqlite3.connect(path) as connection:
        connection.execute("CREATE TABLE pictures (id INTEGER PRIMARY KEY, data BLOB)")
        connection.execute("INSERT INTO pictures VALUES (1, NULL)")
    return path


@needs_fields
def test_image_through_a_sqlite_field(canvas, database):
    with morphel.sqlite_field(database, "pictures", "data", 1) as field:
        canvas.WriteToDatabase(field)
        assert (field.Name(), field.ActualSize()) == ("data", len(canvas.WriteToVariable()))
    with sqlite3.connect(database) as connection:
        stored = connection.execute("SELECT data FROM pictures WHERE id = 1").fetchone()[0]
    assert stored == canvas.WriteToVariable()
    canvas.SetImage(2)
    with morphel.sqlite_field(str(database), "pictures", "data", 1) as field:
        canvas.ReadFromDatabase(field)
    assert (canvas.GetWidth(), pixel(canvas, 0, 0)) == (20, (255, 255, 255))


@needs_fields
def test_missing_row_is_an_error(canvas, database):
    with pytest.raises(morphel.Error):
        with morphel.sqlite_field(database, "pictures", "data", 99) as field:
            canvas.WriteToDatabase(field)


@pytest.mark.skipif(morphel.has_sqlite_fields(), reason="the library has SQLite fields")
def test_sqlite_field_without_library_support(database):
    with pytest.raises(NotImplementedError, match="MorphelOpenSqliteField"):
        morphel.sqlite_field(database, "pictures", "data", 1)
