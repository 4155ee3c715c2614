// The pen colour: resolution, the request record, getters, transparency,
// blending and the border colour.
#include <gtest/gtest.h>

#include "draw/draw_fixture.h"

namespace morphel {
namespace {

using test::ExpectNoImage;
using test::ExpectRefused;
using test::ObjectHolder;

struct PenChannels {
  INT r = -1, g = -1, b = -1, a = -1;
};

PenChannels ReadPen(const ObjectHolder &obj) {
  PenChannels pen;
  EXPECT_EQ(obj->GetColorRed(&pen.r), S_OK);
  EXPECT_EQ(obj->GetColorGreen(&pen.g), S_OK);
  EXPECT_EQ(obj->GetColorBlue(&pen.b), S_OK);
  EXPECT_EQ(obj->GetColorAlpha(&pen.a), S_OK);
  return pen;
}

INT ColorTotal(const ObjectHolder &obj) {
  INT total = -1;
  EXPECT_EQ(obj->GetColorTotal(&total), S_OK);
  return total;
}

INT Transparent(const ObjectHolder &obj) {
  INT value = -1;
  EXPECT_EQ(obj->GetTransparent(&value), S_OK);
  return value;
}

TEST(PenColour, OutOfRangeChannelsAreRefusedBeforeTheImageCheck) {
  ObjectHolder obj;
  obj->penColor = 42;
  ExpectRefused([&] { return obj->SetColor(256, 0, 0); });
  ExpectRefused([&] { return obj->SetColor(0, -1, 0); });
  ExpectRefused([&] { return obj->SetAlphaColor(0, 0, 0, 128); });
  ExpectRefused([&] { return obj->SetAlphaColor(0, 0, 256, 0); });
  ExpectRefused([&] { return obj->SetColorByIndex(-1); });
  EXPECT_EQ(obj->penColor, 42);
  ASSERT_EQ(obj->CreateImage(4, 4), S_OK);
  ExpectRefused([&] { return obj->SetColor(0, 0, 256); });
  ExpectRefused([&] { return obj->SetAlphaColor(0, 0, 0, -1); });
  EXPECT_EQ(obj->penColor, 42);
  EXPECT_EQ(obj->penRed, 0);
}

TEST(PenColour, EmptySlotFailsWithNoImage) {
  ObjectHolder obj;
  INT value;
  ExpectNoImage(obj->SetColor(1, 2, 3));
  ExpectNoImage(obj->SetAlphaColor(1, 2, 3, 4));
  ExpectNoImage(obj->SetColorByIndex(0));
  ExpectNoImage(obj->GetColorRed(&value));
  ExpectNoImage(obj->GetColorGreen(&value));
  ExpectNoImage(obj->GetColorBlue(&value));
  ExpectNoImage(obj->GetColorAlpha(&value));
  ExpectNoImage(obj->GetColorTotal(&value));
  ExpectNoImage(obj->SetTransparent(1));
  ExpectNoImage(obj->GetTransparent(&value));
  ExpectNoImage(obj->SetAlphaBlending(1));
  EXPECT_EQ(obj->penRed, 0);
}

TEST(PenColour, NullResultPointersAreRefused) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(4, 4), S_OK);
  EXPECT_EQ(obj->GetColorRed(nullptr), E_POINTER);
  EXPECT_EQ(obj->GetColorGreen(nullptr), E_POINTER);
  EXPECT_EQ(obj->GetColorBlue(nullptr), E_POINTER);
  EXPECT_EQ(obj->GetColorAlpha(nullptr), E_POINTER);
  EXPECT_EQ(obj->GetColorTotal(nullptr), E_POINTER);
  EXPECT_EQ(obj->GetTransparent(nullptr), E_POINTER);
}

TEST(PenColour, SameColourTwiceTakesTwoPaletteEntries) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  EXPECT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->penColor, 0);
  EXPECT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->penColor, 1);
  EXPECT_EQ(ColorTotal(obj), 2);
  PenChannels pen = ReadPen(obj);
  EXPECT_EQ(pen.r, 255);
  EXPECT_EQ(pen.g, 0);
  EXPECT_EQ(pen.a, 0);
}

