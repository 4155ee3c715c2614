// Lines, rectangles, ellipses and the line thickness.
#include <gtest/gtest.h>

#include "draw/draw_fixture.h"

namespace morphel {
namespace {

using test::CountPainted;
using test::Current;
using test::ExpectNoImage;
using test::ExpectRefused;
using test::FirstDifference;
using test::ObjectHolder;
using test::Reference;

constexpr int kWhite = 0x00FFFFFF;

// A black true-colour canvas with a white pen.
void WhitePenCanvas(ObjectHolder &obj, int w, int h) {
  ASSERT_EQ(obj->CreateImage(w, h), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
}

TEST(Shapes, EmptySlotFailsWithNoImageAndDrawsNothing) {
  ObjectHolder obj;
  ExpectNoImage(obj->DrawLine(0, 0, 5, 5));
  ExpectNoImage(obj->DrawRectangle(0, 0, 5, 5));
  ExpectNoImage(obj->DrawFilledRectangle(0, 0, 5, 5));
  ExpectNoImage(obj->DrawEllipse(5, 5, 4, 4));
  ExpectNoImage(obj->DrawFilledEllipse(5, 5, 4, 4));
  ExpectNoImage(obj->DrawArc(5, 5, 4, 4, 0, 90));
  ExpectNoImage(obj->DrawFilledArc(5, 5, 4, 4, 0, 90));
  ExpectNoImage(obj->Fill(0, 0));
  ExpectNoImage(obj->FillToBorder(0, 0));
  // Another slot's image is left alone.
  ASSERT_EQ(obj->SetImage(3), S_OK);
  WhitePenCanvas(obj, 10, 10);
  ASSERT_EQ(obj->SetImage(0), S_OK);
  ExpectNoImage(obj->DrawFilledRectangle(0, 0, 9, 9));
  EXPECT_EQ(CountPainted(obj->slotImages[3]), 0);
}

TEST(Shapes, LineIsClippedToTheImage) {
  ObjectHolder obj;
  WhitePenCanvas(obj, 100, 100);
  EXPECT_EQ(obj->DrawLine(-50, -50, 500, 500), S_OK);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(test::Raw(obj, i, i), kWhite) << i;
  EXPECT_EQ(CountPainted(Current(obj)), 100);
}

TEST(Shapes, FilledRectangleIncludesBothCorners) {
  ObjectHolder obj;
  WhitePenCanvas(obj, 20, 20);
  EXPECT_EQ(obj->DrawFilledRectangle(5, 5, 10, 10), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 36);
  for (int y = 5; y <= 10; ++y) {
    for (int x = 5; x <= 10; ++x) EXPECT_EQ(test::Raw(obj, x, y), kWhite);
  }
}

TEST(Shapes, FilledRectangleIsTheUnionOfItsRows) {
  ObjectHolder obj;
  WhitePenCanvas(obj, 40, 30);
  ASSERT_EQ(obj->DrawFilledRectangle(33, 25, 3, 4), S_OK);  // corners in any order
  Reference ref(40, 30);
  for (int y = 4; y <= 25; ++y) gdImageLine(ref.get(), 3, y, 33, y, kWhite);
  EXPECT_EQ(FirstDifference(Current(obj), ref.get()), "");
}

TEST(Shapes, RectangleIsItsFourSides) {
  ObjectHolder obj;
  WhitePenCanvas(obj, 40, 30);
  ASSERT_EQ(obj->DrawRectangle(3, 4, 33, 25), S_OK);
  Reference ref(40, 30);
  gdImageLine(ref.get(), 3, 4, 33, 4, kWhite);
  gdImageLine(ref.get(), 3, 25, 33, 25, kWhite);
  gdImageLine(ref.get(), 3, 4, 3, 25, kWhite);
  gdImageLine(ref.get(), 33, 4, 33, 25, kWhite);
  EXPECT_EQ(FirstDifference(Current(obj), ref.get()), "");
}

// (x - 50)^2 / rx^2 + (y - 50)^2 / ry^2 compared with 1.
double EllipseValue(int x, int y, double rx, double ry) {
  const double dx = (x - 50) / rx, dy = (y - 50) / ry;
  return dx * dx + dy * dy;
}

TEST(Shapes, EllipseOutlineLeavesTheInsideUntouched) {
  ObjectHolder obj;
  WhitePenCanvas(obj, 100, 100);
  ASSERT_EQ(obj->DrawEllipse(50, 50, 40, 30), S_OK);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) {
      const int p = test::Raw(obj, x, y);
      if (EllipseValue(x, y, 18, 13) < 1) {
        EXPECT_EQ(p, 0) << x << "," << y;
      }
      if (EllipseValue(x, y, 22, 17) > 1) {
        EXPECT_EQ(p, 0) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(test::Raw(obj, 70, 50), kWhite);
  EXPECT_EQ(test::Raw(obj, 30, 50), kWhite);
  EXPECT_EQ(test::Raw(obj, 50, 65), kWhite);
  EXPECT_EQ(test::Raw(obj, 50, 35), kWhite);
}

TEST(Shapes, FilledEllipseCoversTheInside) {
  ObjectHolder obj;
  WhitePenCanvas(obj, 100, 100);
  ASSERT_EQ(obj->DrawFilledEllipse(50, 50, 40, 30), S_OK);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) {
      const int p = test::Raw(obj, x, y);
      if (EllipseValue(x, y, 19, 14) <= 1) {
        EXPECT_EQ(p, kWhite) << x << "," << y;
      }
      if (EllipseValue(x, y, 21, 16) > 1) {
        EXPECT_EQ(p, 0) << x << "," << y;
      }
    }
  }
}

TEST(LineThickness, RangeAndRecord) {
  ObjectHolder obj;
  INT w = -1;
  EXPECT_EQ(obj->GetLineThickness(&w), S_OK);
  EXPECT_EQ(w, 1);
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ExpectRefused([&] { return obj->SetLineThickness(101); });
  ExpectRefused([&] { return obj->SetLineThickness(-1); });
  EXPECT_EQ(obj->lineThickness, 1);
  EXPECT_EQ(obj->SetLineThickness(0), S_OK);
  EXPECT_EQ(Current(obj)->thick, 0);
  EXPECT_EQ(obj->SetLineThickness(100), S_OK);
  EXPECT_EQ(Current(obj)->thick, 100);
  EXPECT_EQ(obj->GetLineThickness(&w), S_OK);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(obj->GetLineThickness(nullptr), E_POINTER);
}

TEST(LineThickness, RecordIsKeptWithoutAnImage) {
  ObjectHolder obj;
  ExpectNoImage(obj->SetLineThickness(7));
  INT w = -1;
  EXPECT_EQ(obj->GetLineThickness(&w), S_OK);
  EXPECT_EQ(w, 7);
}

TEST(LineThickness, AnotherImageKeepsItsOwnThickness) {
  ObjectHolder obj;
  WhitePenCanvas(obj, 20, 20);
  ASSERT_EQ(obj->SetLineThickness(5), S_OK);
  ASSERT_EQ(obj->DrawLine(0, 10, 19, 10), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 5 * 20);
  ASSERT_EQ(obj->SetImage(1), S_OK);
  WhitePenCanvas(obj, 20, 20);
  INT w = -1;
  EXPECT_EQ(obj->GetLineThickness(&w), S_OK);
  EXPECT_EQ(w, 5);
  ASSERT_EQ(obj->DrawLine(0, 10, 19, 10), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 20);
}

}  // namespace
}  // namespace morphel
