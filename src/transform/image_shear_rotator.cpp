// The rotation engine's pixel interface on graphics-library images, with the
// whole-line fast path for true-colour images.
#include "transform/image_shear_rotator.h"

#include <algorithm>

#include "core/images.h"
#include "draw/draw_p.h"

namespace morphel {

namespace {

gdImagePtr Gd(EngineImage image) { return static_cast<gdImagePtr>(image); }

// The library's own bounds test for pixel reads and writes (its clipping
// rectangle, which the component never narrows).
bool InClip(gdImagePtr im, int x, int y) {
  return x >= im->cx1 && x <= im->cx2 && y >= im->cy1 && y <= im->cy2;
}

}  // namespace

// Palette pixels are built from their entry with the transparent-index alpha
// rule, as everywhere else in the component, not from the entry's stored
// alpha that the library's true-colour read reports.
uint32_t ImageShearRotator::ReadPixel(EngineImage image, int width, int height, int x, int y) {
  if (x > width - 1 || y > height - 1) return backgroundColor;
  const int value = PackedPixel(Gd(image), x, y);
  return value == -1 ? backgroundColor : static_cast<uint32_t>(value);
}

void ImageShearRotator::WritePixel(EngineImage image, int, int, int x, int y, uint32_t colour) {
  gdImageSetPixel(Gd(image), x, y, static_cast<int>(colour));
}

// Filled row by row: on a true-colour image with blending off this is what
// the library's filled rectangle over (0, 0, width + 1, height + 1) does.
EngineImage ImageShearRotator::NewImage(int width, int height) {
  gdImagePtr im = gdImageCreateTrueColor(width, height);
  if (im == nullptr) return nullptr;
  SetNewImageFlags(im);
  const int bg = gdImageColorAllocate(im, (backgroundColor >> 16) & 0xFF,
                                      (backgroundColor >> 8) & 0xFF, backgroundColor & 0xFF);
  for (int y = 0; y < height; ++y) std::fill(im->tpixels[y], im->tpixels[y] + width, bg);
  return im;
}

// The library's copy skips pixels of the source's transparent colour, so
// those keep the background.
EngineImage ImageShearRotator::CloneImage(EngineImage image, int width, int height) {
  EngineImage clone = NewImage(width, height);
  if (clone != nullptr) gdImageCopy(Gd(clone), Gd(image), 0, 0, 0, 0, width, height);
  return clone;
}

void ImageShearRotator::FreeImage(EngineImage image, int, int) { gdImageDestroy(Gd(image)); }

void ImageShearRotator::ReadLine(EngineImage image, int width, int height, LineAxis axis,
                                 int index, int length, uint32_t *out) {
  gdImagePtr im = Gd(image);
  if (!gdImageTrueColor(im)) {
    ShearRotator::ReadLine(image, width, height, axis, index, length, out);
    return;
  }
  const bool row = axis == LineAxis::kRow;
  for (int i = 0; i < length; ++i) {
    const int x = row ? i : index, y = row ? index : i;
    if (x > width - 1 || y > height - 1) {
      out[i] = backgroundColor;
      continue;
    }
    const int value = InClip(im, x, y) ? im->tpixels[y][x] : 0;
    out[i] = value == -1 ? backgroundColor : static_cast<uint32_t>(value);
  }
}

// Negative values are the library's special colours: those go through its
// own call.
void ImageShearRotator::WriteLine(EngineImage image, int width, int height, LineAxis axis,
                                  int index, int length, const uint32_t *in) {
  gdImagePtr im = Gd(image);
  if (!gdImageTrueColor(im) || im->alphaBlendingFlag) {
    ShearRotator::WriteLine(image, width, height, axis, index, length, in);
    return;
  }
  const bool row = axis == LineAxis::kRow;
  for (int i = 0; i < length; ++i) {
    const int x = row ? i : index, y = row ? index : i;
    const int colour = static_cast<int>(in[i]);
    if (colour < 0) {
      gdImageSetPixel(im, x, y, colour);
    } else if (InClip(im, x, y)) {
      im->tpixels[y][x] = colour;
    }
  }
}

}  // namespace morphel
