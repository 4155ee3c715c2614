// Free rotation of a slot's image onto a new canvas: the size check, the
// engine, the canvas built through the object's own operations, and the copy
// of the pixels inside the turned outline of the source.
#include <algorithm>
#include <cmath>

#include "core/status.h"
#include "transform/image_shear_rotator.h"
#include "transform/transform_p.h"

namespace morphel {

namespace {

// Slightly below pi / 180: the outline is turned by this factor.
constexpr double kOutlineRadiansPerDegree = 0.017453292222222222;

struct Outline {
  int x[4];
  int y[4];
};

// The corners of the w x h rectangle turned by angle about its centre, moved
// so that the turned picture's box starts at 0; single precision where the
// values are stored.
Outline TurnedOutline(int w, int h, int angle) {
  const float wf = static_cast<float>(w), hf = static_cast<float>(h);
  const float cx = wf * 0.5f, cy = hf * 0.5f;
  const double r = std::sqrt(static_cast<double>(hf) * hf * 0.25 +
                             static_cast<double>(wf) * wf * 0.25);
  const double phi = std::atan2(static_cast<double>(hf), static_cast<double>(wf));
  const double beta = -static_cast<double>(angle) * kOutlineRadiansPerDegree;
  const double d1x = r * std::cos(phi + beta), d1y = r * std::sin(phi + beta);
  const double d2x = r * std::cos(phi - beta), d2y = r * std::sin(phi - beta);
  const float cornerX[4] = {static_cast<float>(cx - d1x), static_cast<float>(cx + d2x),
                            static_cast<float>(cx + d1x), static_cast<float>(cx - d2x)};
  const float cornerY[4] = {static_cast<float>(cy - d1y), static_cast<float>(cy - d2y),
                            static_cast<float>(cy + d1y), static_cast<float>(cy + d2y)};
  const float mx = static_cast<float>(std::max(std::fabs(d1x), std::fabs(d2x)));
  const float my = static_cast<float>(std::max(std::fabs(d1y), std::fabs(d2y)));
  const float ox = static_cast<float>(static_cast<double>(cx) - mx + 0.5);
  const float oy = static_cast<float>(static_cast<double>(cy) - my + 0.5);
  Outline outline;
  for (int k = 0; k < 4; ++k) {
    outline.x[k] = static_cast<int>(static_cast<double>(cornerX[k]) - ox);
    outline.y[k] = static_cast<int>(static_cast<double>(cornerY[k]) - oy);
  }
  return outline;
}

// Pixel (x, y) of m onto the canvas, as the library's true-colour read and
// pixel write do it. m is the engine's true-colour result, one pixel larger
// each way than the canvas, so the span is read straight from its row.
void CopySpan(gdImagePtr canvas, gdImagePtr m, int xa, int xb, int y) {
  if (y < 0 || y >= gdImageSY(canvas) || y >= gdImageSY(m)) return;
  xa = std::max(xa, 0);
  xb = std::min({xb, gdImageSX(canvas) - 1, gdImageSX(m) - 1});
  const bool direct = gdImageTrueColor(canvas) && !canvas->alphaBlendingFlag;
  for (int x = xa; x <= xb; ++x) {
    const int value = m->tpixels[y][x];
    if (direct && value >= 0) {
      canvas->tpixels[y][x] = value;
    } else {
      gdImageSetPixel(canvas, x, y, value);
    }
  }
}

// A scan-line fill of the outline that copies from m instead of painting:
// edge intersections in integer arithmetic truncating toward zero, the last
// row closed by the edges that end on it.
void CopyInsideOutline(gdImagePtr canvas, gdImagePtr m, const Outline &outline) {
  const int miny = *std::min_element(outline.y, outline.y + 4);
  const int maxy = *std::max_element(outline.y, outline.y + 4);
  for (int y = miny; y <= maxy; ++y) {
    long long ints[4];
    int count = 0;
    for (int k = 0; k < 4; ++k) {
      const int from = k == 0 ? 3 : k - 1;
      if (outline.y[from] == outline.y[k]) continue;
      const bool down = outline.y[from] < outline.y[k];
      const long long x1 = outline.x[down ? from : k], y1 = outline.y[down ? from : k];
      const long long x2 = outline.x[down ? k : from], y2 = outline.y[down ? k : from];
      if ((y1 <= y && y < y2) || (y == maxy && y1 < y && y <= y2)) {
        ints[count++] = (y - y1) * (x2 - x1) / (y2 - y1) + x1;
      }
    }
    for (int i = 1; i < count; ++i) {  // insertion sort of at most four values
      for (int j = i; j > 0 && ints[j - 1] > ints[j]; --j) std::swap(ints[j - 1], ints[j]);
    }
    for (int i = 0; i + 1 < count; i += 2) {
      CopySpan(canvas, m, static_cast<int>(ints[i]), static_cast<int>(ints[i + 1]), y);
    }
  }
}

// True when a source of (w + 1) x (h + 1) pixels gives, at this angle, engine
// images that can be made and a canvas the component accepts.
bool RotationFits(int w, int h, int angle) {
  if (w < 1 || h < 1) return false;
  const TurnPlan plan = PlanTurn(angle);
  const EngineSize turned = TurnedSize(plan.turn, w, h);
  const EngineSize size = RotatedSize(turned.width, turned.height, plan.remaining);
  return IsAcceptedSize(static_cast<long long>(size.width) - 1,
                        static_cast<long long>(size.height) - 1);
}

uint32_t Background(const Images &obj) {
  return (static_cast<uint32_t>(obj.penRed & 255) << 16) |
         (static_cast<uint32_t>(obj.penGreen & 255) << 8) |
         static_cast<uint32_t>(obj.penBlue & 255);
}

// Selects slot and gives it a new width x height canvas through CreateImage.
// The slot's old image is held aside meanwhile: destroyed once the canvas
// exists, put back (with the previous current slot) when it cannot be made.
bool PlaceCanvas(Images &obj, int slot, int width, int height) {
  const int previousSlot = obj.currentSlot;
  gdImagePtr old = obj.slotImages[slot];
  const int oldOwned = obj.slotOwned[slot];
  obj.slotImages[slot] = nullptr;
  obj.slotOwned[slot] = 0;
  obj.SetImage(slot);
  if (obj.CreateImage(width, height) != S_OK) {
    obj.slotImages[slot] = old;
    obj.slotOwned[slot] = oldOwned;
    obj.currentSlot = previousSlot;
    return false;
  }
  if (oldOwned && old != nullptr) gdImageDestroy(old);
  return true;
}

}  // namespace

// Failures leave every slot and the current slot as they were: the size is
// checked before anything is made.
HRESULT Images::CopyImageRotate(INT dstImg, INT srcImg, INT angle) {
  gdImagePtr source;
  if (HRESULT hr = LookUpSlot(*this, srcImg, &source); FAILED(hr)) return hr;
  if (!IsSlotNumber(dstImg)) return ReportError(kMsgNoImage);
  // The engine sees the source less its last column and row.
  const int w = gdImageSX(source) - 1, h = gdImageSY(source) - 1;
  if (!RotationFits(w, h, angle)) return ReportError(kMsgNoImage);

  ImageShearRotator engine(Background(*this));
  EngineSize size;
  auto m = static_cast<gdImagePtr>(engine.RotateAnyAngle(source, w, h, angle, &size));
  if (m == nullptr) return ReportError(kMsgNoMemory);
  const Outline outline = TurnedOutline(w, h, angle);
  if (!PlaceCanvas(*this, dstImg, size.width - 1, size.height - 1)) {
    gdImageDestroy(m);
    return ReportError(kMsgNoMemory);
  }
  SetColor(penRed, penGreen, penBlue);
  DrawFilledRectangle(0, 0, size.width - 1, size.height - 1);
  CopyInsideOutline(CurrentImage(), m, outline);
  gdImageDestroy(m);
  SetImage(srcImg);
  return S_OK;
}

}  // namespace morphel
