#!/usr/bin/python3
"""One table: the component beside libgd (both timed by side_by_side in one
process) and beside the Python imaging library doing the same work on the same
image, in the same run.

    /usr/bin/python3 bench/compare/table.py [--runs N] [--binary PATH] [--markdown]
                                            [--instructions] [--pillow-fill] [--only KEYS]

Needs Debian's python3-pil and a built side_by_side (build/default/bench/).
Times are medians of N runs (default 9) in milliseconds. --instructions adds
the ratio of instructions executed (component / libgd), counted by valgrind's
callgrind on images a quarter of the size: a figure that load on a shared
machine leaves alone (a few minutes more).
"""
import argparse
import glob
import io
import os
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageDraw

WIDTH, HEIGHT, SHAPES, PIXELS = 2000, 1500, 10000, 1000000


def median_ms(work, runs):
    work()  # warm-up
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append((time.perf_counter() - start) * 1000.0)
    return statistics.median(times)


def shapes(draw_one):
    def work():
        for i in range(SHAPES):
            draw_one(i, (i * 37) % WIDTH, (i * 91) % HEIGHT)
    return work


def decoder(data):
    return lambda: Image.open(io.BytesIO(data)).load()


def encoder(image, fmt, **options):
    return lambda: image.save(io.BytesIO(), fmt, **options)


def pillow_work(files):
    """The imaging library's counterpart of each operation, by key."""
    rgba = Image.open(os.path.join(files, 'image.png'))
    rgba.load()
    rgba = rgba.convert('RGBA')  # the component writes true colour with alpha
    rgb = rgba.convert('RGB')
    read = {ext: open(os.path.join(files, 'image.' + ext), 'rb').read()
            for ext in ('png', 'jpg', 'gif', 'bmp')}
    canvas = rgb.copy()
    draw = ImageDraw.Draw(canvas)
    pen = (200, 30, 60)
    pixels = canvas.load()
    shape = [0, 0, 50, 5, 70, 40, 40, 70, 5, 50, 20, 20]
    out_path = os.path.join(files, 'pillow.png')

    def gif():
        rgb.quantize(256, dither=Image.Dither.NONE).save(io.BytesIO(), 'GIF')

    def set_pixels():
        for i in range(PIXELS):
            pixels[i % WIDTH, i // WIDTH] = pen

    return {
        'png_write': encoder(rgba, 'PNG'),
        'png_file': lambda: rgba.save(out_path, 'PNG'),
        'jpeg_write': encoder(rgb, 'JPEG', quality=85),
        'gif_write': gif,
        'bmp_write': encoder(rgb, 'BMP'),
        'png_read': decoder(read['png']),
        'jpeg_read': decoder(read['jpg']),
        'gif_read': decoder(read['gif']),
        'bmp_read': decoder(read['bmp']),
        'create': lambda: Image.new('RGBA', (WIDTH, HEIGHT)),
        'lines': shapes(lambda i, x, y: draw.line([(x, y), (WIDTH - x, i % HEIGHT)], fill=pen)),
        'rectangles': shapes(lambda i, x, y: draw.rectangle([x, y, x + 40, y + 30], fill=pen)),
        'ellipses': shapes(lambda i, x, y: draw.ellipse([x - 30, y - 20, x + 30, y + 20], outline=pen)),
        'filled_ellipses': shapes(lambda i, x, y: draw.ellipse([x - 30, y - 20, x + 30, y + 20], fill=pen)),
        'pies': shapes(lambda i, x, y: draw.pieslice([x - 30, y - 20, x + 30, y + 20], 30, 300, fill=pen)),
        'polygons': shapes(lambda i, x, y: draw.polygon(
            [(shape[k] + x, shape[k + 1] + y) for k in range(0, 12, 2)], fill=pen)),
        'pixels': set_pixels,
    }


# The imaging library's flood fill is written in Python: one run on the canvas.
def pillow_fill_once():
    canvas = Image.new('RGB', (WIDTH, HEIGHT))
    start = time.perf_counter()
    ImageDraw.floodfill(canvas, (1000, 700), (10, 200, 30))
    return (time.perf_counter() - start) * 1000.0


def instruction_ratios(binary, files, only):
    """component / libgd instruction counts by key, from one callgrind run."""
    out = os.path.join(files, 'callgrind.out')
    subprocess.run(['valgrind', '--tool=callgrind', '--collect-atstart=no',
                    '--callgrind-out-file=' + out, binary, '--count'] + only,
                   check=True, capture_output=True)
    counts = {}
    for dump in glob.glob(out + '.*'):
        name = total = None
        for line in open(dump):
            if line.startswith('desc: Trigger: Client Request: '):
                name = line.split(': ', 3)[3].strip()
            elif line.startswith('summary: '):
                total = int(line.split()[1])
        if name and total is not None:
            key, side = name.rsplit(' ', 1)
            counts.setdefault(key, {})[side] = total
    return {key: c['component'] / c['libgd'] for key, c in counts.items()
            if c.get('libgd', 0) > 0 and c.get('component') is not None}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument('--runs', type=int, default=9)
    parser.add_argument('--binary', default=os.path.join(here, '..', '..', 'build', 'default',
                                                         'bench', 'side_by_side'))
    parser.add_argument('--markdown', action='store_true', help='print a Markdown table')
    parser.add_argument('--only', help='comma-separated keys of the operations to run')
    parser.add_argument('--instructions', action='store_true',
                        help='add the instruction ratio counted under callgrind')
    parser.add_argument('--pillow-fill', action='store_true',
                        help='also time the imaging library\'s flood fill once (about half a minute)')
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as files:
        only = ['--only', args.only] if args.only else []
        out = subprocess.run([args.binary, '--runs', str(args.runs), '--tsv', '--files', files] + only,
                             check=True, capture_output=True, text=True).stdout
        work = pillow_work(files)
        counted = instruction_ratios(args.binary, files, only) if args.instructions else {}
        rows = []
        for line in out.splitlines():
            key, label, ours, gd = line.split('\t')
            pillow = median_ms(work[key], args.runs) if key in work else None
            if key == 'fill_canvas' and args.pillow_fill:
                pillow = pillow_fill_once()
            # libgd's bounded fill on the maze runs on a thread of its own,
            # which the count does not follow.
            instructions = counted.get(key) if key != 'border_maze' else None
            rows.append((label, float(ours), float(gd), instructions, pillow))
    print_table(rows, args.markdown)


def print_table(rows, markdown):
    def ratio(a, b):
        return '%.2f' % (a / b) if b else '-'
    header = ('operation', 'component ms', 'libgd ms', 'component / libgd',
              'instructions component / libgd', 'Pillow ms', 'component / Pillow')
    lines = []
    for label, ours, gd, instructions, pillow in rows:
        lines.append((label, '%.2f' % ours, '%.2f' % gd, ratio(ours, gd),
                      '%.3f' % instructions if instructions is not None else '-',
                      '%.2f' % pillow if pillow is not None else '-',
                      ratio(ours, pillow) if pillow is not None else '-'))
    if markdown:
        print('| ' + ' | '.join(header) + ' |')
        print('|' + '---|' * len(header))
        for line in lines:
            print('| ' + ' | '.join(line) + ' |')
        return
    widths = [max(len(r[i]) for r in lines + [header]) for i in range(len(header))]
    for line in [header] + lines:
        print('  '.join(cell.ljust(widths[0]) if i == 0 else cell.rjust(widths[i])
                        for i, cell in enumerate(line)))


if __name__ == '__main__':
    sys.exit(main())
