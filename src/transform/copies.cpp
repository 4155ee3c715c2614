// Copies between slots: plain, resampled, merged and rotated about a point,
// each through the library's copy routine, with the work cut to what can
// reach the destination.
//
// The library loops over the caller's whole rectangle whatever the images'
// sizes, so one call with a huge width would run for minutes. Where its loop
// is small the library is called with the arguments unchanged; otherwise the
// same pixels are produced by calls on the parts that matter (plain copy and
// merge) or by the library's own per-pixel arithmetic run over the
// destination's pixels only (resize, rotate). Coordinates are formed in 64
// bits there, where the library's int arithmetic would overflow. Onto a
// palette image the colours are met first in the library's order, so its
// palette gains the same entries.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <unordered_set>
#include <vector>

#include "core/status.h"
#include "transform/transform_p.h"

namespace morphel {

HRESULT LookUpSlot(const Images &obj, int slot, gdImagePtr *im) {
  *im = IsSlotNumber(slot) ? obj.slotImages[slot] : nullptr;
  return *im != nullptr ? S_OK : ReportError(kMsgNoImage);
}

namespace {

// Loops of up to this many pixel steps go to the library unchanged.
constexpr double kLibraryWork = 1 << 24;
// A resize computed here may read at most this many source samples.
constexpr double kResampleWork = 1 << 28;
// Single precision holds every whole number up to here.
constexpr float kFloatWhole = 1 << 24;

constexpr long long kIntMax = std::numeric_limits<int>::max();
constexpr long long kIntMin = std::numeric_limits<int>::min();

// The destination is looked up before the source.
HRESULT LookUpPair(const Images &obj, int dstImg, int srcImg, gdImagePtr *dst, gdImagePtr *src) {
  if (HRESULT hr = LookUpSlot(obj, dstImg, dst); FAILED(hr)) return hr;
  return LookUpSlot(obj, srcImg, src);
}

bool FitsInt(long long v) { return v >= kIntMin && v <= kIntMax; }

// [lo, hi) of the positions 0 .. n - 1 whose coordinate start + i lies in
// 0 .. size - 1.
struct Span {
  long long lo = 0;
  long long hi = 0;
  bool Contains(long long i) const { return i >= lo && i < hi; }
  bool Empty() const { return lo >= hi; }
};
Span Inside(long long start, long long n, long long size) {
  return {std::max(0LL, -start), std::min(n, size - start)};
}

// A start coordinate for the library: start itself when start .. start +
// length - 1 fits in an int, else a run of negative coordinates, which lies
// outside the image just as start's run does.
int LibraryStart(long long start, long long length) {
  if (FitsInt(start) && FitsInt(start + length)) return static_cast<int>(start);
  return static_cast<int>(-length - 1);
}

// Visits the positions 0 .. n - 1 that lie in a or b, in ascending runs, and
// calls gap() once for each run of positions between or around them.
template <typename Visit, typename Gap>
void WalkRuns(long long n, Span a, Span b, Visit visit, Gap gap) {
  Span runs[2];
  int count = 0;
  for (Span s : {a, b}) {
    s.lo = std::max(s.lo, 0LL);
    s.hi = std::min(s.hi, n);
    if (!s.Empty()) runs[count++] = s;
  }
  if (count == 2 && runs[1].lo < runs[0].lo) std::swap(runs[0], runs[1]);
  if (count == 2 && runs[1].lo <= runs[0].hi) {
    runs[0].hi = std::max(runs[0].hi, runs[1].hi);
    count = 1;
  }
  long long position = 0;
  for (int i = 0; i < count; ++i) {
    if (runs[i].lo > position) gap();
    visit(runs[i].lo, runs[i].hi);
    position = runs[i].hi;
  }
  if (position < n) gap();
}

struct Rectangle {
  int dstX, dstY, srcX, srcY, w, h;
};

// A rectangle copy (gdImageCopy or gdImageCopyMerge) onto dst. Onto a true-
// colour image only the pixels landing inside it matter, so the rectangle is
// cut to it. A palette destination also gains an entry for every new colour
// the copy meets, in the order met, inside the destination or not: its parts
// are copied in the library's order, the rows and columns of the source and
// of the destination, with one out-of-image pixel standing for each run of
// pixels that read and write outside both (they all read the same value).
template <typename Copy>
void CopyRectangle(gdImagePtr dst, gdImagePtr src, const Rectangle &r, Copy copy) {
  if (r.w <= 0 || r.h <= 0) return;
  const Span dstRows = Inside(r.dstY, r.h, gdImageSY(dst));
  const Span dstCols = Inside(r.dstX, r.w, gdImageSX(dst));
  auto part = [&](long long col, long long row, long long w, long long h) {
    copy(LibraryStart(r.dstX + col, w), LibraryStart(r.dstY + row, h),
         LibraryStart(r.srcX + col, w), LibraryStart(r.srcY + row, h), static_cast<int>(w),
         static_cast<int>(h));
  };
  if (gdImageTrueColor(dst)) {
    if (!dstRows.Empty() && !dstCols.Empty()) {
      part(dstCols.lo, dstRows.lo, dstCols.hi - dstCols.lo, dstRows.hi - dstRows.lo);
    }
    return;
  }
  const double work = static_cast<double>(r.w) * r.h;
  if (work <= kLibraryWork && FitsInt(1LL * r.srcX + r.w) && FitsInt(1LL * r.dstX + r.w) &&
      FitsInt(1LL * r.srcY + r.h) && FitsInt(1LL * r.dstY + r.h)) {
    copy(r.dstX, r.dstY, r.srcX, r.srcY, r.w, r.h);
    return;
  }
  const Span srcRows = Inside(r.srcY, r.h, gdImageSY(src));
  const Span srcCols = Inside(r.srcX, r.w, gdImageSX(src));
  auto outside = [&] { copy(-1, -1, -1, -1, 1, 1); };
  auto row = [&](long long y) {
    const Span fromSrc = srcRows.Contains(y) ? srcCols : Span{};
    const Span toDst = dstRows.Contains(y) ? dstCols : Span{};
    WalkRuns(
        r.w, fromSrc, toDst, [&](long long lo, long long hi) { part(lo, y, hi - lo, 1); },
        outside);
  };
  WalkRuns(
      r.h, srcRows, dstRows,
      [&](long long lo, long long hi) {
        for (long long y = lo; y < hi; ++y) row(y);
      },
      outside);
}

// The library's colour mapping for copies onto a palette image (and its
// pass-through onto a true-colour one): palette source entries resolved once
// each, true-colour source pixels resolved one by one.
class ColourMapper {
 public:
  // sameImageShortcut: a palette image copied onto itself keeps its indices.
  ColourMapper(gdImagePtr dst, gdImagePtr src, bool sameImageShortcut)
      : dst_(dst), src_(src), keep_(sameImageShortcut && dst == src) {
    std::fill(map_, map_ + gdMaxColors, -1);
  }
  int Map(int c) {
    if (gdImageTrueColor(src_)) {
      return gdImageColorResolveAlpha(dst_, gdTrueColorGetRed(c), gdTrueColorGetGreen(c),
                                      gdTrueColorGetBlue(c), gdTrueColorGetAlpha(c));
    }
    if (map_[c] == -1) {
      map_[c] = keep_ ? c
                      : gdImageColorResolveAlpha(dst_, src_->red[c], src_->green[c],
                                                 src_->blue[c], src_->alpha[c]);
    }
    return map_[c];
  }

