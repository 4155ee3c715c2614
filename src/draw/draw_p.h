// Helpers shared by the drawing operations (private to src/draw, src/text and
// src/transform).
#ifndef MORPHEL_DRAW_DRAW_P_H
#define MORPHEL_DRAW_DRAW_P_H

#include <gd.h>

#include "core/images.h"

namespace morphel {

// The library's filled polygon (also under filled arcs) keeps its edge
// crossings in a buffer of the image's that it allocates on demand and, when
// that fails, draws nothing and says nothing. Fills the polygon and reports
// "NO MEMORY!" when the buffer could not be had (the image is then
// unchanged, and the buffer's record is mended for later calls).
HRESULT FilledPolygonChecked(gdImagePtr im, gdPointPtr points, int count, int colour);
HRESULT FilledArcChecked(gdImagePtr im, int x, int y, int w, int h, int s, int e, int colour);

// Allocates (r, g, b, a) in im, else takes the nearest colour there, and makes
// the result the pen colour; "NO COLOR!" when neither gives a colour.
HRESULT ResolvePenColour(Images &obj, gdImagePtr im, int r, int g, int b, int a);

// The packed colour of pixel (x, y): true-colour pixels as stored; palette
// pixels from their entry's red, green and blue, with alpha 127 for the
// transparent index and 0 otherwise. Outside the image the pixel value is 0.
int PackedPixel(gdImagePtr im, int x, int y);

// Makes c the transparent colour of im (-1: none), keeping the palette's
// alpha table in step: the old transparent entry becomes opaque again.
void SetTransparentColour(gdImagePtr im, int c);

// The bounded fill: repaints outwards from (x, y) up to pixels of colour
// border, with colour, using an explicit stack of seeds. False when the seed
// stack could not grow (the image is then partly filled).
bool FillToBorderColour(gdImagePtr im, int x, int y, int border, int colour);

// The filled ellipse of centre (mx, my), width w and height h: the library's
// routine where its work is small, else the same midpoint walk cut to the
// image (ClippedEllipseFill), so that huge sizes take time in proportion to
// the image, not to the ellipse.
void FilledEllipse(gdImagePtr im, int mx, int my, int w, int h, int colour);
void ClippedEllipseFill(gdImagePtr im, int mx, int my, int w, int h, int colour);

// The outline of a rectangle with the image's thickness above 1, as the
// library draws it, painting only the part of the bands inside the image.
// ThickRectangle leaves small rectangles to the library.
void ThickRectangle(gdImagePtr im, int x1, int y1, int x2, int y2, int colour);
void ClippedThickRectangle(gdImagePtr im, int x1, int y1, int x2, int y2, int colour);

// The arc range actually drawn for start s and end e (whole degrees): the
// library call takes [start, end]; empty is true when nothing is to be drawn.
struct ArcRange {
  int start;
  int end;
  bool empty;
};
ArcRange ArcRangeFor(int s, int e);

}  // namespace morphel

#endif  // MORPHEL_DRAW_DRAW_P_H
