"""The Python package beside Pillow in the same run: calls by name against
Pillow's pixel calls, and pictures handed to Pillow and NumPy against Pillow's
own copies of the same 2000 x 1500 picture. The two sides take turns, call by
call for the pictures (so both meet the memory allocator in the same state);
each figure is the median of the calling thread's CPU time (kernel time for
page faults included), which the other jobs of a shared machine do not inflate
the way they inflate elapsed time.

    MORPHEL_LIBRARY=build/default/libmorphel.so \\
    PYTHONPATH=build/default/python-built /usr/bin/python3 bench/python_bench.py

The by-name rows are measured with the compiled calls and, in a second process
with MORPHEL_PURE_PYTHON=1, with the ctypes calls they fall back to.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time
import timeit

import numpy
from PIL import Image

import morphel

WIDTH, HEIGHT = 2000, 1500
CALLS = 20000


def per_call_us(statement, namespace, rounds):
    timer = timeit.Timer(statement, timer=time.thread_time, globals=namespace)
    return statistics.median(timer.timeit(CALLS) / CALLS * 1e6 for _ in range(rounds))


def call_figures(rounds):
    """Microseconds of one call: the component's by name, then Pillow's."""
    im = morphel.Images()
    im.CreateImage(100, 100)
    im.SetColor(10, 20, 30)
    picture = Image.new("RGBA", (100, 100))
    namespace = {"im": im, "picture": picture}
    figures = {}
    for _ in range(3):  # taking turns, so both see the same load
        for key, statement in [("SetPixel", "im.SetPixel(5, 7)"),
                               ("putpixel", "picture.putpixel((5, 7), (10, 20, 30, 255))"),
                               ("GetPixelRed", "im.GetPixelRed(5, 7)"),
                               ("getpixel", "picture.getpixel((5, 7))")]:
            figures.setdefault(key, []).append(per_call_us(statement, namespace, rounds))
    im.close()
    return {key: statistics.median(values) for key, values in figures.items()}


def gradient():
    y, x = numpy.mgrid[0:HEIGHT, 0:WIDTH]
    return numpy.stack([x * 255 // WIDTH, y * 255 // HEIGHT, (x + y) % 256,
                        numpy.full_like(x, 255)], axis=2).astype(numpy.uint8)


def ms(function):
    start = time.thread_time()
    function()
    return (time.thread_time() - start) * 1e3


def picture_figures(rounds):
    """Milliseconds of each picture exchange, the two sides in turns."""
    array = gradient()
    im = morphel.Images.from_numpy(array)
    picture = im.to_pil()
    pairs = {
        "to_pil": (im.to_pil, picture.copy),
        "from_pil": (lambda: morphel.Images.from_pil(picture).close(),
                     lambda: Image.frombytes("RGBA", picture.size, picture.tobytes())),
        "round trip": (lambda: morphel.Images.from_pil(im.to_pil()).close(),
                       lambda: Image.frombytes("RGBA", picture.size, picture.tobytes())),
        "to_numpy": (im.to_numpy, lambda: numpy.asarray(picture)),
        "from_numpy": (lambda: morphel.Images.from_numpy(array).close(),
                       lambda: Image.fromarray(array.copy(), "RGBA")),
    }
    figures = {}
    for _ in range(3 * rounds):  # one call each in turn: both sides see the same allocator
        for key, (ours, pillows) in pairs.items():
            figures.setdefault(key, []).append((ms(ours), ms(pillows)))
    im.close()
    return {key: tuple(statistics.median(v[i] for v in values) for i in (0, 1))
            for key, values in figures.items()}


def ctypes_call_figures(rounds):
    """The by-name rows measured in a process that uses the ctypes calls."""
    run = subprocess.run([sys.executable, __file__, "--calls-only", "--rounds", str(rounds)],
                         env={**os.environ, "MORPHEL_PURE_PYTHON": "1"}, capture_output=True,
                         text=True, check=True)
    return json.loads(run.stdout)


def table(calls, pure, pictures):
    rows = [
        ("one `SetPixel` call by name", f"{calls['SetPixel']:.2f} µs "
         f"(ctypes {pure['SetPixel']:.2f} µs)", f"`putpixel` {calls['putpixel']:.2f} µs",
         calls["SetPixel"] / calls["putpixel"]),
        ("one `GetPixelRed` call by name", f"{calls['GetPixelRed']:.2f} µs "
         f"(ctypes {pure['GetPixelRed']:.2f} µs)", f"`getpixel` {calls['getpixel']:.2f} µs",
         calls["GetPixelRed"] / calls["getpixel"]),
    ]
    peers = {"to_pil": "`Image.copy()`", "from_pil": "`frombytes(tobytes())`",
             "round trip": "`frombytes(tobytes())`", "to_numpy": "`numpy.asarray(picture)`",
             "from_numpy": "`Image.fromarray(array.copy())`"}
    works = {"to_pil": "`to_pil()`", "from_pil": "`Images.from_pil()`",
             "round trip": "round trip `from_pil(to_pil())`", "to_numpy": "`to_numpy()`",
             "from_numpy": "`Images.from_numpy()`"}
    for key, (ours, pillows) in pictures.items():
        rows.append((f"{works[key]} of a {WIDTH} × {HEIGHT} image", f"{ours:.1f} ms",
                     f"{peers[key]} {pillows:.1f} ms", ours / pillows))
    lines = ["| work | morphel | Pillow | morphel / Pillow |", "|---|---|---|---|"]
    lines += [f"| {work} | {ours} | {pillows} | {ratio:.2f} |" for work, ours, pillows, ratio in rows]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--calls-only", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.calls_only:
        print(json.dumps(call_figures(args.rounds)))
        return
    if not morphel.compiled:
        print("note: the compiled calls are not in use (no morphel._fast)", file=sys.stderr)
    calls = call_figures(args.rounds)
    pure = ctypes_call_figures(args.rounds)
    pictures = picture_figures(args.rounds)
    print(table(calls, pure, pictures))


if __name__ == "__main__":
    main()
