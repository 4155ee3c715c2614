// The filled ellipse cut to the image, against the library's own routine.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "draw/draw_fixture.h"
#include "draw/draw_p.h"

namespace morphel {
namespace {

using test::CountPainted;
using test::Current;
using test::FirstDifference;
using test::ObjectHolder;
using test::Reference;

constexpr int kWhite = 0x00FFFFFF;

// Deterministic pseudo-random numbers in lo..hi.
struct Numbers {
  uint32_t state;
  int Next(int lo, int hi) {
    state = state * 1664525u + 1013904223u;
    return lo + static_cast<int>((state >> 8) % static_cast<uint32_t>(hi - lo + 1));
  }
};

void Background(gdImagePtr im) {
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) gdImageSetPixel(im, x, y, (x * 7 + y * 13) & 0xFFFFFF);
  }
}

// With blending on and a translucent colour, a row painted twice shows, so
// the comparison also holds the order and number of the row visits.
TEST(EllipseFill, SameAsTheLibraryOnTrueColour) {
  Numbers n{7};
  for (int round = 0; round < 400; ++round) {
    const int mx = n.Next(-80, 180), my = n.Next(-60, 140);
    const int w = n.Next(-6, 160), h = n.Next(-6, 120);
    const int colour = round % 2 == 0 ? 0x40FF8000 : 0x00102030;
    Reference ours(100, 80), lib(100, 80);
    for (gdImagePtr im : {ours.get(), lib.get()}) {
      Background(im);
      gdImageAlphaBlending(im, 1);
    }
    ClippedEllipseFill(ours.get(), mx, my, w, h, colour);
    gdImageFilledEllipse(lib.get(), mx, my, w, h, colour);
    ASSERT_EQ(FirstDifference(ours.get(), lib.get()), "")
        << mx << " " << my << " " << w << " " << h;
  }
}

TEST(EllipseFill, SameAsTheLibraryOnPalette) {
  Numbers n{11};
  for (int round = 0; round < 100; ++round) {
    const int mx = n.Next(-40, 90), my = n.Next(-40, 90), w = n.Next(0, 90), h = n.Next(0, 90);
    gdImagePtr ours = gdImageCreate(50, 50), lib = gdImageCreate(50, 50);
    for (gdImagePtr im : {ours, lib}) {
      gdImageColorAllocate(im, 0, 0, 0);
      gdImageColorAllocate(im, 255, 0, 0);
    }
    ClippedEllipseFill(ours, mx, my, w, h, 1);
    gdImageFilledEllipse(lib, mx, my, w, h, 1);
    EXPECT_EQ(FirstDifference(ours, lib), "") << mx << " " << my << " " << w << " " << h;
    gdImageDestroy(ours);
    gdImageDestroy(lib);
  }
}

TEST(EllipseFill, OrdinarySizesGoThroughTheLibrary) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(100, 100), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj->DrawFilledEllipse(40, 60, 41, 31), S_OK);
  Reference ref(100, 100);
  gdImageFilledEllipse(ref.get(), 40, 60, 41, 31, kWhite);
  EXPECT_EQ(FirstDifference(Current(obj), ref.get()), "");
}

// Sizes at the ends of the int range: the library's routine would visit
// every pixel of the bounding box (or never end); these finish at once.
TEST(EllipseFill, HugeSizesArePaintedInProportionToTheImage) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(100, 100), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  EXPECT_EQ(obj->DrawFilledEllipse(2147483645, 0, 4, 4), S_OK);
  EXPECT_EQ(obj->DrawFilledEllipse(-2147483647, 50, 6, 4), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 0);
  EXPECT_EQ(obj->DrawFilledEllipse(50, 50, 40000, 40000), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), kWhite), 0);

  ASSERT_EQ(obj->CreateImage(100, 100), S_OK);
  EXPECT_EQ(obj->DrawFilledEllipse(50, 50, 2000000000, 2), S_OK);
  for (int x = 0; x < 100; ++x) EXPECT_EQ(test::Raw(obj, x, 50), kWhite) << x;
  EXPECT_EQ(test::Raw(obj, 50, 10), 0);
  EXPECT_EQ(obj->DrawFilledEllipse(50, 50, INT_MAX, INT_MAX), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), kWhite), 0);

  ASSERT_EQ(obj->CreateImage(100, 100), S_OK);
  EXPECT_EQ(obj->DrawFilledEllipse(INT_MIN, INT_MIN, INT_MIN, INT_MIN), S_OK);
  EXPECT_EQ(obj->DrawFilledEllipse(50, -1000000000, 100, INT_MAX), S_OK);
  EXPECT_EQ(test::Raw(obj, 50, 0), kWhite);
  EXPECT_EQ(test::Raw(obj, 0, 0), 0);

  // Negative widths paint nothing, also where mx - w / 2 passes INT_MAX (the
  // library's column loop then wraps round and never ends).
  ASSERT_EQ(obj->CreateImage(8, 6), S_OK);
  EXPECT_EQ(obj->DrawFilledEllipse(1684334243, 0, -1264344157, -1549556829), S_OK);
  EXPECT_EQ(obj->DrawFilledEllipse(4, 3, -1264344157, 4), S_OK);
  EXPECT_EQ(obj->DrawFilledEllipse(4, 3, -6, 4), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 0);
}

}  // namespace
}  // namespace morphel
