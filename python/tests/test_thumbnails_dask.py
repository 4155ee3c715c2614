"""examples/thumbnails_dask.py on a local cluster of two worker processes."""
import os
import sys

import pytest

import morphel

EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "examples")
pytestmark = pytest.mark.skipif(bool(os.environ.get("MORPHEL_PURE_PYTHON")),
                                reason="the example's calls are the same on both paths: run once")
distributed = pytest.importorskip("distributed")


@pytest.fixture
def photos(tmp_path):
    """Five pictures in four formats (one a palette image), a broken one and a text file."""
    folder = tmp_path / "photos"
    folder.mkdir()
    with morphel.Images() as im:
        for name, code, (w, h), colour in [("a.png", 0, (320, 160), (255, 0, 0)),
                                           ("b.JPG", 1, (100, 400), (0, 0, 255)),
                                           ("c.bmp", 4, (50, 50), (0, 255, 0)),
                                           ("d.gif", 3, (161, 20), (255, 255, 0)),
                                           ("e.png", 0, (40, 30), (0, 0, 0))]:
            (im.CreateImagePalette if name == "e.png" else im.CreateImage)(w, h)
            im.SetColor(*colour)
            im.DrawFilledRectangle(0, 0, w - 1, h - 1)
            im.SetImageType(code)
            im.WriteToFile(str(folder / name))
    (folder / "f.png").write_bytes(b"not a picture")
    (folder / "notes.txt").write_text("not for the component")
    return folder


def test_thumbnails_and_contact_sheet_on_two_workers(photos, tmp_path, monkeypatch):
    sys.path.insert(0, EXAMPLES)
    import thumbnails_dask as example
    package = os.path.dirname(os.path.dirname(morphel.__file__))
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join([package, EXAMPLES]))  # for the workers
    out = tmp_path / "out"
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  dashboard_address=":0") as cluster, \
            distributed.Client(cluster, timeout="60s") as client:
        done, unreadable = example.make_thumbnails(client, str(photos), str(out), timeout=120)
        workers = client.run(os.getpid)
    assert (done, unreadable) == (["a.png", "b.JPG", "c.bmp", "d.gif", "e.png"], ["f.png"])
    assert len(set(workers.values()) - {os.getpid()}) == 2
    expected = {"a.png": ((160, 80), (255, 0, 0)), "b.JPG": ((40, 160), (0, 0, 255)),
                "c.bmp": ((160, 160), (0, 255, 0)), "d.gif": ((160, 20), (255, 255, 0)),
                "e.png": ((160, 120), (0, 0, 0))}
    with morphel.Images() as im:
        for name, ((w, h), colour) in expected.items():
            im.ReadFromFile(str(out / (name + ".png")))
            centre = (im.GetPixelRed(w // 2, h // 2), im.GetPixelGreen(w // 2, h // 2),
                      im.GetPixelBlue(w // 2, h // 2))
            assert (im.GetWidth(), im.GetHeight()) == (w, h), name
            assert max(abs(a - b) for a, b in zip(centre, colour)) <= 6, name  # JPEG, GIF: near
        im.ReadFromFile(str(out / "contact-sheet.png"))
        assert (im.GetWidth(), im.GetHeight()) == (8 + 5 * 168, 8 + 182)
        assert im.GetPixelRed(8 + 80, 8 + 40) == 255   # a.png's thumbnail, centred in its cell
        assert im.GetPixelBlue(8 + 168 + 80, 8 + 80) >= 253
