// Further rules of the BMP reader, the GIF copy of a true-colour image and the
// WBMP foreground, checked byte by byte.
#include "io_fixture.h"

namespace morphel::io_test {
namespace {

class CodecRules : public IoTest {};

Bytes Entry(int r, int g, int b) {
  return {static_cast<unsigned char>(b), static_cast<unsigned char>(g),
          static_cast<unsigned char>(r), 0};
}

// A 24-bit file has no colour table, whatever its colours-used field says.
TEST_F(CodecRules, TwentyFourBitFileReadsNoColourTable) {
  Bytes file = BmpHeaders(BmpLayout{1, 1, 24, 0, 7, 54});
  Append(&file, {0x30, 0x20, 0x10, 0});
  ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK);
  EXPECT_EQ(RgbAt(obj()->CurrentImage(), 0, 0), 0x102030);
}

// Each 1-bit row takes one byte and three padding bytes, whatever they hold.
TEST_F(CodecRules, OneBitRowsArePaddedToFourBytes) {
  Bytes file = BmpHeaders(BmpLayout{2, 2, 1, 0, 0, 62});
  Append(&file, Entry(10, 20, 30));
  Append(&file, Entry(200, 210, 220));
  Append(&file, {0x40, 0xFF, 0xFF, 0xFF});  // bottom row: entries 0, 1
  Append(&file, {0x80, 0xFF, 0xFF, 0xFF});  // top row: entries 1, 0
  ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  EXPECT_EQ(RgbAt(im, 0, 0), 0xC8D2DC);
  EXPECT_EQ(RgbAt(im, 1, 0), 0x0A141E);
  EXPECT_EQ(RgbAt(im, 0, 1), 0x0A141E);
  EXPECT_EQ(RgbAt(im, 1, 1), 0xC8D2DC);
}

// Bytes between the colour table and the pixel array are skipped.
TEST_F(CodecRules, PaletteFileSkipsUpToThePixelArray) {
  Bytes file = BmpHeaders(BmpLayout{1, 1, 8, 0, 2, 70});
  Append(&file, Entry(1, 2, 3));
  Append(&file, Entry(4, 5, 6));
  Append(&file, Bytes(8, 0));
  Append(&file, {1, 0, 0, 0});
  ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK);
  EXPECT_EQ(RgbAt(obj()->CurrentImage(), 0, 0), 0x040506);
}

// A pixel array that would start inside the colour table is refused.
TEST_F(CodecRules, PixelArrayInsideTheColourTableGivesNoImage) {
  MakePatterned(1, 1);
  Bytes file = BmpHeaders(BmpLayout{1, 1, 8, 0, 2, 58});
  Append(&file, Entry(1, 2, 3));
  Append(&file, Entry(4, 5, 6));
  Append(&file, {1, 0, 0, 0});
  EXPECT_EQ(ReadBytes(kFormatBmp, file), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_EQ(obj()->CurrentImage(), nullptr);
}

// The temporary copy written as GIF has no transparent colour; the slot image
// keeps its own.
TEST_F(CodecRules, TrueColourGifCarriesNoTransparentColour) {
  ASSERT_EQ(obj()->CreateImage(2, 1), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  gdImageSetPixel(im, 0, 0, gdTrueColor(200, 10, 10));
  gdImageSetPixel(im, 1, 0, gdTrueColor(10, 200, 10));
  gdImageColorTransparent(im, gdTrueColor(10, 200, 10));
  Bytes gif = WriteBytes(kFormatGif);
  EXPECT_EQ(gdImageGetTransparent(im), gdTrueColor(10, 200, 10));
  ASSERT_EQ(obj()->SetImage(1), S_OK);
  ASSERT_EQ(ReadBytes(kFormatGif, gif), S_OK);
  EXPECT_EQ(gdImageGetTransparent(obj()->CurrentImage()), -1);
}

// On a palette image the foreground is the palette index of the pen colour.
TEST_F(CodecRules, PaletteWbmpForegroundIsThePenIndex) {
  ASSERT_EQ(obj()->CreateImagePalette(8, 1), S_OK);
  ASSERT_EQ(obj()->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj()->SetColor(0, 0, 0), S_OK);
  ASSERT_EQ(obj()->penColor, 1);
  gdImageSetPixel(obj()->CurrentImage(), 3, 0, 1);
  EXPECT_EQ(WriteBytes(kFormatWbmp), (Bytes{0, 0, 8, 1, 0xEF}));
}

// A decoded image starts with line thickness 1, also a GIF with a transparent
// colour (the library hands that one back with thickness 0).
TEST_F(CodecRules, DecodedGifWithTransparencyStartsWithThicknessOne) {
  ASSERT_EQ(obj()->CreateImagePalette(4, 4), S_OK);
  ASSERT_EQ(obj()->SetColor(0, 0, 0), S_OK);
  ASSERT_EQ(obj()->SetColor(255, 0, 0), S_OK);
  ASSERT_EQ(obj()->SetTransparent(1), S_OK);
  Bytes gif = WriteBytes(kFormatGif);
  ASSERT_EQ(ReadBytes(kFormatGif, gif), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  EXPECT_NE(gdImageGetTransparent(im), -1);
  EXPECT_EQ(im->thick, 1);
}

// A string of odd byte length is read whole.
TEST_F(CodecRules, OddLengthStringReadsBack) {
  ASSERT_EQ(ReadBytes(kFormatWbmp, Bytes{0, 0, 8, 1, 0x7F}), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  ASSERT_EQ(gdImageSX(im), 8);
  EXPECT_EQ(gdImageRed(im, gdImageGetPixel(im, 0, 0)), 0);
  EXPECT_EQ(gdImageRed(im, gdImageGetPixel(im, 1, 0)), 255);
}

}  // namespace
}  // namespace morphel::io_test
