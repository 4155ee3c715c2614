// The filled ellipse for sizes where the library's own routine would take
// out of proportion long: the library visits every pixel of the ellipse's
// bounding box, inside the image or not (hours for sizes near the int range,
// and an endless loop when the right edge reaches INT_MAX).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "draw/draw_p.h"

namespace morphel {

namespace {

// Largest half-axis for which the midpoint arithmetic stays inside 64 bits.
constexpr long long kMaxExactHalfAxis = 1LL << 20;
// Pixel visits below which the library's routine is used as it is. Small
// enough that the routine's own arithmetic fits also where its "long" has
// 32 bits (Windows).
constexpr long long kLibraryWork = 1LL << 20;

// Paints x1..x2 of row y, the part inside the image only.
void PaintSpan(gdImagePtr im, long long y, long long x1, long long x2, int colour) {
  if (y < 0 || y >= gdImageSY(im)) return;
  x1 = std::max<long long>(x1, 0);
  x2 = std::min<long long>(x2, gdImageSX(im) - 1);
  for (long long x = x1; x <= x2; ++x) {
    gdImageSetPixel(im, static_cast<int>(x), static_cast<int>(y), colour);
  }
}

// The library's midpoint fill, step for step (rows in the same order, so a
// blended colour lands the same number of times on each pixel), with every
// row cut to the image and the walk ended once both rows have left it.
void MidpointEllipseFill(gdImagePtr im, long long mx, long long my, long long a, long long b,
                         int colour) {
  PaintSpan(im, my, mx - a, mx + a, colour);
  long long mx1 = mx - a, my1 = my, mx2 = mx + a, my2 = my;
  const int64_t aq = a * a, bq = b * b, dx = aq * 2, dy = bq * 2;
  int64_t r = a * bq, rx = r * 2, ry = 0;
  long long x = a, oldY2 = -2;
  while (x > 0) {
    if (r > 0) {
      ++my1;
      --my2;
      ry += dx;
      r -= ry;
    }
    if (r <= 0) {
      --x;
      ++mx1;
      --mx2;
      rx -= dy;
      r += rx;
    }
    if (oldY2 != my2) {
      PaintSpan(im, my1, mx1, mx2, colour);
      PaintSpan(im, my2, mx1, mx2, colour);
    }
    oldY2 = my2;
    if (my1 >= gdImageSY(im) && my2 < 0) break;  // further rows lie outside
  }
}

// Half-axes past the exact range (ellipses millions of pixels across): each
// image row gets the span of the true ellipse at that row.
void AnalyticEllipseFill(gdImagePtr im, long long mx, long long my, long long a, long long b,
                         int colour) {
  if (a < 0) return;
  for (long long y = 0; y < gdImageSY(im); ++y) {
    const long long k = y - my;
    if (k < -b || k > b) continue;
    const double t = b == 0 ? 0.0 : static_cast<double>(k) / static_cast<double>(b);
    const auto half = static_cast<long long>(std::floor(a * std::sqrt(std::max(0.0, 1 - t * t))));
    PaintSpan(im, y, mx - half, mx + half, colour);
  }
}

}  // namespace

void ClippedEllipseFill(gdImagePtr im, int mx, int my, int w, int h, int colour) {
  const long long a = w >> 1, b = std::llabs(static_cast<long long>(h >> 1));
  if (a > kMaxExactHalfAxis || b > kMaxExactHalfAxis) {
    AnalyticEllipseFill(im, mx, my, a, b, colour);
  } else {
    MidpointEllipseFill(im, mx, my, a, h >> 1, colour);
  }
}

void FilledEllipse(gdImagePtr im, int mx, int my, int w, int h, int colour) {
  // A negative width paints nothing, but the library still forms mx - a and
  // mx + a: both sides count, whatever the sign.
  const long long a = std::llabs(static_cast<long long>(w >> 1));
  const long long b = std::llabs(static_cast<long long>(h >> 1));
  // The library walks its rows and columns in int: they must not reach the
  // ends of the range.
  const bool inIntRange = mx + a < INT32_MAX - 2 && my + b < INT32_MAX - 2 &&
                          mx - a > INT32_MIN + 2 && my - b > INT32_MIN + 2;
  if (inIntRange && (2 * a + 1) * (2 * b + 1) <= kLibraryWork) {
    gdImageFilledEllipse(im, mx, my, w, h, colour);
  } else {
    ClippedEllipseFill(im, mx, my, w, h, colour);
  }
}

}  // namespace morphel
