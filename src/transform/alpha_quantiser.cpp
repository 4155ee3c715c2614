// The median-cut quantisers: a histogram over red, green, blue and (in the
// alpha-aware layout) alpha, boxes split first by population and then by size,
// one palette entry per box, and a nearest-entry map worked out one block of
// cells at a time.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "transform/alpha_quantiser_p.h"

namespace morphel {

namespace {

// Axes: red, green and blue (0..255) and the library's alpha (0 opaque ..
// 127 transparent). A cell keeps 5, 6 and 5 bits of the colours; the
// alpha-aware layout keeps 3 bits of alpha, the colour-only one none (every
// alpha falls in one cell, which weighs nothing in distances).
constexpr int kAxes = 4;
// The histogram is one flat array with alpha outermost and blue innermost, so
// that a mostly opaque picture touches one eighth of it.
constexpr int kStride[kAxes] = {64 * 32, 32, 1, 32 * 64 * 32};
static_assert(kStride[2] == 1, "blue runs are contiguous");
constexpr int kMaxEntries = gdMaxColors;
// The nearest-entry map is worked out for blocks of 4 x 8 x 4 x 1 cells.
constexpr int kBlockSpan[kAxes] = {4, 8, 4, 1};
constexpr int kBlockCells = 4 * 8 * 4 * 1;

// One channel layout of the median cut.
struct Layout {
  int shift[kAxes];     // bits dropped from each channel to find its cell
  int lastCell[kAxes];  // highest cell number on each axis
  // Distance weights: per squared unit red counts 4, green 9, blue 1 and (in
  // the alpha-aware layout) alpha 16.
  int scale[kAxes];
  bool pinsAlpha;  // entries take the mean alpha, extremes pinned; else opaque
  int Cells() const { return (lastCell[3] + 1) * kStride[3]; }
};

constexpr Layout kWithAlpha = {{3, 2, 3, 4}, {31, 63, 31, 7}, {2, 3, 1, 4}, true};
constexpr Layout kColourOnly = {{3, 2, 3, 7}, {31, 63, 31, 0}, {2, 3, 1, 0}, false};

using Cell = std::array<int, kAxes>;
using Colour = std::array<int, kAxes>;  // red, green, blue, alpha

int Square(int v) {
  return v * v;
}

// The cell of a packed pixel, as an index into the flat histogram.
inline int CellIndexOf(const Layout &layout, int pixel) {
  return (gdTrueColorGetRed(pixel) >> layout.shift[0]) * kStride[0] +
         (gdTrueColorGetGreen(pixel) >> layout.shift[1]) * kStride[1] +
         (gdTrueColorGetBlue(pixel) >> layout.shift[2]) * kStride[2] +
         (gdTrueColorGetAlpha(pixel) >> layout.shift[3]) * kStride[3];
}

int IndexOf(const Cell &c) {
  return c[0] * kStride[0] + c[1] * kStride[1] + c[2] * kStride[2] + c[3] * kStride[3];
}

Cell CellAt(int index) {
  return {index / kStride[0] % 32, index / kStride[1] % 64, index % 32, index / kStride[3]};
}

// The centre of cell number `cell` on an axis, in channel units.
int CellCentre(const Layout &layout, int axis, int cell) {
  return (cell << layout.shift[axis]) + (1 << layout.shift[axis]) / 2;
}

// Calls visit(cell, count) for the cells from lo to hi (inclusive on every
// axis) in memory order (alpha, red, green, blue), until visit returns false;
// false when it did.
template <typename Visit>
bool VisitCells(const uint16_t *counts, const Cell &lo, const Cell &hi, Visit visit) {
  Cell c;
  for (c[3] = lo[3]; c[3] <= hi[3]; ++c[3]) {
    for (c[0] = lo[0]; c[0] <= hi[0]; ++c[0]) {
      for (c[1] = lo[1]; c[1] <= hi[1]; ++c[1]) {
        const uint16_t *run = counts + c[3] * kStride[3] + c[0] * kStride[0] + c[1] * kStride[1];
        for (c[2] = lo[2]; c[2] <= hi[2]; ++c[2]) {
          if (!visit(c, run[c[2]])) return false;
        }
      }
    }
  }
  return true;
}

// A box of the median cut: inclusive cell bounds, its size (the sum of its
// squared scaled extents; a box can be split while it is above 0) and its
// population (the number of cells in it that hold pixels).
struct Box {
  Cell lo{};
  Cell hi{};
  int size = 0;
  int population = 0;
};

// Extent of a box on one axis in channel units, times the axis weight.
int ScaledExtent(const Layout &layout, const Box &box, int axis) {
  return ((box.hi[axis] - box.lo[axis]) << layout.shift[axis]) * layout.scale[axis];
}

bool SliceHoldsPixels(const uint16_t *counts, const Box &box, int axis, int v) {
  Cell lo = box.lo, hi = box.hi;
  lo[axis] = hi[axis] = v;
  return !VisitCells(counts, lo, hi, [](const Cell &, int n) { return n == 0; });
}

// Shrinks the box to the cells that hold pixels, axis by axis (red, green,
// blue, alpha; lower bound first), each new bound narrowing the later scans;
// then measures its size and population.
void ShrinkAndMeasure(const Layout &layout, const uint16_t *counts, Box &box) {
  for (int axis = 0; axis < kAxes; ++axis) {
    for (int v = box.lo[axis]; box.hi[axis] > box.lo[axis] && v <= box.hi[axis]; ++v) {
      if (SliceHoldsPixels(counts, box, axis, v)) {
        box.lo[axis] = v;
        break;
      }
    }
    for (int v = box.hi[axis]; box.hi[axis] > box.lo[axis] && v >= box.lo[axis]; --v) {
      if (SliceHoldsPixels(counts, box, axis, v)) {
        box.hi[axis] = v;
        break;
      }
    }
  }
  box.size = 0;
  for (int axis = 0; axis < kAxes; ++axis) box.size += Square(ScaledExtent(layout, box, axis));
  box.population = 0;
  VisitCells(counts, box.lo, box.hi, [&box](const Cell &, int n) {
    box.population += n != 0;
    return true;
  });
}

// The box to split next: while the boxes number at most half the palette, the
// one of most populated cells among those that can be split, afterwards the
// largest; on ties the earliest. -1 when no box can be split.
int BoxToSplit(const Box *boxes, int count) {
  const bool byPopulation = count * 2 <= kMaxEntries;
  int chosen = -1, most = 0;
  for (int i = 0; i < count; ++i) {
    const int measure = byPopulation ? boxes[i].population : boxes[i].size;
    if (boxes[i].size > 0 && measure > most) {
      most = measure;
      chosen = i;
    }
  }
  return chosen;
}

// The longest scaled axis; ties go to green, then red, then blue, then alpha.
int SplitAxis(const Layout &layout, const Box &box) {
  int axis = 1, longest = ScaledExtent(layout, box, 1);
  for (int candidate : {0, 2, 3}) {
    if (ScaledExtent(layout, box, candidate) > longest) {
      axis = candidate;
      longest = ScaledExtent(layout, box, candidate);
    }
  }
  return axis;
}

// Median cut from one box over the whole histogram up to kMaxEntries boxes,
// or fewer when none can be split. A split keeps the lower half (up to the
// midpoint) in place and appends the upper half. Returns the box count.
int CutBoxes(const Layout &layout, const uint16_t *counts, Box *boxes) {
  boxes[0].lo = {0, 0, 0, 0};
  boxes[0].hi = {layout.lastCell[0], layout.lastCell[1], layout.lastCell[2], layout.lastCell[3]};
  ShrinkAndMeasure(layout, counts, boxes[0]);
  int count = 1;
  while (count < kMaxEntries) {
    const int chosen = BoxToSplit(boxes, count);
    if (chosen < 0) break;
    Box &lower = boxes[chosen];
    Box &upper = boxes[count];
    upper = lower;
    const int axis = SplitAxis(layout, lower);
    const int middle = (lower.lo[axis] + lower.hi[axis]) / 2;
    lower.hi[axis] = middle;
    upper.lo[axis] = middle + 1;
    ShrinkAndMeasure(layout, counts, lower);
    ShrinkAndMeasure(layout, counts, upper);
    ++count;
  }
  return count;
}

// The colour of a box: the count-weighted mean of its cells' centres, rounded;
// opaque in the colour-only layout.
Colour BoxColour(const Layout &layout, const uint16_t *counts, const Box &box) {
  long long total = 0;
  long long sums[kAxes] = {};
  VisitCells(counts, box.lo, box.hi, [&](const Cell &c, int n) {
    total += n;
    for (int axis = 0; axis < kAxes; ++axis)
      sums[axis] += 1LL * CellCentre(layout, axis, c[axis]) * n;
    return true;
  });
  if (total == 0) return {255, 255, 255, gdAlphaOpaque};  // an empty box: not reached
  Colour colour;
  for (int axis = 0; axis < kAxes; ++axis) {
    colour[axis] = static_cast<int>((sums[axis] + total / 2) / total);
  }
  if (!layout.pinsAlpha) colour[3] = gdAlphaOpaque;
  return colour;
}

struct Palette {
  Colour entries[kMaxEntries];
  int count = 0;
};

// Nearest palette entry per histogram cell, by the weighted squared distance
// from the cell's centre (lower entry on ties). Answers are kept in the
// zeroed histogram (entry + 1; 0 for not known yet) and are worked out for a
// whole block of cells at a time, against only the entries that can be
// nearest to some cell of the block.
class NearestEntries {
 public:
  NearestEntries(const Layout &layout, uint16_t *cache, const Palette &palette)
      : layout_(layout), cache_(cache), palette_(palette) {}

