// Arcs and pie slices, and the angle range rule.
#include <gtest/gtest.h>

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

void WhitePenCanvas(ObjectHolder &obj) {
  ASSERT_EQ(obj->CreateImage(100, 100), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
}

// The arc of the component against arcs drawn straight by the library.
std::string ArcDifference(int s, int e, std::initializer_list<std::pair<int, int>> parts) {
  ObjectHolder obj;
  WhitePenCanvas(obj);
  EXPECT_EQ(obj->DrawArc(50, 50, 40, 40, s, e), S_OK);
  Reference ref(100, 100);
  for (auto [from, to] : parts) gdImageArc(ref.get(), 50, 50, 40, 40, from, to, kWhite);
  return FirstDifference(Current(obj), ref.get());
}

std::string PieDifference(int s, int e, std::initializer_list<std::pair<int, int>> parts) {
  ObjectHolder obj;
  WhitePenCanvas(obj);
  EXPECT_EQ(obj->DrawFilledArc(50, 50, 40, 40, s, e), S_OK);
  Reference ref(100, 100);
  for (auto [from, to] : parts) {
    gdImageFilledArc(ref.get(), 50, 50, 40, 40, from, to, kWhite, gdPie);
  }
  return FirstDifference(Current(obj), ref.get());
}

TEST(Arcs, QuarterFromRightOfTheCentreToBelowIt) {
  ObjectHolder obj;
  WhitePenCanvas(obj);
  ASSERT_EQ(obj->DrawArc(50, 50, 40, 40, 0, 90), S_OK);
  EXPECT_EQ(test::Raw(obj, 70, 50), kWhite);
  EXPECT_EQ(test::Raw(obj, 50, 70), kWhite);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) {
      if (test::Raw(obj, x, y) != 0) {
        EXPECT_TRUE(x >= 50 && y >= 50) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(test::Raw(obj, 60, 60), 0);  // the curve only
}

TEST(Arcs, FilledQuarterFillsBetweenTheRadii) {
  ObjectHolder obj;
  WhitePenCanvas(obj);
  ASSERT_EQ(obj->DrawFilledArc(50, 50, 40, 40, 0, 90), S_OK);
  EXPECT_EQ(test::Raw(obj, 60, 60), kWhite);
  EXPECT_EQ(test::Raw(obj, 51, 51), kWhite);
  EXPECT_EQ(test::Raw(obj, 40, 40), 0);
  EXPECT_EQ(test::Raw(obj, 60, 40), 0);
  EXPECT_EQ(test::Raw(obj, 40, 60), 0);
}

TEST(Arcs, EndBelowStartRunsThroughAngleZero) {
  EXPECT_EQ(ArcDifference(270, 90, {{270, 360}, {0, 90}}), "");
  ObjectHolder obj;
  WhitePenCanvas(obj);
  ASSERT_EQ(obj->DrawArc(50, 50, 40, 40, 270, 90), S_OK);
  EXPECT_EQ(test::Raw(obj, 70, 50), kWhite);
  EXPECT_EQ(test::Raw(obj, 50, 30), kWhite);
  EXPECT_EQ(test::Raw(obj, 50, 70), kWhite);
  EXPECT_EQ(test::Raw(obj, 30, 50), 0);
}

TEST(Arcs, EllipseIsTheWholeTurn) {
  ObjectHolder obj;
  WhitePenCanvas(obj);
  ASSERT_EQ(obj->DrawEllipse(50, 50, 40, 40), S_OK);
  Reference ref(100, 100);
  gdImageArc(ref.get(), 50, 50, 40, 40, 0, 360, kWhite);
  EXPECT_EQ(FirstDifference(Current(obj), ref.get()), "");
}

// The library takes 0..400 as 0..40 and 90..90 as a whole turn; the component
// draws a turn and more as the whole ellipse and an empty range as nothing.
TEST(Arcs, RangesBeyondATurnAndEmptyRangesFollowTheRule) {
  {
    Reference lib(100, 100), forty(100, 100);
    gdImageArc(lib.get(), 50, 50, 40, 40, 0, 400, kWhite);
    gdImageArc(forty.get(), 50, 50, 40, 40, 0, 40, kWhite);
    ASSERT_EQ(FirstDifference(lib.get(), forty.get()), "");  // the library's reading
  }
  EXPECT_EQ(ArcDifference(0, 400, {{0, 360}}), "");
  EXPECT_EQ(ArcDifference(400, 410, {{40, 50}}), "");
  EXPECT_EQ(PieDifference(0, 400, {{0, 360}}), "");
  ObjectHolder obj;
  WhitePenCanvas(obj);
  EXPECT_EQ(obj->DrawArc(50, 50, 40, 40, 90, 90), S_OK);
  EXPECT_EQ(obj->DrawFilledArc(50, 50, 40, 40, 450, 90), S_OK);
  EXPECT_EQ(obj->DrawArc(50, 50, 40, 40, 90, -270), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 0);
}

// Negative angles are brought into range by whole turns.
TEST(Arcs, NegativeAnglesAreTakenByWholeTurns) {
  EXPECT_EQ(ArcDifference(-90, 0, {{270, 360}}), "");
  EXPECT_EQ(ArcDifference(-360, 0, {{0, 360}}), "");
  EXPECT_EQ(ArcDifference(0, -90, {{0, 270}}), "");
  EXPECT_EQ(ArcDifference(-450, -360, {{270, 360}}), "");
  EXPECT_EQ(ArcDifference(-90, 90, {{270, 360}, {0, 90}}), "");
  EXPECT_EQ(PieDifference(-90, 0, {{270, 360}}), "");
}

TEST(Arcs, ExtremeAnglesDoNotOverflow) {
  const ArcRange a = ArcRangeFor(INT32_MIN, INT32_MAX);
  EXPECT_FALSE(a.empty);
  EXPECT_EQ(a.start, 0);
  EXPECT_EQ(a.end, 360);
  const ArcRange b = ArcRangeFor(INT32_MAX, INT32_MIN);
  EXPECT_GE(b.start, 0);
  EXPECT_LT(b.start, 360);
  EXPECT_LE(b.end, b.start + 360);
}

}  // namespace
}  // namespace morphel