TEST(PenColour, FullPaletteFallsBackToTheNearestEntry) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(obj->SetColor(i, i, i), S_OK);
  ASSERT_EQ(ColorTotal(obj), 256);
  // (100, 110, 90): the grey with the least squared distance is 100.
  EXPECT_EQ(obj->SetColor(100, 110, 90), S_OK);
  EXPECT_EQ(obj->penColor, 100);
  EXPECT_EQ(ColorTotal(obj), 256);
  PenChannels pen = ReadPen(obj);
  EXPECT_EQ(pen.r, 100);
  EXPECT_EQ(pen.g, 100);
  EXPECT_EQ(pen.b, 100);
  // The record keeps the request.
  EXPECT_EQ(obj->penRed, 100);
  EXPECT_EQ(obj->penGreen, 110);
  EXPECT_EQ(obj->penBlue, 90);
}

TEST(PenColour, NearestEntryTieGoesToTheLowestIndex) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(obj->SetColor(i % 2 == 0 ? 10 : 30, 0, 0), S_OK);
  EXPECT_EQ(obj->SetColor(20, 0, 0), S_OK);  // 10 and 30 are equally near
  EXPECT_EQ(obj->penColor, 0);
}

TEST(PenColour, TrueColourPackedValues) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  EXPECT_EQ(obj->SetAlphaColor(255, 0, 0, 127), S_OK);
  EXPECT_EQ(static_cast<unsigned>(obj->penColor), 0x7FFF0000u);
  EXPECT_EQ(ReadPen(obj).a, 127);
  EXPECT_EQ(obj->penAlpha, 127);
  EXPECT_EQ(obj->SetColor(1, 2, 3), S_OK);
  EXPECT_EQ(obj->penColor, 0x00010203);
  PenChannels pen = ReadPen(obj);
  EXPECT_EQ(pen.r, 1);
  EXPECT_EQ(pen.g, 2);
  EXPECT_EQ(pen.b, 3);
  EXPECT_EQ(pen.a, 0);
  EXPECT_EQ(obj->penAlpha, 0);
  EXPECT_EQ(ColorTotal(obj), 0);
}

TEST(PenColour, ColorByIndexBounds) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(1, 2, 3), S_OK);
  ASSERT_EQ(obj->SetColor(4, 5, 6), S_OK);
  obj->penColor = 1;
  ExpectRefused([&] { return obj->SetColorByIndex(2); });
  EXPECT_EQ(obj->penColor, 1);
  EXPECT_EQ(ColorTotal(obj), 2);
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ExpectRefused([&] { return obj->SetColorByIndex(0); });
  ExpectRefused([&] { return obj->SetColorByIndex(255); });
}

TEST(PenColour, ColorByIndexAddsAnEqualEntryWhileThereIsRoom) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetAlphaColor(10, 20, 30, 40), S_OK);
  ASSERT_EQ(obj->SetColor(0, 0, 0), S_OK);
  EXPECT_EQ(obj->SetColorByIndex(0), S_OK);
  EXPECT_EQ(obj->penColor, 2);
  EXPECT_EQ(ColorTotal(obj), 3);
  PenChannels pen = ReadPen(obj);
  EXPECT_EQ(pen.r, 10);
  EXPECT_EQ(pen.g, 20);
  EXPECT_EQ(pen.b, 30);
  EXPECT_EQ(pen.a, 40);
  EXPECT_EQ(obj->penAlpha, 40);
}

TEST(PenColour, ColorByIndexOnAFullPaletteNamesTheLowestEqualEntry) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(obj->SetColor(i % 100, 0, 0), S_OK);
  EXPECT_EQ(obj->SetColorByIndex(250), S_OK);  // red 50, as entries 50 and 150
  EXPECT_EQ(obj->penColor, 50);
  EXPECT_EQ(ColorTotal(obj), 256);
}

TEST(PenColour, PaletteGettersReadNothingOutsideThePalette) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ASSERT_EQ(obj->SetAlphaColor(200, 100, 50, 20), S_OK);
  ASSERT_EQ(obj->SetImage(1), S_OK);
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(9, 9, 9), S_OK);
  obj->penColor = 0x14C86432;  // the true colour resolved on slot 0
  PenChannels pen = ReadPen(obj);
  EXPECT_EQ(pen.r, 0);
  EXPECT_EQ(pen.g, 0);
  EXPECT_EQ(pen.b, 0);
  EXPECT_EQ(pen.a, 0);
  obj->penColor = -1;  // after "NO COLOR!"
  EXPECT_EQ(ReadPen(obj).r, 0);
  obj->penColor = 1;  // an index past the colours allocated
  EXPECT_EQ(ReadPen(obj).r, 0);
  obj->penColor = 0;
  EXPECT_EQ(ReadPen(obj).r, 9);
}

