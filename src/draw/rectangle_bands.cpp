// The outline of a rectangle drawn with a thickness above 1: four bands
// centred on the outline. The library paints every pixel of the bands, inside
// the image or not, in int arithmetic (endless for corners near the ends of
// the int range, hours for corners a billion pixels apart); far-reaching
// bands are painted here, the same pixels cut to the image.
#include <algorithm>

#include "draw/draw_p.h"

namespace morphel {

namespace {

// Pixel visits below which the library's routine is used as it is.
constexpr long long kLibraryWork = 1LL << 22;
constexpr long long kIntMin = -2147483648LL;
constexpr long long kIntMax = 2147483647LL;

// Paints columns x1..x2 of the rows between ya and yb (either order), the
// part inside the image. Each pixel of a band is painted once, so the order
// of the rows does not change the result, blended or not.
void PaintBlock(gdImagePtr im, long long x1, long long x2, long long ya, long long yb,
                int colour) {
  x1 = std::max<long long>(x1, 0);
  x2 = std::min<long long>(x2, gdImageSX(im) - 1);
  const long long y1 = std::max<long long>(std::min(ya, yb), 0);
  const long long y2 = std::min<long long>(std::max(ya, yb), gdImageSY(im) - 1);
  for (long long y = y1; y <= y2; ++y) {
    for (long long x = x1; x <= x2; ++x) {
      gdImageSetPixel(im, static_cast<int>(x), static_cast<int>(y), colour);
    }
  }
}

}  // namespace

void ClippedThickRectangle(gdImagePtr im, int x1, int y1, int x2, int y2, int colour) {
  const long long thick = im->thick, half = thick >> 1;
  const long long left = std::min(x1, x2) - half, right = std::max(x1, x2) + half;
  const long long top = std::min(y1, y2) - half, bottom = std::max(y1, y2) + half;
  PaintBlock(im, left, right, top, top + thick - 1, colour);        // top band
  PaintBlock(im, left, right, bottom - thick + 1, bottom, colour);  // bottom band
  if (top + thick <= bottom - thick) {
    PaintBlock(im, left, left + thick, top + thick, bottom - thick, colour);    // left side
    PaintBlock(im, right - thick, right, top + thick, bottom - thick, colour);  // right side
  }
}

void ThickRectangle(gdImagePtr im, int x1, int y1, int x2, int y2, int colour) {
  const long long thick = im->thick, half = thick >> 1;
  const long long left = std::min(x1, x2) - half, right = std::max(x1, x2) + half;
  const long long top = std::min(y1, y2) - half, bottom = std::max(y1, y2) + half;
  const long long work = 2 * thick * (right - left + 1) + 2 * (thick + 1) * (bottom - top);
  const bool inIntRange = left > kIntMin && top > kIntMin && right + thick < kIntMax &&
                          bottom + thick < kIntMax;
  if (inIntRange && work <= kLibraryWork) {
    gdImageRectangle(im, x1, y1, x2, y2, colour);
  } else {
    ClippedThickRectangle(im, x1, y1, x2, y2, colour);
  }
}

}  // namespace morphel