  int For(int cellIndex) {
    if (cache_[cellIndex] == 0) FillBlock(CellAt(cellIndex));
    return cache_[cellIndex] - 1;
  }

 private:
  void FillBlock(const Cell &cell) {
    Cell first;
    int lo[kAxes], hi[kAxes];  // centres of the block's first and last cells
    for (int axis = 0; axis < kAxes; ++axis) {
      first[axis] = cell[axis] / kBlockSpan[axis] * kBlockSpan[axis];
      lo[axis] = CellCentre(layout_, axis, first[axis]);
      hi[axis] = CellCentre(layout_, axis, first[axis] + kBlockSpan[axis] - 1);
    }
    int candidates[kMaxEntries];
    const int candidateCount = Candidates(lo, hi, candidates);
    int best[kBlockCells];
    BestEntries(lo, candidates, candidateCount, best);
    int n = 0;
    Cell c = first;
    for (c[0] = first[0]; c[0] < first[0] + kBlockSpan[0]; ++c[0]) {
      for (c[1] = first[1]; c[1] < first[1] + kBlockSpan[1]; ++c[1]) {
        for (c[2] = first[2]; c[2] < first[2] + kBlockSpan[2]; ++c[2]) {
          cache_[IndexOf(c)] = static_cast<uint16_t>(best[n++] + 1);
        }
      }
    }
  }

