// The rotation engine: quarter turns, the three shears and the line skew.
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "transform/shear_rotator.h"

namespace morphel {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

struct ShearTrig {
  double s;  // sine
  double c;  // cosine
  double t;  // tangent of the half angle
};

ShearTrig TrigFor(double angle) {
  const double r = angle * kRadiansPerDegree;
  return {std::sin(r), std::cos(r), std::tan(r / 2)};
}

ShearSizes SizesFor(int width, int height, const ShearTrig &trig) {
  ShearSizes sizes;
  sizes.u = width + static_cast<int>(std::fabs(trig.t) * height);
  sizes.v = static_cast<int>(trig.c * height + width * std::fabs(trig.s)) + 1;
  sizes.z = static_cast<int>(std::fabs(trig.s) * height + width * trig.c) + 1;
  return sizes;
}

// A line buffer that reports a failed allocation instead of throwing.
using LineBuffer = std::unique_ptr<uint32_t[]>;
LineBuffer NewLine(int length) {
  return LineBuffer(new (std::nothrow) uint32_t[static_cast<size_t>(std::max(length, 1))]);
}

int Channel(uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

uint32_t Pack(int r, int g, int b) {
  return (static_cast<uint32_t>(r & 0xFF) << 16) | (static_cast<uint32_t>(g & 0xFF) << 8) |
         static_cast<uint32_t>(b & 0xFF);
}

// The pixel (x, y) of the line position: rows count x, columns count y.
void LinePosition(LineAxis axis, int index, int position, int *x, int *y) {
  *x = axis == LineAxis::kRow ? position : index;
  *y = axis == LineAxis::kRow ? index : position;
}

}  // namespace

TurnPlan PlanTurn(double angle) {
  // fmod is exact, so this equals subtracting 360 until below 360 and then
  // adding 360 while below 0, without a loop as long as the angle is large.
  double a = angle;
  if (a >= 360 || a < 0) a = std::fmod(a, 360.0);
  if (a < 0) a += 360;
  if (a > 45 && a <= 135) return {QuarterTurn::kCounterClockwise, a - 90};
  if (a > 135 && a <= 225) return {QuarterTurn::kHalf, a - 180};
  if (a > 225 && a <= 315) return {QuarterTurn::kClockwise, a - 270};
  return {QuarterTurn::kNone, a};  // up to 45, or above 315 unreduced
}

EngineSize TurnedSize(QuarterTurn turn, int width, int height) {
  if (turn == QuarterTurn::kCounterClockwise || turn == QuarterTurn::kClockwise) {
    return {height, width};
  }
  return {width, height};
}

ShearSizes ShearSizesFor(int width, int height, double angle) {
  return SizesFor(width, height, TrigFor(angle));
}

EngineSize RotatedSize(int width, int height, double angle) {
  if (angle == 0) return {width, height};
  const ShearSizes sizes = ShearSizesFor(width, height, angle);
  return {sizes.z, sizes.v};
}

void SkewLine(const uint32_t *src, int n, uint32_t *dst, int d, double offset,
              uint32_t background) {
  const long long shift = static_cast<long long>(std::floor(offset));
  const double f = offset - static_cast<double>(shift);
  // The part of each channel value that moves on, truncated toward zero.
  int part[256];
  for (int v = 0; v < 256; ++v) part[v] = static_cast<int>(v * f);
  const int bgR = Channel(background, 16), bgG = Channel(background, 8);
  const int bgB = Channel(background, 0);
  const uint32_t bg = Pack(bgR, bgG, bgB);

  const long long leadEnd = std::clamp<long long>(shift, 0, d);
  std::fill(dst, dst + leadEnd, bg);
  int prevR = part[bgR], prevG = part[bgG], prevB = part[bgB];
  // Pixels landing before position 0 only matter through the one just
  // before it, so the walk starts there.
  const long long first = std::max<long long>(0, -shift - 1);
  const long long last = std::min<long long>(n, d - shift);
  for (long long i = first; i < last; ++i) {
    const uint32_t p = src[i];
    const int r = Channel(p, 16), g = Channel(p, 8), b = Channel(p, 0);
    const int leftR = part[r], leftG = part[g], leftB = part[b];
    const long long position = i + shift;
    if (position >= 0) dst[position] = Pack(r - leftR + prevR, g - leftG + prevG, b - leftB + prevB);
    prevR = leftR;
    prevG = leftG;
    prevB = leftB;
  }
  const long long j = n + shift;
  if (j >= 0 && j < d) {
    dst[j] = Pack(prevR + bgR - part[bgR], prevG + bgG - part[bgG], prevB + bgB - part[bgB]);
  }
  std::fill(dst + std::clamp<long long>(j + 1, 0, d), dst + d, bg);
}

void ShearRotator::ReadLine(EngineImage image, int width, int height, LineAxis axis, int index,
                            int length, uint32_t *out) {
  for (int i = 0; i < length; ++i) {
    int x, y;
    LinePosition(axis, index, i, &x, &y);
    out[i] = ReadPixel(image, width, height, x, y);
  }
}

void ShearRotator::WriteLine(EngineImage image, int width, int height, LineAxis axis, int index,
                             int length, const uint32_t *in) {
  for (int i = 0; i < length; ++i) {
    int x, y;
    LinePosition(axis, index, i, &x, &y);
    WritePixel(image, width, height, x, y, in[i]);
  }
}

// Source row y goes, for a quarter turn counter-clockwise, to column y read
// backwards; for a half turn to row H - 1 - y backwards; for a quarter turn
// clockwise to column H - 1 - y forwards.
EngineImage ShearRotator::TurnImage(EngineImage image, int width, int height, QuarterTurn turn,
                                    EngineSize *turnedSize) {
  *turnedSize = TurnedSize(turn, width, height);
  LineBuffer row = NewLine(width), turned = NewLine(width);
  if (row == nullptr || turned == nullptr) return nullptr;
  EngineImage result = NewImage(turnedSize->width, turnedSize->height);
  if (result == nullptr) return nullptr;
  for (int y = 0; y < height; ++y) {
    ReadLine(image, width, height, LineAxis::kRow, y, width, row.get());
    const bool backwards = turn != QuarterTurn::kClockwise;
    for (int x = 0; x < width; ++x) turned[backwards ? width - 1 - x : x] = row[x];
    const LineAxis axis = turn == QuarterTurn::kHalf ? LineAxis::kRow : LineAxis::kColumn;
    const int index = turn == QuarterTurn::kCounterClockwise ? y : height - 1 - y;
    WriteLine(result, turnedSize->width, turnedSize->height, axis, index, width, turned.get());
  }
  return result;
}

EngineImage ShearRotator::Rotate(EngineImage image, int width, int height, double angle,
                                 EngineSize *size) {
  if (angle == 0) {
    *size = {width, height};
    return CloneImage(image, width, height);
  }
  const ShearTrig trig = TrigFor(angle);
  const ShearSizes sizes = SizesFor(width, height, trig);
  const int w = width, h = height, u = sizes.u, v = sizes.v, z = sizes.z;
  const int longest = std::max({w, h, u, v, z});
  LineBuffer in = NewLine(longest), out = NewLine(longest);
  if (in == nullptr || out == nullptr) return nullptr;
  const uint32_t bg = backgroundColor;

  // First shear, horizontal: each row moved by t times its distance.
  EngineImage i1 = NewImage(u, h);
  if (i1 == nullptr) return nullptr;
  for (int y = 0; y < h; ++y) {
    const double d = trig.t >= 0 ? trig.t * (y + 0.5) : trig.t * ((y - h) + 0.5);
    ReadLine(image, w, h, LineAxis::kRow, y, w, in.get());
    SkewLine(in.get(), w, out.get(), u, d, bg);
    WriteLine(i1, u, h, LineAxis::kRow, y, u, out.get());
  }

  // Second shear, vertical: the offset falls by s from column to column.
  EngineImage i2 = NewImage(u, v);
  if (i2 == nullptr) {
    FreeImage(i1, u, h);
    return nullptr;
  }
  double d = trig.s > 0 ? (w - 1) * trig.s : (u - w) * trig.s;
  for (int x = 0; x < u; ++x) {
    ReadLine(i1, u, h, LineAxis::kColumn, x, h, in.get());
    SkewLine(in.get(), h, out.get(), v, d, bg);
    WriteLine(i2, u, v, LineAxis::kColumn, x, v, out.get());
    d -= trig.s;
  }
  FreeImage(i1, u, h);

  // Third shear, horizontal: the offset grows by t from row to row.
  *size = {z, v};
  EngineImage i3 = NewImage(z, v);
  if (i3 == nullptr) {
    FreeImage(i2, u, v);
    return nullptr;
  }
  d = trig.s >= 0 ? -(w - 1) * trig.t * trig.s : trig.t * ((1 - v) - (w - 1) * trig.s);
  for (int y = 0; y < v; ++y) {
    ReadLine(i2, u, v, LineAxis::kRow, y, u, in.get());
    SkewLine(in.get(), u, out.get(), z, d, bg);
    WriteLine(i3, z, v, LineAxis::kRow, y, z, out.get());
    d += trig.t;
  }
  FreeImage(i2, u, v);
  return i3;
}

EngineImage ShearRotator::RotateAnyAngle(EngineImage image, int width, int height, double angle,
                                         EngineSize *size) {
  const TurnPlan plan = PlanTurn(angle);
  if (plan.turn == QuarterTurn::kNone) return Rotate(image, width, height, plan.remaining, size);
  EngineSize turned;
  EngineImage p = TurnImage(image, width, height, plan.turn, &turned);
  if (p == nullptr) return nullptr;
  EngineImage m = Rotate(p, turned.width, turned.height, plan.remaining, size);
  FreeImage(p, turned.width, turned.height);
  return m;
}

}  // namespace morphel
