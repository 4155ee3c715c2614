// Painting and reading single pixels.
#include <gtest/gtest.h>

#include "draw/draw_fixture.h"

namespace morphel {
namespace {

using test::ExpectNoImage;
using test::ObjectHolder;

struct PixelChannels {
  INT r = -1, g = -1, b = -1, a = -1;
};

PixelChannels ReadPixel(const ObjectHolder &obj, int x, int y) {
  PixelChannels p;
  EXPECT_EQ(obj->GetPixelRed(x, y, &p.r), S_OK);
  EXPECT_EQ(obj->GetPixelGreen(x, y, &p.g), S_OK);
  EXPECT_EQ(obj->GetPixelBlue(x, y, &p.b), S_OK);
  EXPECT_EQ(obj->GetPixelAlpha(x, y, &p.a), S_OK);
  return p;
}

TEST(Pixels, PenColourWithAlphaReadsBackChannelByChannel) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ASSERT_EQ(obj->SetAlphaColor(10, 20, 30, 40), S_OK);
  EXPECT_EQ(obj->SetPixel(3, 4), S_OK);
  PixelChannels p = ReadPixel(obj, 3, 4);
  EXPECT_EQ(p.r, 10);
  EXPECT_EQ(p.g, 20);
  EXPECT_EQ(p.b, 30);
  EXPECT_EQ(p.a, 40);
  EXPECT_EQ(test::CountPainted(test::Current(obj)), 1);
}

TEST(Pixels, BlendingWithAFullyTransparentPenLeavesThePixel) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ASSERT_EQ(obj->SetAlphaColor(16, 32, 48, 32), S_OK);
  ASSERT_EQ(obj->SetPixel(1, 1), S_OK);
  ASSERT_EQ(obj->SetAlphaBlending(1), S_OK);
  ASSERT_EQ(obj->SetAlphaColor(255, 255, 255, 127), S_OK);
  EXPECT_EQ(obj->SetPixel(1, 1), S_OK);
  EXPECT_EQ(test::Raw(obj, 1, 1), 0x20102030);
}

TEST(Pixels, OutsideTheImageReadsValueZero) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj->DrawFilledRectangle(0, 0, 9, 9), S_OK);
  PixelChannels p = ReadPixel(obj, -1, 0);
  EXPECT_EQ(p.r, 0);
  EXPECT_EQ(p.a, 0);
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  ASSERT_EQ(obj->SetColor(0, 0, 255), S_OK);
  ASSERT_EQ(obj->DrawFilledRectangle(0, 0, 9, 9), S_OK);
  p = ReadPixel(obj, -1, 0);
  EXPECT_EQ(p.r, 255);
  EXPECT_EQ(p.b, 0);
  EXPECT_EQ(p.a, 0);
}

TEST(Pixels, OutsideAPaletteImageWithEntryZeroTransparentReadsAlpha127) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  ASSERT_EQ(obj->SetTransparent(1), S_OK);
  EXPECT_EQ(ReadPixel(obj, 10, 0).a, 127);
  EXPECT_EQ(ReadPixel(obj, 10, 0).r, 255);
}

TEST(Pixels, OnePastTheLastPixelPaintsNothing) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  EXPECT_EQ(obj->SetPixel(10, 10), S_OK);
  EXPECT_EQ(obj->SetPixel(-1, 3), S_OK);
  EXPECT_EQ(test::CountPainted(test::Current(obj)), 0);
}

// The library's true-colour read of a palette pixel reports the entry's stored
// alpha; the component reports 0, or 127 for the transparent index.
TEST(Pixels, PaletteAlphaComesOnlyFromTheTransparentIndex) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj->SetAlphaColor(0, 0, 0, 64), S_OK);
  ASSERT_EQ(obj->SetPixel(5, 5), S_OK);
  ASSERT_EQ(gdImageGetTrueColorPixel(test::Current(obj), 5, 5) >> 24, 64);  // the library's view
  EXPECT_EQ(ReadPixel(obj, 5, 5).a, 0);
  ASSERT_EQ(obj->SetTransparent(1), S_OK);
  EXPECT_EQ(ReadPixel(obj, 5, 5).a, 127);
  EXPECT_EQ(ReadPixel(obj, 4, 5).a, 0);
  EXPECT_EQ(ReadPixel(obj, 4, 5).r, 255);
}

TEST(Pixels, EmptySlotFailsWithNoImage) {
  ObjectHolder obj;
  INT value = 5;
  ExpectNoImage(obj->SetPixel(0, 0));
  ExpectNoImage(obj->GetPixelRed(0, 0, &value));
  ExpectNoImage(obj->GetPixelGreen(0, 0, &value));
  ExpectNoImage(obj->GetPixelBlue(0, 0, &value));
  ExpectNoImage(obj->GetPixelAlpha(0, 0, &value));
  EXPECT_EQ(value, 5);
}

TEST(Pixels, NullResultPointersAreRefused) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(4, 4), S_OK);
  EXPECT_EQ(obj->GetPixelRed(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(obj->GetPixelGreen(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(obj->GetPixelBlue(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(obj->GetPixelAlpha(0, 0, nullptr), E_POINTER);
}

}  // namespace
}  // namespace morphel
