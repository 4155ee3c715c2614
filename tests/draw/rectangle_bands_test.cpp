// Thick rectangle outlines cut to the image, against the library's routine.
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

struct Numbers {
  uint32_t state;
  int Next(int lo, int hi) {
    state = state * 1664525u + 1013904223u;
    return lo + static_cast<int>((state >> 8) % static_cast<uint32_t>(hi - lo + 1));
  }
};

// Blending a translucent colour shows every pixel painted twice where bands
// meet, so the comparison holds the number of visits too.
TEST(RectangleBands, SameAsTheLibrary) {
  Numbers n{3};
  for (int round = 0; round < 1000; ++round) {
    const int x1 = n.Next(-30, 130), y1 = n.Next(-30, 110), x2 = n.Next(-30, 130),
              y2 = n.Next(-30, 110), thick = n.Next(2, 12);
    Reference ours(100, 80), lib(100, 80);
    for (gdImagePtr im : {ours.get(), lib.get()}) {
      gdImageAlphaBlending(im, 1);
      gdImageSetThickness(im, thick);
    }
    ClippedThickRectangle(ours.get(), x1, y1, x2, y2, 0x40FF8000);
    gdImageRectangle(lib.get(), x1, y1, x2, y2, 0x40FF8000);
    ASSERT_EQ(FirstDifference(ours.get(), lib.get()), "")
        << x1 << " " << y1 << " " << x2 << " " << y2 << " " << thick;
  }
}

TEST(RectangleBands, FarCornersPaintOnlyTheVisibleBands) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(100, 100), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj->SetLineThickness(6), S_OK);
  EXPECT_EQ(obj->DrawRectangle(-1000000000, 50, 1000000000, 2000000000), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 100 * 6);  // rows 47..52
  EXPECT_EQ(test::Raw(obj, 0, 47), 0x00FFFFFF);
  EXPECT_EQ(test::Raw(obj, 99, 52), 0x00FFFFFF);
  EXPECT_EQ(obj->DrawRectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 100 * 6);
}

}  // namespace
}  // namespace morphel
