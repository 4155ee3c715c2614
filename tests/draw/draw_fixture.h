// Helpers for the drawing and text tests: canvases, raw pixels, comparisons.
#ifndef MORPHEL_TESTS_DRAW_DRAW_FIXTURE_H
#define MORPHEL_TESTS_DRAW_DRAW_FIXTURE_H

#include <gd.h>
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace morphel::test {

// The object's current image.
inline gdImagePtr Current(const ObjectHolder &obj) { return obj->CurrentImage(); }

// Raw pixel value (palette index or packed colour) of the current image.
inline int Raw(const ObjectHolder &obj, int x, int y) {
  return gdImageGetPixel(obj->CurrentImage(), x, y);
}

// Number of pixels of im whose raw value is not background.
inline int CountPainted(gdImagePtr im, int background = 0) {
  int count = 0;
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) count += gdImageGetPixel(im, x, y) != background;
  }
  return count;
}

// First pixel where a and b differ, as "x,y a!=b", or "" when they are equal.
inline std::string FirstDifference(gdImagePtr a, gdImagePtr b) {
  if (gdImageSX(a) != gdImageSX(b) || gdImageSY(a) != gdImageSY(b)) return "size";
  for (int y = 0; y < gdImageSY(a); ++y) {
    for (int x = 0; x < gdImageSX(a); ++x) {
      const int pa = gdImageGetPixel(a, x, y), pb = gdImageGetPixel(b, x, y);
      if (pa != pb) {
        return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(pa) +
               "!=" + std::to_string(pb);
      }
    }
  }
  return "";
}

// A true-colour image with the component's flags, freed with the holder; the
// oracle side of comparisons.
class Reference {
 public:
  Reference(int w, int h) : im_(gdImageCreateTrueColor(w, h)) { SetNewImageFlags(im_); }
  ~Reference() { gdImageDestroy(im_); }
  Reference(const Reference &) = delete;
  Reference &operator=(const Reference &) = delete;
  gdImagePtr get() const { return im_; }

 private:
  gdImagePtr im_;
};

// The failure of an operation on an empty slot: E_FAIL with "NO IMAGE!".
inline void ExpectNoImage(HRESULT hr) {
  EXPECT_EQ(hr, E_FAIL);
  ErrorText error = TakeErrorInfo();
  EXPECT_TRUE(error.present);
  EXPECT_EQ(error.description, "NO IMAGE!");
}

// A range refusal: the call gives E_INVALIDARG and records no error information.
template <typename Call>
void ExpectRefused(Call call) {
  ClearErrorInfo();
  EXPECT_EQ(call(), E_INVALIDARG);
  EXPECT_FALSE(TakeErrorInfo().present);
}

}  // namespace morphel::test

#endif  // MORPHEL_TESTS_DRAW_DRAW_FIXTURE_H
