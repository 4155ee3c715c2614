// The three-shear rotation engine and the pixel interface it works through.
#ifndef MORPHEL_TRANSFORM_SHEAR_ROTATOR_H
#define MORPHEL_TRANSFORM_SHEAR_ROTATOR_H

#include <cstdint>

namespace morphel {

// An image as the engine sees it: an opaque handle, described in every call
// by a width and a height that need not be the image's true size.
using EngineImage = void *;

struct EngineSize {
  int width = 0;
  int height = 0;
};

// Which line of an image a whole-line access means: row `index` (positions
// are x) or column `index` (positions are y).
enum class LineAxis { kRow, kColumn };

// The quarter turn taken before the shears, and the angle left for them.
enum class QuarterTurn { kNone, kCounterClockwise, kHalf, kClockwise };
struct TurnPlan {
  QuarterTurn turn = QuarterTurn::kNone;
  double remaining = 0;  // the angle handed to Rotate
};

// Sizes of the three shear images for an input of width x height turned by
// angle degrees (not exactly 0): I1 is u x height, I2 u x v, I3 z x v.
struct ShearSizes {
  int u = 0;
  int v = 0;
  int z = 0;
};

// The angle reduced to [0, 360) and split into a quarter turn and the rest.
TurnPlan PlanTurn(double angle);
// The input size after the plan's quarter turn.
EngineSize TurnedSize(QuarterTurn turn, int width, int height);
ShearSizes ShearSizesFor(int width, int height, double angle);
// The size of the image Rotate returns for that input, before it runs.
EngineSize RotatedSize(int width, int height, double angle);

// Rotates images through six virtual operations (destructor, ReadPixel,
// WritePixel, NewImage, CloneImage, FreeImage, in that order), and two line
// operations that default to the per-pixel ones.
class ShearRotator {
 public:
  explicit ShearRotator(uint32_t background) : backgroundColor(background) {}
  virtual ~ShearRotator() = default;
  ShearRotator(const ShearRotator &) = delete;
  ShearRotator &operator=(const ShearRotator &) = delete;

  virtual uint32_t ReadPixel(EngineImage image, int width, int height, int x, int y) = 0;
  virtual void WritePixel(EngineImage image, int width, int height, int x, int y,
                          uint32_t colour) = 0;
  // A new image entirely of the background colour, or null.
  virtual EngineImage NewImage(int width, int height) = 0;
  virtual EngineImage CloneImage(EngineImage image, int width, int height) = 0;
  virtual void FreeImage(EngineImage image, int width, int height) = 0;

  // Reads positions 0 .. length - 1 of a line into out, as ReadPixel would.
  virtual void ReadLine(EngineImage image, int width, int height, LineAxis axis, int index,
                        int length, uint32_t *out);
  // Writes positions 0 .. length - 1 of a line, as WritePixel would.
  virtual void WriteLine(EngineImage image, int width, int height, LineAxis axis, int index,
                         int length, const uint32_t *in);

  // Turns image (width x height) by angle degrees: a clone at exactly 0, else
  // three shears. size receives the result's size; null when an image could
  // not be made (nothing is left allocated then).
  EngineImage Rotate(EngineImage image, int width, int height, double angle, EngineSize *size);

  // A new image holding image turned by a quarter, half or three-quarter
  // turn (turn is not kNone); turnedSize receives its size.
  EngineImage TurnImage(EngineImage image, int width, int height, QuarterTurn turn,
                        EngineSize *turnedSize);

  // The whole rotation: angle normalised, a quarter turn where it calls for
  // one, then Rotate; the quarter-turned temporary is freed.
  EngineImage RotateAnyAngle(EngineImage image, int width, int height, double angle,
                             EngineSize *size);

  uint32_t backgroundColor;  // packed red, green, blue; alpha 0
};

// One line of a shear: src (n values) moved by the fractional offset into dst
// (d values), blending each pixel with its predecessor by the fraction.
void SkewLine(const uint32_t *src, int n, uint32_t *dst, int d, double offset,
              uint32_t background);

}  // namespace morphel

#endif  // MORPHEL_TRANSFORM_SHEAR_ROTATOR_H
