#!/usr/bin/env python3
"""The gallery from Python: the drawing primitives called by name on a
true-colour and a palette canvas (lines, rectangles, ellipses, arcs, pies,
fills, pixels, polygons from lists, bitmap text), a photograph-like picture
through the colour reductions, TrueType text, rotations and copies between
slots, and a thumbnail made with Pillow when it is installed, written as PNG
files into the directory given as the first argument (default out/).

Usage: gallery.py [directory]   (MORPHEL_LIBRARY may name the library to load)
"""
import os
import sys

SOURCE_PACKAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python")
if os.path.isdir(SOURCE_PACKAGE):
    sys.path.insert(0, SOURCE_PACKAGE)  # run from the source tree

import morphel  # noqa: E402

STAR = [60, 185, 72, 220, 110, 220, 80, 242, 92, 278, 60, 256, 28, 278, 40, 242, 10, 220, 48, 220]


def shapes(im):
    im.SetColor(30, 30, 120)
    im.DrawLine(10, 10, 150, 60)
    im.SetLineThickness(4)
    im.DrawLine(10, 60, 150, 10)
    im.SetLineThickness(1)
    im.SetColor(200, 40, 40)
    im.DrawRectangle(170, 10, 250, 60)
    im.DrawFilledRectangle(260, 10, 340, 60)
    im.SetColor(40, 150, 60)
    im.DrawEllipse(390, 35, 80, 50)
    im.DrawFilledEllipse(480, 35, 80, 50)
    im.SetColor(120, 60, 160)
    im.DrawArc(50, 120, 70, 70, 0, 90)
    im.DrawArc(130, 120, 70, 70, 270, 90)
    im.DrawFilledArc(210, 120, 70, 70, 30, 330)
    im.DrawFilledArc(290, 120, 70, 70, -45, 45)


def fills(im):
    im.SetColor(0, 0, 0)
    im.DrawRectangle(340, 90, 400, 150)
    im.DrawLine(340, 120, 400, 90)
    im.SetColor(250, 200, 0)
    im.Fill(390, 140)
    im.SetColor(200, 0, 120)
    im.DrawEllipse(470, 120, 80, 60)
    im.DrawEllipse(470, 120, 30, 20)
    im.SetBorderColor()
    im.SetColor(0, 180, 200)
    im.FillToBorder(495, 120)
    im.SetColor(0, 0, 0)
    for x in range(10, 580, 4):
        im.SetPixel(x, 170)


def polygons(im):
    im.SetColor(230, 120, 0)
    im.DrawFilledPolygon(STAR, len(STAR))
    im.SetColor(0, 0, 0)
    im.DrawPolygon(STAR, len(STAR))
    im.SetColor(0, 90, 200)
    im.DrawPolygon((130, 275, 190, 190, 250, 275), 6)
    im.SetColor(20, 160, 90)
    im.DrawFilledPolygon([300, 190, 340, 230, 300, 280, 260, 230], 8)


def lettering(im):
    im.SetColor(0, 0, 0)
    for code, name in enumerate(["small", "bold", "large", "tiny", "giant"]):
        im.SetFont(code)
        im.DrawText(370, 190 + 18 * code, f"font {code} {name}")
    im.SetFont(1)
    im.SetColor(160, 0, 0)
    for x, y, angle, text in [(20, 300, 0, "angle 0"), (120, 290, 45, "at 45"),
                              (230, 290, 90, "down"), (330, 330, 180, "180"),
                              (400, 340, -30, "up -30")]:
        im.DrawTextAngle(x, y, angle, text)


def translucent(im):
    im.SetAlphaBlending(1)
    im.SetAlphaColor(255, 0, 0, 80)
    im.DrawFilledEllipse(300, 35, 120, 40)
    im.SetAlphaBlending(0)


def scene(im):
    im.SetColor(245, 245, 235)
    im.DrawFilledRectangle(0, 0, 599, 359)
    for part in (shapes, fills, polygons, lettering, translucent):
        part(im)


