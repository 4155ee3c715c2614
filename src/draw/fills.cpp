// The two flood fills: by the colour of the start pixel, and up to a border.
#include <new>
#include <vector>

#include "core/status.h"
#include "draw/draw_p.h"

namespace morphel {

namespace {

struct Seed {
  int x;
  int y;
};

bool IsInside(gdImagePtr im, int x, int y) {
  return x >= 0 && y >= 0 && x < gdImageSX(im) && y < gdImageSY(im);
}

// Paints the run of non-border pixels through (x, y) on its row; gives the
// first and last column painted, or false when (x, y) itself is border.
bool PaintRun(gdImagePtr im, int x, int y, int border, int colour, int *left, int *right) {
  if (gdImageGetPixel(im, x, y) == border) return false;
  int i = x;
  for (; i >= 0 && gdImageGetPixel(im, i, y) != border; --i) gdImageSetPixel(im, i, y, colour);
  *left = i + 1;
  for (i = x + 1; i < gdImageSX(im) && gdImageGetPixel(im, i, y) != border; ++i) {
    gdImageSetPixel(im, i, y, colour);
  }
  *right = i - 1;
  return true;
}

bool IsOpen(gdImagePtr im, int x, int y, int border, int colour) {
  const int c = gdImageGetPixel(im, x, y);
  return c != border && c != colour;
}

// Seeds row y at the first pixel of every stretch in left..right that is
// neither border nor already painted.
void SeedRow(gdImagePtr im, int y, int left, int right, int border, int colour,
             std::vector<Seed> &seeds) {
  bool lastBorder = true;
  for (int i = left; i <= right; ++i) {
    const bool open = IsOpen(im, i, y, border, colour);
    if (lastBorder && open) seeds.push_back({i, y});
    lastBorder = !open;
  }
}

// Seeds row y at the first pixel of every stretch in left..right that still
// has the colour old.
void SeedRowOf(gdImagePtr im, int y, int left, int right, int old, std::vector<Seed> &seeds) {
  bool lastOther = true;
  for (int i = left; i <= right; ++i) {
    const bool same = gdImageGetPixel(im, i, y) == old;
    if (lastOther && same) seeds.push_back({i, y});
    lastOther = !same;
  }
}

// Repaints the 4-connected region of pixels that have the colour of (x, y),
// which lies inside the image, with colour. Done here rather than by the
// library's fill, which scans one column past the right edge (where a pixel
// reads as value 0, so regions of value 0 that reach the edge run into each
// other) and on images narrower than four pixels only walks right and down
// from the start. Kept from the library: a palette colour past the entries
// in use fills nothing, and the colour replaces pixels, blending or not.
// False when the seed stack could not grow (the region is then partly filled).
bool FillRegion(gdImagePtr im, int x, int y, int colour) {
  if (!gdImageTrueColor(im) && colour > gdImageColorsTotal(im) - 1) return true;
  const int old = gdImageGetPixel(im, x, y);
  if (old == colour) return true;
  const int blending = im->alphaBlendingFlag;
  im->alphaBlendingFlag = 0;
  bool complete = true;
  try {
    std::vector<Seed> seeds;
    seeds.push_back({x, y});
    while (!seeds.empty()) {
      const Seed seed = seeds.back();
      seeds.pop_back();
      if (gdImageGetPixel(im, seed.x, seed.y) != old) continue;  // painted meanwhile
      int left = seed.x, right = seed.x;
      while (left > 0 && gdImageGetPixel(im, left - 1, seed.y) == old) --left;
      while (right < gdImageSX(im) - 1 && gdImageGetPixel(im, right + 1, seed.y) == old) ++right;
      for (int i = left; i <= right; ++i) gdImageSetPixel(im, i, seed.y, colour);
      // A colour that leaves the pixel's value as it was would never finish.
      if (gdImageGetPixel(im, seed.x, seed.y) == old) break;
      if (seed.y > 0) SeedRowOf(im, seed.y - 1, left, right, old, seeds);
      if (seed.y < gdImageSY(im) - 1) SeedRowOf(im, seed.y + 1, left, right, old, seeds);
    }
  } catch (const std::bad_alloc &) {
    complete = false;
  }
  im->alphaBlendingFlag = blending;
  return complete;
}

}  // namespace

// The library's rule for the bounded fill, with the seeds kept on a stack of
// our own instead of the call stack (the library recurses once per run and
// overflows the stack on a large maze). A seed that has been painted by the
// time it is taken up belongs to a run already done and is dropped.
bool FillToBorderColour(gdImagePtr im, int x, int y, int border, int colour) {
  if (border < 0 || colour < 0) return true;
  if (!gdImageTrueColor(im)) {
    const int last = gdImageColorsTotal(im) - 1;
    if (colour > last || border > last) return true;
  }
  // Like the library: the start point is moved onto the nearest edge pixel.
  x = x < 0 ? 0 : (x >= gdImageSX(im) ? gdImageSX(im) - 1 : x);
  y = y < 0 ? 0 : (y >= gdImageSY(im) ? gdImageSY(im) - 1 : y);
  const int blending = im->alphaBlendingFlag;
  im->alphaBlendingFlag = 0;  // the fill colour replaces, as in the library
  bool complete = true;
  try {
    std::vector<Seed> seeds;
    seeds.push_back({x, y});
    bool first = true;
    while (!seeds.empty()) {
      const Seed seed = seeds.back();
      seeds.pop_back();
      if (!first && !IsOpen(im, seed.x, seed.y, border, colour)) continue;
      first = false;
      int left, right;
      if (!PaintRun(im, seed.x, seed.y, border, colour, &left, &right)) continue;
      if (seed.y > 0) SeedRow(im, seed.y - 1, left, right, border, colour, seeds);
      if (seed.y < gdImageSY(im) - 1) SeedRow(im, seed.y + 1, left, right, border, colour, seeds);
    }
  } catch (const std::bad_alloc &) {
    complete = false;
  }
  im->alphaBlendingFlag = blending;
  return complete;
}

HRESULT Images::Fill(INT x, INT y) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  // A start point outside the image fills nothing (the library would take a
  // start one column or row past the last as a pixel of value 0 and repaint
  // the neighbouring region).
  if (!IsInside(im, x, y)) return S_OK;
  if (!FillRegion(im, x, y, penColor)) return ReportError(kMsgNoMemory);
  return S_OK;
}

HRESULT Images::FillToBorder(INT x, INT y) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  if (!FillToBorderColour(im, x, y, borderColor, penColor)) return ReportError(kMsgNoMemory);
  return S_OK;
}

}  // namespace morphel
