"""Thumbnails and a contact sheet of a folder of images, made on a Dask cluster.

    python3 examples/thumbnails_dask.py PHOTOS OUT                    # two local workers
    python3 examples/thumbnails_dask.py PHOTOS OUT --scheduler tcp://10.0.0.5:8786

Every task gets a file name and gives back bytes (the thumbnail as PNG), so
nothing but names and bytes crosses between processes: each worker thread
makes its own Images object on first use and keeps it for its next tasks. The
contact sheet is one more task, fed with the thumbnails. On a real cluster the
workers need the morphel package and this file importable (PYTHONPATH) and the
folder at the same path (a shared file system).
"""
import argparse
import math
import os
import sys
import threading

import morphel

THUMBNAIL = 160           # longest side of a thumbnail, in pixels
GAP, LABEL = 8, 14        # space between cells; height of the name below each
TYPES = {".png": 0, ".jpg": 1, ".jpeg": 1, ".wbmp": 2, ".gif": 3, ".bmp": 4}  # format codes
PNG = 0

_local = threading.local()


def _images():
    """This worker thread's own Images object (objects never leave their process)."""
    if getattr(_local, "images", None) is None:
        _local.images = morphel.Images()
    return _local.images


def fitted(width, height, longest):
    """The size of a width x height picture scaled so its longest side is `longest`."""
    scale = longest / max(width, height)
    return max(1, round(width * scale)), max(1, round(height * scale))


def thumbnail(path, longest=THUMBNAIL):
    """(file name, PNG bytes of its thumbnail), or (file name, None) for a file
    the component cannot read."""
    im = _images()
    name = os.path.basename(path)
    with open(path, "rb") as file:
        data = file.read()
    try:
        im.SetImage(0)
        im.SetImageType(TYPES[os.path.splitext(name)[1].lower()])
        im.ReadFromVariable(data)
        width, height = im.GetWidth(), im.GetHeight()
        w, h = fitted(width, height, longest)
        im.SetImage(1)
        im.CreateImage(w, h)
        im.CopyImageResize(1, 0, 0, 0, 0, 0, w, h, width, height)
        im.SetImageType(PNG)
        return name, im.WriteToVariable()
    except morphel.Error:
        return name, None
    finally:
        im.DestroyAll()


def contact_sheet(thumbnails, columns=6, cell=THUMBNAIL):
    """PNG bytes of a sheet with the thumbnails on a grid, each named below."""
    present = [(name, data) for name, data in thumbnails if data is not None]
    columns = max(1, min(columns, len(present)))
    rows = max(1, math.ceil(len(present) / columns))
    im = _images()
    try:
        im.SetImage(0)
        im.CreateImage(GAP + columns * (cell + GAP), GAP + rows * (cell + LABEL + GAP))
        im.SetColor(255, 255, 255)
        im.DrawFilledRectangle(0, 0, im.GetWidth() - 1, im.GetHeight() - 1)
        im.SetImageType(PNG)
        for index, (name, data) in enumerate(present):
            x = GAP + index % columns * (cell + GAP)
            y = GAP + index // columns * (cell + LABEL + GAP)
            im.SetImage(1)
            im.ReadFromVariable(data)
            w, h = im.GetWidth(), im.GetHeight()
            im.CopyImage(0, 1, x + (cell - w) // 2, y + (cell - h) // 2, 0, 0, w, h)
            im.SetImage(0)
            im.SetColor(0, 0, 0)
            im.DrawText(x, y + cell + 1, name[:cell // 6])  # the small font: 6 pixels a letter
        im.SetImage(0)
        return im.WriteToVariable()
    finally:
        im.DestroyAll()


def make_thumbnails(client, folder, out, timeout=None):
    """Thumbnails of the images in `folder` written to `out` (as NAME.png) with
    contact-sheet.png; returns (names done, names the component could not read)."""
    from dask.distributed import wait

    names = sorted(n for n in os.listdir(folder) if os.path.splitext(n)[1].lower() in TYPES)
    tasks = client.map(thumbnail, [os.path.join(folder, n) for n in names])
    sheet = client.submit(contact_sheet, tasks)
    wait([*tasks, sheet], timeout=timeout)
    os.makedirs(out, exist_ok=True)
    done, unreadable = [], []
    for name, data in client.gather(tasks):
        if data is None:
            unreadable.append(name)
            continue
        with open(os.path.join(out, name + ".png"), "wb") as file:
            file.write(data)
        done.append(name)
    with open(os.path.join(out, "contact-sheet.png"), "wb") as file:
        file.write(sheet.result())
    return done, unreadable


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("out")
    parser.add_argument("--scheduler", help="address of a running scheduler (tcp://host:8786)")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes")
    args = parser.parse_args(argv)
    from dask.distributed import Client, LocalCluster

    if args.scheduler:
        client, cluster = Client(args.scheduler), None
    else:
        cluster = LocalCluster(n_workers=args.workers, processes=True, threads_per_worker=1)
        client = Client(cluster)
    try:
        done, unreadable = make_thumbnails(client, args.folder, args.out)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    print(f"{len(done)} thumbnails and contact-sheet.png in {args.out}")
    for name in unreadable:
        print(f"not an image the component reads: {name}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    # The tasks must name this file's functions as a module the workers import,
    # not as __main__ (whose per-thread objects cannot travel).
    import thumbnails_dask

    sys.exit(thumbnails_dask.main())