TEST(PenColour, PenNumberIsKeptAcrossImagesOfTheOtherKind) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(0, 0, 7), S_OK);
  ASSERT_EQ(obj->SetImage(1), S_OK);
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  EXPECT_EQ(obj->penColor, 7);
  EXPECT_EQ(obj->SetPixel(2, 2), S_OK);
  EXPECT_EQ(test::Raw(obj, 2, 2), 7);
}

TEST(Transparency, SetAndClearOnBothKinds) {
  for (bool palette : {false, true}) {
    ObjectHolder obj;
    ASSERT_EQ(palette ? obj->CreateImagePalette(10, 10) : obj->CreateImage(10, 10), S_OK);
    ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
    EXPECT_EQ(Transparent(obj), 0);
    EXPECT_EQ(obj->SetTransparent(1), S_OK);
    EXPECT_EQ(Transparent(obj), 1);
    EXPECT_EQ(obj->SetTransparent(0), S_OK);
    EXPECT_EQ(Transparent(obj), 0);
  }
}

TEST(Transparency, PackedValue257CountsAsNone) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(0, 1, 1), S_OK);
  ASSERT_EQ(obj->penColor, 257);
  EXPECT_EQ(obj->SetTransparent(1), S_OK);
  EXPECT_EQ(gdImageGetTransparent(test::Current(obj)), 257);
  EXPECT_EQ(Transparent(obj), 0);
}

TEST(Transparency, TransparentPaletteEntryReportsAlpha127) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(0, 255, 0), S_OK);
  ASSERT_EQ(obj->SetTransparent(1), S_OK);
  EXPECT_EQ(ReadPen(obj).a, 127);
}

// The library's own call writes in front of the alpha table (the image's line
// thickness) when no colour was transparent, and leaves the old entry
// transparent when clearing; the component keeps both right.
TEST(Transparency, PaletteTransparencyKeepsThicknessAndRestoresTheOldEntry) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetLineThickness(5), S_OK);
  ASSERT_EQ(obj->SetColor(0, 255, 0), S_OK);
  ASSERT_EQ(obj->SetTransparent(1), S_OK);
  gdImagePtr im = test::Current(obj);
  EXPECT_EQ(im->thick, 5);
  EXPECT_EQ(im->alpha[0], 127);
  ASSERT_EQ(obj->SetColor(0, 0, 255), S_OK);
  ASSERT_EQ(obj->SetTransparent(1), S_OK);
  EXPECT_EQ(im->alpha[0], 0);
  EXPECT_EQ(im->alpha[1], 127);
  EXPECT_EQ(im->transparent, 1);
  ASSERT_EQ(obj->SetTransparent(0), S_OK);
  EXPECT_EQ(im->alpha[1], 0);
  EXPECT_EQ(im->transparent, -1);
  EXPECT_EQ(ReadPen(obj).a, 0);
  EXPECT_EQ(im->thick, 5);
}

TEST(Transparency, PaletteIgnoresAPenThatIsNoEntry) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(0, 255, 0), S_OK);
  ASSERT_EQ(obj->SetTransparent(1), S_OK);
  obj->penColor = 0x00FF0000;
  EXPECT_EQ(obj->SetTransparent(1), S_OK);
  EXPECT_EQ(test::Current(obj)->transparent, 0);
  EXPECT_EQ(Transparent(obj), 1);
}

TEST(AlphaBlending, SwitchesTheImageFlag) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  EXPECT_EQ(test::Current(obj)->alphaBlendingFlag, 0);
  EXPECT_EQ(obj->SetAlphaBlending(7), S_OK);
  EXPECT_EQ(test::Current(obj)->alphaBlendingFlag, 1);
  EXPECT_EQ(obj->SetAlphaBlending(0), S_OK);
  EXPECT_EQ(test::Current(obj)->alphaBlendingFlag, 0);
}

TEST(BorderColour, CopiesThePenWithoutAnImage) {
  ObjectHolder obj;
  obj->penColor = 1234;
  test::ClearErrorInfo();
  EXPECT_EQ(obj->SetBorderColor(), S_OK);
  EXPECT_EQ(obj->borderColor, 1234);
  EXPECT_FALSE(test::TakeErrorInfo().present);
}

}  // namespace
}  // namespace morphel