 private:
  gdImagePtr dst_, src_;
  bool keep_;
  int map_[gdMaxColors];
};

// ---- Resampled copy ------------------------------------------------------------

struct ResizeArgs {
  int dstX, dstY, srcX, srcY, dstW, dstH, srcW, srcH;
};

// The library's read for the resampling copy, out-of-int coordinates being
// outside the source like any other.
int ResampleRead(gdImagePtr src, long long x, long long y) {
  if (!FitsInt(x) || !FitsInt(y)) return gdImageGetTrueColorPixel(src, -1, -1);
  return gdImageGetTrueColorPixel(src, static_cast<int>(x), static_cast<int>(y));
}

// The share of the source pixel at s that the span [s1, s2) covers; the
// first step moves s back to that pixel's start.
float Portion(float *s, float s1, float s2) {
  float portion;
  if (std::floor(*s) == std::floor(s1)) {
    portion = 1.0 - (*s - std::floor(*s));
    if (portion > s2 - s1) portion = s2 - s1;
    *s = std::floor(*s);
  } else if (*s == std::floor(s2)) {
    portion = s2 - std::floor(s2);
  } else {
    portion = 1.0;
  }
  return portion;
}

// One destination pixel of the library's area-weighted resampling, with its
// single-precision arithmetic step for step; i and j count from the
// rectangle's corner.
int ResampledPixel(gdImagePtr src, const ResizeArgs &a, long long i, long long j) {
  float spixels = 0.0, red = 0.0, green = 0.0, blue = 0.0, alpha = 0.0;
  float alpha_sum = 0.0, contrib_sum = 0.0;
  const float sy1 = static_cast<float>(j) * static_cast<float>(a.srcH) / static_cast<float>(a.dstH);
  const float sy2 =
      static_cast<float>(j + 1) * static_cast<float>(a.srcH) / static_cast<float>(a.dstH);
  float sy = sy1;
  do {
    const float yportion = Portion(&sy, sy1, sy2);
    const float sx1 = static_cast<float>(i) * static_cast<float>(a.srcW) / a.dstW;
    const float sx2 = static_cast<float>(i + 1) * static_cast<float>(a.srcW) / a.dstW;
    float sx = sx1;
    do {
      const float xportion = Portion(&sx, sx1, sx2);
      const float pcontribution = xportion * yportion;
      const int p = ResampleRead(src, static_cast<long long>(static_cast<int>(sx)) + a.srcX,
                                 static_cast<long long>(static_cast<int>(sy)) + a.srcY);
      const float alpha_factor = (gdAlphaMax - gdTrueColorGetAlpha(p)) * pcontribution;
      red += gdTrueColorGetRed(p) * alpha_factor;
      green += gdTrueColorGetGreen(p) * alpha_factor;
      blue += gdTrueColorGetBlue(p) * alpha_factor;
      alpha += gdTrueColorGetAlpha(p) * pcontribution;
      alpha_sum += alpha_factor;
      contrib_sum += pcontribution;
      spixels += xportion * yportion;
      sx += 1.0;
    } while (sx < sx2);
    sy += 1.0f;
  } while (sy < sy2);
  if (spixels != 0.0) {
    red /= spixels;
    green /= spixels;
    blue /= spixels;
    alpha /= spixels;
  }
  if (alpha_sum != 0.0) {
    if (contrib_sum != 0.0) alpha_sum /= contrib_sum;
    red /= alpha_sum;
    green /= alpha_sum;
    blue /= alpha_sum;
  }
  red = red >= 255.5 ? 255 : red + 0.5;
  blue = blue >= 255.5 ? 255 : blue + 0.5;
  green = green >= 255.5 ? 255 : green + 0.5;
  alpha = alpha >= gdAlphaMax + 0.5 ? gdAlphaMax : alpha + 0.5;
  return gdTrueColorAlpha(static_cast<int>(red), static_cast<int>(green), static_cast<int>(blue),
                          static_cast<int>(alpha));
}

// Source samples one destination pixel averages, at most: an estimate that
// decides whether the library's own loop is small enough.
double SamplesPerPixel(const ResizeArgs &a) {
  return (std::fabs(static_cast<double>(a.srcW)) / a.dstW + 2) *
         (std::fabs(static_cast<double>(a.srcH)) / a.dstH + 2);
}

bool ResizeFitsInt(const ResizeArgs &a) {
  return FitsInt(1LL * a.dstX + a.dstW) && FitsInt(1LL * a.dstY + a.dstH) &&
         FitsInt(1LL * a.srcX + std::abs(1LL * a.srcW) + 2) &&
         FitsInt(1LL * a.srcY + std::abs(1LL * a.srcH) + 2) && FitsInt(1LL * a.srcX - 2) &&
         FitsInt(1LL * a.srcY - 2);
}

// The passes of the library's loop `do { ... s += 1.0; } while (s < s2)`
// over [s1, s2) once s is set back to floor(s1): one for each whole source
// pixel the span touches, at least one. Beyond 2^24 single precision stops
// counting and the loop can stall for ever (infinity).
double LoopPasses(float s1, float s2) {
  if (s2 <= kFloatWhole) return std::max(1.0, std::ceil(double{s2}) - std::floor(double{s1}));
  float s = std::floor(s1);
  for (int passes = 1; passes < 4; ++passes) {
    s += 1.0;
    if (!(s < s2)) return passes;
  }
  return std::numeric_limits<double>::infinity();
}

// The source samples the library reads along one axis for the destination
// positions of span (counted from the rectangle's corner), m source pixels
// spread over n.
double AxisSamples(Span span, int m, int n) {
  double total = 0;
  for (long long i = span.lo; i < span.hi && !std::isinf(total); ++i) {
    total += LoopPasses(static_cast<float>(i) * static_cast<float>(m) / static_cast<float>(n),
                        static_cast<float>(i + 1) * static_cast<float>(m) / static_cast<float>(n));
  }
  return total;
}

// The resampling copy onto a true-colour image, over its pixels only.
HRESULT ResampleInside(gdImagePtr dst, gdImagePtr src, const ResizeArgs &a) {
  const Span rows = Inside(a.dstY, a.dstH, gdImageSY(dst));
  const Span cols = Inside(a.dstX, a.dstW, gdImageSX(dst));
  if (rows.Empty() || cols.Empty()) return S_OK;
  // Each pixel's samples are its row's passes times its column's.
  const double work = AxisSamples(rows, a.srcH, a.dstH) * AxisSamples(cols, a.srcW, a.dstW);
  if (work > kResampleWork) return E_INVALIDARG;
  for (long long j = rows.lo; j < rows.hi; ++j) {
    for (long long i = cols.lo; i < cols.hi; ++i) {
      gdImageSetPixel(dst, static_cast<int>(a.dstX + i), static_cast<int>(a.dstY + j),
                      ResampledPixel(src, a, i, j));
    }
  }
  return S_OK;
}

// The source position a destination position k (from the rectangle's corner)
// shows in the library's nearest-pixel resize: the i whose stretch run
// [n * i / m, n * (i + 1) / m) holds k, for m source and n destination pixels.
long long StretchSource(long long k, long long m, long long n) { return ((k + 1) * m - 1) / n; }

// True when source positions lo .. hi - 1 of m, spread over n destination
// positions, show in at least one of them.
bool Shown(long long lo, long long hi, long long m, long long n) {
  return lo < hi && n * hi / m > n * lo / m;
}

bool PaletteFull(gdImagePtr im) {
  if (gdImageColorsTotal(im) < gdMaxColors) return false;
  return std::none_of(im->open, im->open + gdMaxColors, [](int open) { return open != 0; });
}

// Meets the colours of the source rectangle in the order of the library's
// resize loop (source rows, then columns, each shown one once), resolving
// each new one, so the palette gains the entries the library's call gives it,
// colours landing outside the destination included. Everything outside the
// source reads 0; the walk ends once the palette can change no more.
void ResolveInLibraryOrder(gdImagePtr src, const ResizeArgs &a, ColourMapper &mapper,
                           gdImagePtr dst) {
  auto clamp = [](Span s, long long n) {
    s.lo = std::clamp(s.lo, 0LL, n);
    s.hi = std::clamp(s.hi, s.lo, n);
    return s;
  };
  const Span rows = clamp(Inside(a.srcY, a.srcH, gdImageSY(src)), a.srcH);
  const Span cols = clamp(Inside(a.srcX, a.srcW, gdImageSX(src)), a.srcW);
  const bool zeroLeft = Shown(0, cols.lo, a.srcW, a.dstW);
  const bool zeroRight = Shown(cols.hi, a.srcW, a.srcW, a.dstW);
  std::unordered_set<int> met;
  auto meet = [&](int c) {
    if (c == gdImageGetTransparent(src) || !met.insert(c).second) return true;
    mapper.Map(c);
    return !PaletteFull(dst);
  };
  if (Shown(0, rows.lo, a.srcH, a.dstH) && !meet(0)) return;
  for (long long r = rows.lo; r < rows.hi; ++r) {
    if (!Shown(r, r + 1, a.srcH, a.dstH)) continue;
    if (zeroLeft && !meet(0)) return;
    const int y = static_cast<int>(a.srcY + r);
    for (long long i = cols.lo; i < cols.hi; ++i) {
      if (Shown(i, i + 1, a.srcW, a.dstW) &&
          !meet(gdImageGetPixel(src, static_cast<int>(a.srcX + i), y))) {
        return;
      }
    }
    if (zeroRight && !meet(0)) return;
  }
  if (Shown(rows.hi, a.srcH, a.srcH, a.dstH)) meet(0);
}

// The library's nearest-pixel resize onto a palette image, over its pixels
// only; each source pixel is read once for its run of destination pixels.
// The colours are resolved first in the library's order, as far as they can
// change the palette.
void ResizeInside(gdImagePtr dst, gdImagePtr src, const ResizeArgs &a) {
  const Span rows = Inside(a.dstY, a.dstH, gdImageSY(dst));
  const Span cols = Inside(a.dstX, a.dstW, gdImageSX(dst));
  ColourMapper mapper(dst, src, true);
  if (dst != src) ResolveInLibraryOrder(src, a, mapper, dst);
  for (long long j = rows.lo; j < rows.hi; ++j) {
    const long long sy = a.srcY + StretchSource(j, a.srcH, a.dstH);
    long long lastSx = 0;
    int colour = 0;
    bool skip = true, read = false;
    for (long long i = cols.lo; i < cols.hi; ++i) {
      const long long sx = a.srcX + StretchSource(i, a.srcW, a.dstW);
      if (!read || sx != lastSx) {
        const int c = FitsInt(sx) && FitsInt(sy)
                          ? gdImageGetPixel(src, static_cast<int>(sx), static_cast<int>(sy))
                          : 0;
        skip = c == gdImageGetTransparent(src);
        if (!skip) colour = mapper.Map(c);
        lastSx = sx;
        read = true;
      }
      if (!skip) gdImageSetPixel(dst, static_cast<int>(a.dstX + i), static_cast<int>(a.dstY + j), colour);
    }
  }
}

// ---- Rotated copy ----------------------------------------------------------------

struct RotateArgs {
  double dstX, dstY;
  int srcX, srcY, w, h, angle;
};

// The library's radius: w * w + h * h formed in 32-bit int arithmetic, which
// wraps for sides above 46340 (a negative sum gives no radius, and no loop).
double LibraryRadius(int w, int h) {
  const uint32_t sum = static_cast<uint32_t>(w) * static_cast<uint32_t>(w) +
                       static_cast<uint32_t>(h) * static_cast<uint32_t>(h);
  return std::sqrt(static_cast<double>(static_cast<int32_t>(sum)));
}

// The values a loop `for (v = centre - radius; v <= centre + radius; v++)`
// takes, in double precision step by step.
std::vector<double> LoopValues(double centre, double radius) {
  std::vector<double> values;
  for (double v = centre - radius; v <= centre + radius; v++) values.push_back(v);
  return values;
}

// Those of the values that name a pixel 0 .. size - 1 once truncated.
std::vector<double> LoopValuesInside(double centre, double radius, int size) {
  std::vector<double> values = LoopValues(centre, radius);
  std::erase_if(values, [size](double v) { return !(v > -1 && v < size); });
  return values;
}

// The library's double-to-int conversion of a source coordinate (x86 gives
// the lowest int for values out of range).
long long SourceCoordinate(double v) {
  return v >= static_cast<double>(kIntMin) && v < static_cast<double>(kIntMax) + 1.0
             ? static_cast<long long>(static_cast<int>(v))
             : kIntMin;
}

// The library's mapping of a destination point to the source position it
// shows, before the conversion to int.
struct RotationMap {
  explicit RotationMap(const RotateArgs &a)
      : a_(a),
        aCos_(std::cos(a.angle * .0174532925)),
        aSin_(std::sin(a.angle * .0174532925)),
        scX_(a.srcX + static_cast<double>(a.w) / 2),
        scY_(a.srcY + static_cast<double>(a.h) / 2) {}
  double X(double dx, double dy) const {
    return (dx - a_.dstX) * aCos_ - (dy - a_.dstY) * aSin_ + scX_;
  }
  double Y(double dx, double dy) const {
    return (dy - a_.dstY) * aCos_ + (dx - a_.dstX) * aSin_ + scY_;
  }

