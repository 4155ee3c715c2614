// The rotation against a plain model written from its rules alone: pixel by
// pixel, offsets by repeated addition, no line fast path and no clipping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "draw/draw_p.h"
#include "transform/transform_fixture.h"

namespace morphel {
namespace {

using test::ObjectHolder;

struct Plane {
  int w = 0, h = 0;
  std::vector<uint32_t> p;
  Plane(int width, int height, uint32_t fill)
      : w(width), h(height), p(static_cast<size_t>(width) * height, fill) {}
  uint32_t &at(int x, int y) { return p[static_cast<size_t>(y) * w + x]; }
};

int Ch(uint32_t c, int shift) {
  return (c >> shift) & 255;
}

// One shear line as the rules give it, every channel on its own.
void Skew(const std::vector<uint32_t> &src, std::vector<uint32_t> &dst, double d, uint32_t bg) {
  const int n = static_cast<int>(std::floor(d)), size = static_cast<int>(dst.size());
  const double f = d - n;
  const int len = static_cast<int>(src.size());
  for (int i = 0; i < n && i < size; ++i) dst[i] = bg;
  int prev[3], shifts[3] = {16, 8, 0};
  for (int k = 0; k < 3; ++k) prev[k] = static_cast<int>(Ch(bg, shifts[k]) * f);
  for (int i = 0; i < len; ++i) {
    uint32_t out = 0;
    for (int k = 0; k < 3; ++k) {
      const int left = static_cast<int>(Ch(src[i], shifts[k]) * f);
      out |= static_cast<uint32_t>((Ch(src[i], shifts[k]) - left + prev[k]) & 255) << shifts[k];
      prev[k] = left;
    }
    if (i + n >= 0 && i + n < size) dst[i + n] = out;
  }
  const int j = len + n;
  if (j >= 0 && j < size) {
    uint32_t out = 0;
    for (int k = 0; k < 3; ++k) {
      const int b = Ch(bg, shifts[k]);
      out |= static_cast<uint32_t>((prev[k] + b - static_cast<int>(b * f)) & 255) << shifts[k];
    }
    dst[j] = out;
  }
  for (int i = std::max(j + 1, 0); i < size; ++i) dst[i] = bg;
}

// The engine's result for a true-colour source: quarter turn, then the clone
// or the three shears.
Plane ModelEngine(gdImagePtr src, int W, int H, int angle, uint32_t bg) {
  double a = angle;
  while (a >= 360) a -= 360;
  while (a < 0) a += 360;
  Plane p(W, H, bg);
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) p.at(x, y) = gdImageGetTrueColorPixel(src, x, y);
  }
  bool turned = true;
  auto turn = [&](int nw, int nh, auto to) {
    Plane q(nw, nh, bg);
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        auto [tx, ty] = to(x, y);
        q.at(tx, ty) = p.at(x, y);
      }
    }
    p = q;
  };
  if (a > 45 && a <= 135) {
    turn(H, W, [&](int x, int y) { return std::pair{y, W - 1 - x}; });
    a -= 90;
  } else if (a > 135 && a <= 225) {
    turn(W, H, [&](int x, int y) { return std::pair{W - 1 - x, H - 1 - y}; });
    a -= 180;
  } else if (a > 225 && a <= 315) {
    turn(H, W, [&](int x, int y) { return std::pair{H - 1 - y, x}; });
    a -= 270;
  } else {
    turned = false;
  }
  if (a == 0) {
    for (int y = 0; y < H && !turned; ++y) {  // the clone skips the transparent colour
      for (int x = 0; x < W; ++x) {
        if (gdImageGetPixel(src, x, y) == src->transparent) p.at(x, y) = bg;
      }
    }
    return p;
  }
  const int w = p.w, h = p.h;
  const double r = a * 0.017453292519943295, s = std::sin(r), c = std::cos(r), t = std::tan(r / 2);
  const int U = w + static_cast<int>(std::fabs(t) * h);
  const int V = static_cast<int>(c * h + w * std::fabs(s)) + 1;
  const int Z = static_cast<int>(std::fabs(s) * h + w * c) + 1;
  Plane i1(U, h, bg), i2(U, V, bg), i3(Z, V, bg);
  for (int y = 0; y < h; ++y) {
    std::vector<uint32_t> in(p.p.begin() + y * w, p.p.begin() + (y + 1) * w), out(U);
    Skew(in, out, t >= 0 ? t * (y + 0.5) : t * (y - h + 0.5), bg);
    std::copy(out.begin(), out.end(), i1.p.begin() + y * U);
  }
  double d = s > 0 ? (w - 1) * s : (U - w) * s;
  for (int x = 0; x < U; ++x, d -= s) {
    std::vector<uint32_t> in(h), out(V);
    for (int y = 0; y < h; ++y) in[y] = i1.at(x, y);
    Skew(in, out, d, bg);
    for (int y = 0; y < V; ++y) i2.at(x, y) = out[y];
  }
  d = s >= 0 ? -(w - 1) * t * s : t * ((1 - V) - (w - 1) * s);
  for (int y = 0; y < V; ++y, d += t) {
    std::vector<uint32_t> in(i2.p.begin() + y * U, i2.p.begin() + (y + 1) * U), out(Z);
    Skew(in, out, d, bg);
    std::copy(out.begin(), out.end(), i3.p.begin() + y * Z);
  }
  return i3;
}

