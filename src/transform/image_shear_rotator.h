// The rotation engine's pixel interface on graphics-library images.
#ifndef MORPHEL_TRANSFORM_IMAGE_SHEAR_ROTATOR_H
#define MORPHEL_TRANSFORM_IMAGE_SHEAR_ROTATOR_H

#include <gd.h>

#include "transform/shear_rotator.h"

namespace morphel {

// Engine images are gdImagePtr; every image it makes is true colour with
// blending off. Whole lines of true-colour images are read and written
// straight from the pixel rows, with the same results as pixel by pixel.
class ImageShearRotator final : public ShearRotator {
 public:
  explicit ImageShearRotator(uint32_t background) : ShearRotator(background) {}

  uint32_t ReadPixel(EngineImage image, int width, int height, int x, int y) override;
  void WritePixel(EngineImage image, int width, int height, int x, int y,
                  uint32_t colour) override;
  EngineImage NewImage(int width, int height) override;
  EngineImage CloneImage(EngineImage image, int width, int height) override;
  void FreeImage(EngineImage image, int width, int height) override;
  void ReadLine(EngineImage image, int width, int height, LineAxis axis, int index, int length,
                uint32_t *out) override;
  void WriteLine(EngineImage image, int width, int height, LineAxis axis, int index, int length,
                 const uint32_t *in) override;
};

}  // namespace morphel

#endif  // MORPHEL_TRANSFORM_IMAGE_SHEAR_ROTATOR_H
