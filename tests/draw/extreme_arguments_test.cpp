// Arguments at the ends of the int range: every operation returns at once and
// paints inside the image only.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "draw/draw_fixture.h"

namespace morphel {
namespace {

using test::ObjectHolder;

const int kEnds[] = {INT_MIN, INT_MIN + 1, -1000000000, -1, 0, 50, 1000000000, INT_MAX - 1,
                     INT_MAX};

class ExtremeArguments : public ::testing::TestWithParam<bool> {};

TEST_P(ExtremeArguments, ShapesReturn) {
  ObjectHolder obj;
  ASSERT_EQ(GetParam() ? obj->CreateImagePalette(60, 40) : obj->CreateImage(60, 40), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  for (int thickness : {1, 7}) {
    ASSERT_EQ(obj->SetLineThickness(thickness), S_OK);
    for (int p : kEnds) {
      for (int q : kEnds) {
        EXPECT_EQ(obj->DrawLine(p, q, q, p), S_OK);
        EXPECT_EQ(obj->DrawRectangle(p, q, q, p), S_OK);
        EXPECT_EQ(obj->DrawFilledRectangle(p, q, q, p), S_OK);
        EXPECT_EQ(obj->DrawEllipse(30, 20, p, q), S_OK);
        EXPECT_EQ(obj->DrawEllipse(p, q, 10, 10), S_OK);
        EXPECT_EQ(obj->DrawFilledEllipse(30, 20, p, q), S_OK);
        EXPECT_EQ(obj->DrawFilledEllipse(p, q, 10, 10), S_OK);
        EXPECT_EQ(obj->DrawArc(30, 20, p, q, p, q), S_OK);
        EXPECT_EQ(obj->DrawFilledArc(30, 20, p, q, q, p), S_OK);
        EXPECT_EQ(obj->DrawFilledArc(p, q, 20, 20, 0, 300), S_OK);
        EXPECT_EQ(obj->SetPixel(p, q), S_OK);
        EXPECT_EQ(obj->Fill(p, q), S_OK);
        EXPECT_EQ(obj->FillToBorder(p, q), S_OK);
        EXPECT_EQ(obj->DrawTextAngle(p, q, p, nullptr), S_OK);
      }
    }
  }
}

TEST_P(ExtremeArguments, PolygonsAndTextReturn) {
  ObjectHolder obj;
  ASSERT_EQ(GetParam() ? obj->CreateImagePalette(60, 40) : obj->CreateImage(60, 40), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  test::Bstr text("xyz");
  for (int p : kEnds) {
    for (int q : kEnds) {
      SAFEARRAY *array = SafeArrayCreateVector(VT_I4, 0, 8);
      const LONG values[8] = {p, q, q, p, 30, 20, p, p};
      for (LONG i = 0; i < 8; ++i) SafeArrayPutElement(array, &i, const_cast<LONG *>(&values[i]));
      VARIANT arg;
      VariantInit(&arg);
      V_VT(&arg) = VT_ARRAY | VT_I4;
      V_ARRAY(&arg) = array;
      EXPECT_EQ(obj->DrawPolygon(&arg, 8), S_OK);
      EXPECT_EQ(obj->DrawFilledPolygon(&arg, 8), S_OK);
      SafeArrayDestroy(array);
      EXPECT_EQ(obj->DrawText(p, q, text.get()), S_OK);
      EXPECT_EQ(obj->DrawTextAngle(p, q, q, text.get()), S_OK);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothKinds, ExtremeArguments, ::testing::Values(false, true));

}  // namespace
}  // namespace morphel