// The whole operation: canvas of background, the engine's pixels copied
// inside the turned outline.
Plane ModelRotate(gdImagePtr src, int angle, uint32_t bg) {
  const int W = gdImageSX(src) - 1, H = gdImageSY(src) - 1;
  Plane m = ModelEngine(src, W, H, angle, bg);
  Plane canvas(m.w - 1, m.h - 1, bg);
  const float wf = W, hf = H, cx = wf * 0.5f, cy = hf * 0.5f;
  const double R = std::sqrt(hf * hf * 0.25 + wf * wf * 0.25),
               phi = std::atan2(double{hf}, double{wf});
  const double beta = -static_cast<double>(angle) * 0.017453292222222222;
  const double d1x = R * std::cos(phi + beta), d1y = R * std::sin(phi + beta);
  const double d2x = R * std::cos(phi - beta), d2y = R * std::sin(phi - beta);
  const float cxs[4] = {float(cx - d1x), float(cx + d2x), float(cx + d1x), float(cx - d2x)};
  const float cys[4] = {float(cy - d1y), float(cy - d2y), float(cy + d1y), float(cy + d2y)};
  const float mx = std::max(std::fabs(d1x), std::fabs(d2x));
  const float my = std::max(std::fabs(d1y), std::fabs(d2y));
  const float ox = cx - mx + 0.5, oy = cy - my + 0.5;
  int px[4], py[4];
  for (int k = 0; k < 4; ++k) {
    px[k] = static_cast<int>(static_cast<double>(cxs[k]) - ox);
    py[k] = static_cast<int>(static_cast<double>(cys[k]) - oy);
  }
  const int miny = *std::min_element(py, py + 4), maxy = *std::max_element(py, py + 4);
  for (int y = miny; y <= maxy; ++y) {
    std::vector<int> xs;
    for (int k = 0; k < 4; ++k) {
      int x1 = px[(k + 3) % 4], y1 = py[(k + 3) % 4], x2 = px[k], y2 = py[k];
      if (y1 == y2) continue;
      if (y1 > y2) std::swap(x1, x2), std::swap(y1, y2);
      if ((y1 <= y && y < y2) || (y == maxy && y1 < y && y <= y2)) {
        xs.push_back((y - y1) * (x2 - x1) / (y2 - y1) + x1);
      }
    }
    std::sort(xs.begin(), xs.end());
    for (size_t i = 0; i + 1 < xs.size(); i += 2) {
      for (int x = xs[i]; x <= xs[i + 1]; ++x) {
        if (x >= 0 && y >= 0 && x < canvas.w && y < canvas.h) canvas.at(x, y) = m.at(x, y);
      }
    }
  }
  return canvas;
}

// Sizes from tiny to moderate, every angle of two turns both ways and a few
// far ones; sources with a transparent colour, a translucent pixel or a
// palette.
TEST(CopyImageRotate, MatchesAPlainModelOfTheRules) {
  const struct {
    int w, h;
    bool palette;
  } sizes[] = {{2, 2, false},   {3, 3, false},  {5, 4, false},  {4, 9, true},  {17, 6, false},
               {31, 23, false}, {12, 11, true}, {64, 3, false}, {3, 40, false}};
  std::vector<int> angles;
  for (int a = -720; a <= 720; a += 1) angles.push_back(a);
  for (int a : {1000, -1000, 100045, 2147483647, -2147483647 - 1}) angles.push_back(a);
  int compared = 0;
  for (auto [w, h, palette] : sizes) {
    ObjectHolder obj;
    gdImagePtr src = test::PatternedSlot(obj, 0, w, h, palette, 0);
    if (!palette) gdImageSetPixel(src, w / 2, h / 2, test::PatternColour(1, 1, 50));
    SetTransparentColour(src, gdImageGetPixel(src, 0, h - 2));
    obj->SetColor(200, 30, 90);
    for (int angle : angles) {
      const long long nearQuarter = std::llabs(angle) % 45;  // larger sources: fewer angles
      if (angle % 7 != 0 && nearQuarter > 1 && nearQuarter < 44 && w > 5) continue;
      const HRESULT hr = obj->CopyImageRotate(1, 0, angle);
      if (hr != S_OK) continue;  // sizes refused are tested elsewhere
      Plane model = ModelRotate(src, angle, 0xC81E5A);
      gdImagePtr out = obj->slotImages[1];
      ASSERT_EQ(test::Size(out), std::to_string(model.w) + "x" + std::to_string(model.h))
          << w << "x" << h << " at " << angle;
      int wrong = 0;
      for (int y = 0; y < model.h; ++y) {
        for (int x = 0; x < model.w; ++x) {
          wrong += static_cast<uint32_t>(gdImageGetPixel(out, x, y)) != model.at(x, y);
        }
      }
      EXPECT_EQ(wrong, 0) << w << "x" << h << " at " << angle;
      ++compared;
    }
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace morphel