  // The entries whose least distance to the block is at most the smallest
  // greatest distance of any entry, in ascending order.
  int Candidates(const int *lo, const int *hi, int *out) const {
    int least[kMaxEntries];
    int smallestGreatest = INT_MAX;
    for (int i = 0; i < palette_.count; ++i) {
      int near = 0, far = 0;
      for (int axis = 0; axis < kAxes; ++axis) {
        const int x = palette_.entries[i][axis], scale = layout_.scale[axis];
        if (x < lo[axis]) {
          near += Square((x - lo[axis]) * scale);
          far += Square((x - hi[axis]) * scale);
        } else if (x > hi[axis]) {
          near += Square((x - hi[axis]) * scale);
          far += Square((x - lo[axis]) * scale);
        } else {
          const int middle = (lo[axis] + hi[axis]) >> 1;
          far += Square((x <= middle ? x - hi[axis] : x - lo[axis]) * scale);
        }
      }
      least[i] = near;
      if (far < smallestGreatest) smallestGreatest = far;
    }
    int count = 0;
    for (int i = 0; i < palette_.count; ++i) {
      if (least[i] <= smallestGreatest) out[count++] = i;
    }
    return count;
  }

  // For every cell of the block (red outermost, blue innermost), the nearest
  // candidate to its centre; the squared distance is the sum of one term per
  // axis, each taken from the few positions the block spans on that axis.
  void BestEntries(const int *lo, const int *candidates, int count, int *best) const {
    int bestDistance[kBlockCells];
    for (int &d : bestDistance) d = INT_MAX;
    for (int c = 0; c < count; ++c) {
      const Colour &entry = palette_.entries[candidates[c]];
      int terms[kAxes][8] = {};
      for (int axis = 0; axis < kAxes; ++axis) {
        for (int j = 0; j < kBlockSpan[axis]; ++j) {
          const int centre = lo[axis] + (j << layout_.shift[axis]);
          terms[axis][j] = Square((centre - entry[axis]) * layout_.scale[axis]);
        }
      }
      int n = 0;
      for (int j0 = 0; j0 < kBlockSpan[0]; ++j0) {
        for (int j1 = 0; j1 < kBlockSpan[1]; ++j1) {
          for (int j2 = 0; j2 < kBlockSpan[2]; ++j2, ++n) {  // alpha spans one cell
            const int d = terms[0][j0] + terms[1][j1] + terms[2][j2] + terms[3][0];
            if (d < bestDistance[n]) {
              bestDistance[n] = d;
              best[n] = candidates[c];
            }
          }
        }
      }
    }
  }

