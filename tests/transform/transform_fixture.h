// Helpers for the copy and rotation tests: patterned images in slots.
#ifndef MORPHEL_TESTS_TRANSFORM_TRANSFORM_FIXTURE_H
#define MORPHEL_TESTS_TRANSFORM_TRANSFORM_FIXTURE_H

#include <gd.h>

#include "draw/draw_fixture.h"

namespace morphel::test {

// A colour that differs for every pixel of images up to 256 x 256.
inline int PatternColour(int x, int y, int alpha = 0) {
  return gdTrueColorAlpha(x & 0xFF, y & 0xFF, (x * 7 + y * 13) & 0xFF, alpha);
}

// Paints the pattern over im (palette images get up to 256 of its colours).
inline void PaintPattern(gdImagePtr im, int alpha = 0) {
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) {
      int c = PatternColour(x, y, alpha);
      if (!gdImageTrueColor(im)) {
        c = gdImageColorResolveAlpha(im, gdTrueColorGetRed(c), gdTrueColorGetGreen(c),
                                     gdTrueColorGetBlue(c), alpha);
      }
      gdImageSetPixel(im, x, y, c);
    }
  }
}

// Makes slot a patterned true-colour (or palette) image of w x h.
inline gdImagePtr PatternedSlot(const ObjectHolder &obj, int slot, int w, int h,
                                bool palette = false, int alpha = 0) {
  obj->SetImage(slot);
  if (palette) {
    EXPECT_EQ(obj->CreateImagePalette(w, h), S_OK);
  } else {
    EXPECT_EQ(obj->CreateImage(w, h), S_OK);
  }
  PaintPattern(obj->CurrentImage(), alpha);
  return obj->CurrentImage();
}

// An exact copy of im: pixels, palette, transparent colour and flags.
inline gdImagePtr Duplicate(gdImagePtr im) {
  const int w = gdImageSX(im), h = gdImageSY(im);
  gdImagePtr copy = gdImageTrueColor(im) ? gdImageCreateTrueColor(w, h) : gdImageCreate(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (gdImageTrueColor(im)) {
        copy->tpixels[y][x] = im->tpixels[y][x];
      } else {
        copy->pixels[y][x] = im->pixels[y][x];
      }
    }
  }
  copy->colorsTotal = im->colorsTotal;
  for (int i = 0; i < gdMaxColors; ++i) {
    copy->red[i] = im->red[i];
    copy->green[i] = im->green[i];
    copy->blue[i] = im->blue[i];
    copy->alpha[i] = im->alpha[i];
    copy->open[i] = im->open[i];
  }
  copy->transparent = im->transparent;
  copy->alphaBlendingFlag = im->alphaBlendingFlag;
  copy->saveAlphaFlag = im->saveAlphaFlag;
  return copy;
}

inline std::string Size(gdImagePtr im) {
  return std::to_string(gdImageSX(im)) + "x" + std::to_string(gdImageSY(im));
}

}  // namespace morphel::test

#endif  // MORPHEL_TESTS_TRANSFORM_TRANSFORM_FIXTURE_H