 private:
  RotateArgs a_;
  double aCos_, aSin_, scX_, scY_;
};

// Where a source coordinate v lies against the columns or rows lo .. hi - 1:
// -1 before, 0 among, 1 after; never falling as v grows (values beyond the
// int range are outside the rectangle for the library too).
int Against(double v, long long lo, long long hi) {
  if (v >= static_cast<double>(kIntMax) + 1.0) return 1;
  const long long c = SourceCoordinate(v);
  return c < lo ? -1 : c >= hi ? 1 : 0;
}

// [lo, hi) of the indices 0 .. n - 1 where cls(k) is 0, cls being monotone
// in k (rising or falling).
template <typename Class>
Span ZeroRun(long long n, Class cls) {
  if (n == 0) return {};
  const bool rising = cls(0) <= cls(n - 1);
  auto first = [&](auto pred) {  // the first k where pred turns true
    long long lo = 0, hi = n;
    while (lo < hi) {
      const long long mid = lo + (hi - lo) / 2;
      if (pred(cls(mid))) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    return lo;
  };
  const long long lo = first([&](int c) { return rising ? c >= 0 : c <= 0; });
  const long long hi = first([&](int c) { return rising ? c > 0 : c < 0; });
  return {lo, std::max(lo, hi)};
}

// The positions two spans share.
Span Common(Span a, Span b) {
  return {std::max(a.lo, b.lo), std::min(a.hi, b.hi)};
}

// Meets the colours in the order of the library's rotated-copy loop over its
// whole square, resolving each new one, so the palette gains the entries the
// library's call gives it, colours landing outside the destination included.
// Along a row of the square the points inside the source rectangle, and
// those inside the source image, form one run each (their source positions
// move monotonically); the rest of the rectangle reads 0. The walk ends once
// the palette can change no more.
void RotationColoursInLibraryOrder(gdImagePtr dst, gdImagePtr src, const RotateArgs &a,
                                   ColourMapper &mapper) {
  const double radius = LibraryRadius(a.w, a.h);
  const RotationMap map(a);
  const std::vector<double> rows = LoopValues(a.dstY, radius);
  const std::vector<double> cols = LoopValues(a.dstX, radius);
  const long long n = static_cast<long long>(cols.size());
  const long long x0 = a.srcX, x1 = x0 + a.w, y0 = a.srcY, y1 = y0 + a.h;
  const long long ix0 = std::max(x0, 0LL), ix1 = std::min<long long>(x1, gdImageSX(src));
  const long long iy0 = std::max(y0, 0LL), iy1 = std::min<long long>(y1, gdImageSY(src));
  std::unordered_set<int> met;
  auto meet = [&](int c) {
    if (!met.insert(c).second) return true;
    mapper.Map(c);
    return !PaletteFull(dst);
  };
  for (double dy : rows) {
    auto run = [&](long long xl, long long xh, long long yl, long long yh) {
      if (xl >= xh || yl >= yh) return Span{};
      return Common(ZeroRun(n, [&](long long k) { return Against(map.X(cols[k], dy), xl, xh); }),
                    ZeroRun(n, [&](long long k) { return Against(map.Y(cols[k], dy), yl, yh); }));
    };
    const Span rect = run(x0, x1, y0, y1);
    if (rect.Empty()) continue;
    const Span image = Common(run(ix0, ix1, iy0, iy1), rect);
    if ((image.Empty() || image.lo > rect.lo) && !meet(0)) return;
    for (long long k = image.lo; k < image.hi; ++k) {
      const int c = gdImageGetPixel(src, static_cast<int>(SourceCoordinate(map.X(cols[k], dy))),
                                    static_cast<int>(SourceCoordinate(map.Y(cols[k], dy))));
      if (!meet(c)) return;
    }
    if (!image.Empty() && image.hi < rect.hi && !meet(0)) return;
  }
}

// The rotated copy over the destination's pixels only, each computed as the
// library computes it (nearest source pixel, colours resolved in the
// destination). A palette destination first meets every colour in the
// library's order (except when it is the source itself, whose own colours
// it holds already).
void RotateInside(gdImagePtr dst, gdImagePtr src, const RotateArgs &a) {
  const double radius = LibraryRadius(a.w, a.h);
  const RotationMap map(a);
  const std::vector<double> rows = LoopValuesInside(a.dstY, radius, gdImageSY(dst));
  const std::vector<double> cols = LoopValuesInside(a.dstX, radius, gdImageSX(dst));
  ColourMapper mapper(dst, src, false);
  if (!gdImageTrueColor(dst) && dst != src) RotationColoursInLibraryOrder(dst, src, a, mapper);
  for (double dy : rows) {
    for (double dx : cols) {
      const long long sx = SourceCoordinate(map.X(dx, dy));
      const long long sy = SourceCoordinate(map.Y(dx, dy));
      if (sx < a.srcX || sx >= 1LL * a.srcX + a.w || sy < a.srcY || sy >= 1LL * a.srcY + a.h) {
        continue;
      }
      const int c = gdImageGetPixel(src, static_cast<int>(sx), static_cast<int>(sy));
      gdImageSetPixel(dst, static_cast<int>(dx), static_cast<int>(dy), mapper.Map(c));
    }
  }
}

bool RotateFitsInt(const RotateArgs &a, double radius) {
  const double reach = std::fabs(static_cast<double>(a.w)) + std::fabs(static_cast<double>(a.h)) +
                       radius + 2;
  return std::fabs(static_cast<double>(a.srcX)) + reach < static_cast<double>(kIntMax) &&
         std::fabs(static_cast<double>(a.srcY)) + reach < static_cast<double>(kIntMax);
}

}  // namespace

// The copies computed here keep their tables and sets in the C++ runtime's
// memory; when that runs out the copy stops (possibly part-way, its colours
// possibly resolved) with "NO MEMORY!".
template <typename Work>
HRESULT WithinMemory(Work work) {
  try {
    return work();
  } catch (const std::bad_alloc &) {
    return ReportError(kMsgNoMemory);
  }
}

HRESULT Images::CopyImage(INT dstImg, INT srcImg, INT dstX, INT dstY, INT srcX, INT srcY, INT w,
                          INT h) {
  gdImagePtr dst, src;
  if (HRESULT hr = LookUpPair(*this, dstImg, srcImg, &dst, &src); FAILED(hr)) return hr;
  CopyRectangle(dst, src, {dstX, dstY, srcX, srcY, w, h},
                [&](int dx, int dy, int sx, int sy, int cw, int ch) {
                  gdImageCopy(dst, src, dx, dy, sx, sy, cw, ch);
                });
  return S_OK;
}

HRESULT Images::CopyImageMerge(INT dstImg, INT srcImg, INT dstX, INT dstY, INT srcX, INT srcY,
                               INT w, INT h, INT pct) {
  gdImagePtr dst, src;
  if (HRESULT hr = LookUpPair(*this, dstImg, srcImg, &dst, &src); FAILED(hr)) return hr;
  if (pct < 0 || pct > 100) return ReportError(kMsgNoImage);
  CopyRectangle(dst, src, {dstX, dstY, srcX, srcY, w, h},
                [&](int dx, int dy, int sx, int sy, int cw, int ch) {
                  gdImageCopyMerge(dst, src, dx, dy, sx, sy, cw, ch, pct);
                });
  return S_OK;
}

// The library resamples onto true-colour destinations and falls back to its
// nearest-pixel resize onto palette ones. That resize is computed here, over
// the destination's pixels, with the library's pixels and palette: the
// library's own gives no sign when its position tables cannot be allocated
// (it copies nothing), and runs for ever on large calls. Resamples whose
// loops are too large for the library are computed here too; one that would
// still read more than kResampleWork source samples for them (where the
// library would run for seconds to years, or for ever once its
// single-precision position stops growing) is refused with E_INVALIDARG.
HRESULT Images::CopyImageResize(INT dstImg, INT srcImg, INT dstX, INT dstY, INT srcX, INT srcY,
                                INT dstW, INT dstH, INT srcW, INT srcH) {
  gdImagePtr dst, src;
  if (HRESULT hr = LookUpPair(*this, dstImg, srcImg, &dst, &src); FAILED(hr)) return hr;
  const ResizeArgs a{dstX, dstY, srcX, srcY, dstW, dstH, srcW, srcH};
  if (dstW <= 0 || dstH <= 0) return S_OK;  // the library's loops run zero times
  if (!gdImageTrueColor(dst)) {
    if (srcW <= 0 || srcH <= 0) return S_OK;  // the library does nothing
    return WithinMemory([&] {
      ResizeInside(dst, src, a);
      return S_OK;
    });
  }
  const double libraryWork = static_cast<double>(dstW) * dstH * SamplesPerPixel(a);
  if (libraryWork <= kLibraryWork && ResizeFitsInt(a)) {
    gdImageCopyResampled(dst, src, dstX, dstY, srcX, srcY, dstW, dstH, srcW, srcH);
    return S_OK;
  }
  return WithinMemory([&] { return ResampleInside(dst, src, a); });
}

// The library's rotated copy also makes the source's transparent colour the
// destination's and writes that raw value for transparent source pixels; the
// source's transparency is switched off for the call, so every pixel is
// copied with its colour and no setting of the destination changes.
HRESULT Images::CopyImageSimpleRotate(INT dstImg, INT srcImg, INT dstX, INT dstY, INT srcX,
                                      INT srcY, INT w, INT h, INT angle) {
  gdImagePtr dst, src;
  if (HRESULT hr = LookUpPair(*this, dstImg, srcImg, &dst, &src); FAILED(hr)) return hr;
  const RotateArgs a{static_cast<double>(dstX), static_cast<double>(dstY), srcX, srcY, w, h,
                     angle};
  const double radius = LibraryRadius(w, h);
  const double side = 2 * radius + 1;
  const int transparent = src->transparent;
  src->transparent = -1;
  HRESULT hr = S_OK;
  if (std::isnan(radius)) {
    // No loop at all.
  } else if (side * side <= kLibraryWork && RotateFitsInt(a, radius)) {
    gdImageCopyRotated(dst, src, a.dstX, a.dstY, srcX, srcY, w, h, angle);
  } else {
    hr = WithinMemory([&] {
      RotateInside(dst, src, a);
      return S_OK;
    });
  }
  src->transparent = transparent;
  return hr;
}

}  // namespace morphel
