// The two flood fills: by the colour of the start pixel, and up to a border.
#include <algorithm>
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

// The pixel rows of an image: packed colours of a true-colour image, palette
// indexes of a palette image. The fills read and write them directly; with
// blending off and no clipping set, that is what the library's pixel calls do.
template <typename Pixel>
Pixel **RowsOf(gdImagePtr im);
template <>
int **RowsOf<int>(gdImagePtr im) {
  return im->tpixels;
}
template <>
unsigned char **RowsOf<unsigned char>(gdImagePtr im) {
  return im->pixels;
}

// Seeds row y at the first pixel of every stretch in left..right whose pixels
// pass the test open.
template <typename Pixel, typename Open>
void SeedStretches(const Pixel *row, int y, int left, int right, Open open,
                   std::vector<Seed> &seeds) {
  bool lastClosed = true;
  for (int i = left; i <= right; ++i) {
    const bool isOpen = open(row[i]);
    if (lastClosed && isOpen) seeds.push_back({i, y});
    lastClosed = !isOpen;
  }
}

// Repaints the 4-connected region of pixels that have the value of (x, y),
// which lies inside the image, with paint (a different value).
template <typename Pixel>
void FillRegionRows(gdImagePtr im, int x, int y, Pixel paint) {
  Pixel **rows = RowsOf<Pixel>(im);
  const Pixel old = rows[y][x];
  const int lastX = gdImageSX(im) - 1;
  const int lastY = gdImageSY(im) - 1;
  const auto same = [old](Pixel c) { return c == old; };
  std::vector<Seed> seeds;
  seeds.push_back({x, y});
  while (!seeds.empty()) {
    const Seed seed = seeds.back();
    seeds.pop_back();
    Pixel *row = rows[seed.y];
    if (row[seed.x] != old) continue;  // painted meanwhile
    int left = seed.x, right = seed.x;
    while (left > 0 && row[left - 1] == old) --left;
    while (right < lastX && row[right + 1] == old) ++right;
    std::fill(row + left, row + right + 1, paint);
    if (seed.y > 0) SeedStretches(rows[seed.y - 1], seed.y - 1, left, right, same, seeds);
    if (seed.y < lastY) SeedStretches(rows[seed.y + 1], seed.y + 1, left, right, same, seeds);
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
  try {
    if (gdImageTrueColor(im)) {
      if (im->tpixels[y][x] != colour) FillRegionRows<int>(im, x, y, colour);
      return true;
    }
    if (colour > gdImageColorsTotal(im) - 1) return true;
    // A palette pixel holds the colour's low byte, as the library stores it.
    const auto paint = static_cast<unsigned char>(colour);
    if (im->pixels[y][x] != paint) FillRegionRows<unsigned char>(im, x, y, paint);
    return true;
  } catch (const std::bad_alloc &) {
    return false;
  }
}

// The library's rule for the bounded fill on the rows of an image: from
// (x, y), paint the run of non-border pixels on the row, then seed the rows
// above and below where a stretch of pixels that are neither border nor
// already painted starts. A seed that has been painted by the time it is taken
// up belongs to a run already done and is dropped.
template <typename Pixel>
void FillToBorderRows(gdImagePtr im, int x, int y, int border, int colour) {
  Pixel **rows = RowsOf<Pixel>(im);
  const int lastX = gdImageSX(im) - 1;
  const int lastY = gdImageSY(im) - 1;
  const auto paint = static_cast<Pixel>(colour);
  const auto open = [border, colour](Pixel c) { return c != border && c != colour; };
  if (rows[y][x] == border) return;
  std::vector<Seed> seeds;
  seeds.push_back({x, y});
  bool first = true;
  while (!seeds.empty()) {
    const Seed seed = seeds.back();
    seeds.pop_back();
    Pixel *row = rows[seed.y];
    if (!first && !open(row[seed.x])) continue;
    first = false;
    int left = seed.x, right = seed.x;
    while (left > 0 && row[left - 1] != border) --left;
    while (right < lastX && row[right + 1] != border) ++right;
    std::fill(row + left, row + right + 1, paint);
    if (seed.y > 0) SeedStretches(rows[seed.y - 1], seed.y - 1, left, right, open, seeds);
    if (seed.y < lastY) SeedStretches(rows[seed.y + 1], seed.y + 1, left, right, open, seeds);
  }
}

}  // namespace

// The library's rule for the bounded fill, with the seeds kept on a stack of
// our own instead of the call stack (the library recurses once per run and
// overflows the stack on a large maze).
bool FillToBorderColour(gdImagePtr im, int x, int y, int border, int colour) {
  if (border < 0 || colour < 0) return true;
  if (!gdImageTrueColor(im)) {
    const int last = gdImageColorsTotal(im) - 1;
    if (colour > last || border > last) return true;
  }
  // Like the library: the start point is moved onto the nearest edge pixel.
  x = x < 0 ? 0 : (x >= gdImageSX(im) ? gdImageSX(im) - 1 : x);
  y = y < 0 ? 0 : (y >= gdImageSY(im) ? gdImageSY(im) - 1 : y);
  // The fill colour replaces, as in the library, whatever the blending flag.
  try {
    if (gdImageTrueColor(im)) {
      FillToBorderRows<int>(im, x, y, border, colour);
    } else {
      FillToBorderRows<unsigned char>(im, x, y, border, colour);
    }
  } catch (const std::bad_alloc &) {
    return false;
  }
  return true;
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