def landscape(im):
    """A photograph-like picture: a sky gradient, a translucent sun with a halo,
    shaded hills, and alpha at the bottom (a ramp and a transparent window)."""
    im.CreateImage(320, 200)
    for y in range(200):
        im.SetColor(40 + y // 2, 90 + y * 3 // 4, 230 - y // 3)
        im.DrawLine(0, y, 319, y)
    im.SetAlphaBlending(1)
    for r in range(90, 29, -12):
        im.SetAlphaColor(255, 220 - r, 60, 60 + r // 2)
        im.DrawFilledEllipse(230, 60, r, r)
    for band in range(4):
        top = 110 + band * 18
        hill = [0, 200, 0, top + 20, 80, top, 170, top + 25, 260, top - 5, 319, top + 15, 319, 200]
        im.SetAlphaColor(30 + band * 25, 110 - band * 15, 40 + band * 10, band * 20)
        im.DrawFilledPolygon(hill, len(hill))
    im.SetAlphaBlending(0)
    for x in range(320):
        im.SetAlphaColor(90, 60, 30, x * 127 // 319)
        im.DrawLine(x, 185, x, 199)
    im.SetAlphaColor(0, 0, 0, 127)
    im.DrawFilledRectangle(20, 20, 70, 60)


# The colour reduction page: file name, operation (looked up by name) and arguments.
REDUCTIONS = [("original", None, ()), ("palette", "ConvertToPalette", ()),
              ("palette-noalpha", "ConvertToPaletteNoAlpha", ()),
              ("greyscale", "ConvertToGrayScale", ()),
              ("monochrome-160", "ConvertToMonochrome", (160,)),
              ("monochrome-auto", "ConvertToMonochromeAuto", ())]


def colour_reduction(im, directory):
    im.SetImage(2)
    for name, operation, arguments in REDUCTIONS:
        landscape(im)
        if operation:
            getattr(im, operation)(*arguments)
        im.WriteToFile(os.path.join(directory, f"gallery-python-colour-{name}.png"))


def truetype_page(im):
    """TrueType text on a palette canvas: DejaVu Sans found through the automatic
    font path, with and without anti-aliasing, turned about one point, and a
    text inside the box that measuring it gives."""
    im.CreateImagePalette(600, 320)
    im.SetColor(250, 248, 240)
    im.DrawFilledRectangle(0, 0, 599, 319)
    im.SetFontPathTTFAuto()
    im.SetFontTTF("DejaVuSans")
    im.SetFontSizeTTF(18)
    im.SetColor(20, 20, 60)
    im.DrawTextTTF(10, 30, "Anti-aliased TrueType text &#8212; size 18")
    im.SetTextAntialias(0)
    im.DrawTextTTF(10, 60, "The same without anti-aliasing")
    im.SetTextAntialias(1)
    im.SetFontSizeTTF(12)
    for i, angle in enumerate([0, 30, 60, 90, 150, 210, 270, 330]):
        im.SetColor(max(200 - 40 * i, 0), 40 + 20 * i, 120)
        im.DrawTextAngleTTF(150, 185, angle, f"    {angle} degrees")
    im.SetFontTTF("nosuch DejaVuSans-Bold")  # the second name is used
    im.SetFontSizeTTF(24)
    im.SetColor(0, 100, 0)
    im.DrawTextTTF(320, 190, "Measured box")
    left, top, right, bottom = im.GetTextTTFRectangle(320, 190, "Measured box")
    im.SetColor(200, 0, 0)
    im.DrawRectangle(left - 3, top - 3, right + 3, bottom + 3)


def transform_source(im, slot, create):
    """A small picture to turn in slot: a frame, a disc and a label."""
    im.SetImage(slot)
    create(120, 80)
    im.SetColor(250, 240, 200)
    im.DrawFilledRectangle(0, 0, 119, 79)
    im.SetColor(200, 40, 40)
    im.DrawRectangle(2, 2, 117, 77)
    im.SetColor(40, 110, 200)
    im.DrawFilledEllipse(40, 40, 50, 50)
    im.SetColor(0, 0, 0)
    im.SetFont(1)
    im.DrawText(70, 30, "turn")


def turn_and_paste(im, source, angle, background, x, y):
    """Turns slot source by angle into slot 5 and pastes it onto the page (slot 9)
    at (x, y); returns the x after it."""
    im.SetImage(source)
    im.SetColor(*background)
    im.CopyImageRotate(5, source, angle)
    im.SetImage(5)
    width = im.GetWidth()
    im.CopyImage(9, 5, x, y, 0, 0, width, im.GetHeight())
    return x + width + 10


def transforms_page(im):
    """Free rotations and copies between slots."""
    transform_source(im, 2, im.CreateImage)
    transform_source(im, 3, im.CreateImagePalette)
    transform_source(im, 4, im.CreateImage)
    im.SetColor(250, 240, 200)  # the cream background of slot 4 is see-through
    im.SetTransparent(1)
    im.SetImage(9)
    im.CreateImage(880, 470)
    im.SetColor(255, 255, 255)
    im.DrawFilledRectangle(0, 0, 879, 469)
    x = 10
    for angle in (0, 30, 90, 135, -20):
        x = turn_and_paste(im, 2, angle, (220, 220, 255), x, 10)
    x = turn_and_paste(im, 3, 45, (200, 255, 200), 10, 170)  # palette source
    for angle in (0, 60):  # transparent colour: background at 0
        x = turn_and_paste(im, 4, angle, (255, 200, 200), x, 170)
    im.CopyImageResize(9, 2, 10, 340, 0, 0, 180, 120, 120, 80)  # enlarged
    im.CopyImageResize(9, 2, 200, 340, 0, 0, 60, 40, 120, 80)   # reduced
    im.CopyImageMerge(9, 2, 280, 340, 0, 0, 120, 80, 50)        # half over white
    im.CopyImageSimpleRotate(9, 2, 500, 390, 0, 0, 120, 80, 45)  # about a point
    im.CopyImageSimpleRotate(9, 3, 680, 390, 0, 0, 120, 80, -60)
    im.SetImage(9)


def thumbnail(im, path):
    """A quarter-size copy made by Pillow and written back by the component."""
    try:
        picture = im.to_pil()
    except ImportError:
        print("Pillow is not installed: no thumbnail")
        return
    small = picture.resize((picture.width // 4, picture.height // 4))
    with morphel.Images.from_pil(small) as copy:
        copy.WriteToFile(path)
        print(f"{path}: {copy!r}")


def main(directory):
    os.makedirs(directory, exist_ok=True)
    with morphel.Images() as im:
        for slot, create in ((0, im.CreateImage), (1, im.CreateImagePalette)):
            im.SetImage(slot)
            create(600, 360)
            scene(im)
        im.SetImageType(0)
        for slot, name in ((0, "truecolour"), (1, "palette")):
            im.SetImage(slot)
            path = os.path.join(directory, f"gallery-python-{name}.png")
            im.WriteToFile(path)
            print(f"{path}: {im!r}")
        colour_reduction(im, directory)
        im.SetImage(2)
        truetype_page(im)
        im.WriteToFile(os.path.join(directory, "gallery-python-truetype.png"))
        transforms_page(im)
        im.WriteToFile(os.path.join(directory, "gallery-python-transforms.png"))
        im.SetImage(0)
        thumbnail(im, os.path.join(directory, "gallery-python-thumbnail.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "out"))