  const Layout &layout_;
  uint16_t *cache_;
  const Palette &palette_;
};

// One palette entry per box of the median cut over the counted histogram.
void ChoosePalette(const Layout &layout, const uint16_t *counts, Palette &palette) {
  Box boxes[kMaxEntries];
  palette.count = CutBoxes(layout, counts, boxes);
  for (int i = 0; i < palette.count; ++i) palette.entries[i] = BoxColour(layout, counts, boxes[i]);
}

// Writes the nearest entry of every pixel's cell into rows.
template <const Layout &layout>
void MapPixels(gdImagePtr im, NearestEntries nearest, unsigned char **rows) {
  const int width = gdImageSX(im), height = gdImageSY(im);
  for (int y = 0; y < height; ++y) {
    const int *source = im->tpixels[y];
    unsigned char *out = rows[y];
    for (int x = 0; x < width; ++x) {
      out[x] = static_cast<unsigned char>(nearest.For(CellIndexOf(layout, source[x])));
    }
  }
}

// Whether any pixel was fully transparent, any fully opaque.
struct AlphaExtremes {
  bool transparent = false;
  bool opaque = false;
};

// Counts every pixel in its cell; counts stop at their maximum. The alpha
// extremes are looked for only where entries take alpha.
template <const Layout &layout>
AlphaExtremes CountPixels(gdImagePtr im, uint16_t *counts) {
  AlphaExtremes seen;
  const int width = gdImageSX(im), height = gdImageSY(im);
  for (int y = 0; y < height; ++y) {
    const int *row = im->tpixels[y];
    for (int x = 0; x < width; ++x) {
      if constexpr (layout.pinsAlpha) {
        const int alpha = gdTrueColorGetAlpha(row[x]);
        seen.transparent |= alpha == gdAlphaTransparent;
        seen.opaque |= alpha == gdAlphaOpaque;
      }
      uint16_t &n = counts[CellIndexOf(layout, row[x])];
      if (n != UINT16_MAX) ++n;
    }
  }
  return seen;
}

// Entry alphas are cell-centre means, never 0 or 127. Where fully transparent
// pixels were seen, every entry of the greatest alpha becomes fully
// transparent; then, where fully opaque ones were seen, every entry of the
// least alpha (after that) becomes fully opaque.
void PinExtremeAlphas(Palette &palette, AlphaExtremes seen) {
  Colour *begin = palette.entries, *end = palette.entries + palette.count;
  if (seen.transparent) {
    int greatest = -1;
    for (Colour *e = begin; e != end; ++e) greatest = std::max(greatest, (*e)[3]);
    for (Colour *e = begin; e != end; ++e) {
      if ((*e)[3] == greatest) (*e)[3] = gdAlphaTransparent;
    }
  }
  if (seen.opaque) {
    int least = gdAlphaMax + 1;
    for (Colour *e = begin; e != end; ++e) least = std::min(least, (*e)[3]);
    for (Colour *e = begin; e != end; ++e) {
      if ((*e)[3] == least) (*e)[3] = gdAlphaOpaque;
    }
  }
}

// Rows of palette indices, zeroed, or null when memory runs out. They are
// handed to the image, which releases them with the library's gdFree (the C
// library's free).
unsigned char **AllocateRows(int w, int h) {
  auto **rows = static_cast<unsigned char **>(std::calloc(h, sizeof(unsigned char *)));
  if (rows == nullptr) return nullptr;
  for (int y = 0; y < h; ++y) {
    rows[y] = static_cast<unsigned char *>(std::calloc(w, 1));
    if (rows[y] == nullptr) {
      for (int i = 0; i < y; ++i) std::free(rows[i]);
      std::free(rows);
      return nullptr;
    }
  }
  return rows;
}

// Makes im a palette image of the given entries and index rows, releasing its
// true-colour pixels.
void BecomePaletteImage(gdImagePtr im, const Palette &palette, unsigned char **rows) {
  for (int i = 0; i < palette.count; ++i) {
    im->red[i] = palette.entries[i][0];
    im->green[i] = palette.entries[i][1];
    im->blue[i] = palette.entries[i][2];
    im->alpha[i] = palette.entries[i][3];
    im->open[i] = 0;
  }
  im->colorsTotal = palette.count;
  for (int y = 0; y < gdImageSY(im); ++y) gdFree(im->tpixels[y]);
  gdFree(im->tpixels);
  im->tpixels = nullptr;
  im->pixels = rows;
  im->trueColor = 0;
}

struct FreeDeleter {
  void operator()(void *p) const { std::free(p); }
};

// Median cut of im's pixels in the given layout; see the header.
// A template over the layout, so that the per-pixel passes see it as constant.
template <const Layout &layout>
bool Quantise(gdImagePtr im) {
  const size_t cells = static_cast<size_t>(layout.Cells());
  std::unique_ptr<uint16_t[], FreeDeleter> counts(
      static_cast<uint16_t *>(std::calloc(cells, sizeof(uint16_t))));
  unsigned char **rows = counts ? AllocateRows(gdImageSX(im), gdImageSY(im)) : nullptr;
  if (rows == nullptr) return false;
  const AlphaExtremes seen = CountPixels<layout>(im, counts.get());
  Palette palette;
  ChoosePalette(layout, counts.get(), palette);
  std::memset(counts.get(), 0, cells * sizeof(uint16_t));
  MapPixels<layout>(im, NearestEntries(layout, counts.get(), palette), rows);
  if (layout.pinsAlpha) PinExtremeAlphas(palette, seen);
  BecomePaletteImage(im, palette, rows);
  return true;
}

}  // namespace

bool QuantiseWithAlpha(gdImagePtr im) {
  return Quantise<kWithAlpha>(im);
}

bool QuantiseColourOnly(gdImagePtr im) {
  return Quantise<kColourOnly>(im);
}

}  // namespace morphel
