// Format code, JPEG quality, interlace flag and the save-alpha switch.
#include "io_fixture.h"

namespace morphel::io_test {
namespace {

class OutputSettings : public IoTest {};

TEST_F(OutputSettings, ImageTypeTakesOnlyTheFiveCodes) {
  INT code = -9;
  ASSERT_EQ(obj()->GetImageType(&code), S_OK);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(obj()->SetImageType(3), S_OK);
  EXPECT_EQ(obj()->SetImageType(5), E_INVALIDARG);
  EXPECT_EQ(obj()->SetImageType(-1), E_INVALIDARG);
  EXPECT_EQ(TakeErrorText(), "");
  ASSERT_EQ(obj()->GetImageType(&code), S_OK);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(obj()->SetImageType(4), S_OK);
  ASSERT_EQ(obj()->GetImageType(&code), S_OK);
  EXPECT_EQ(code, 4);
}

TEST_F(OutputSettings, JpegQualityRangesFromMinusOneToHundred) {
  INT quality = 0;
  ASSERT_EQ(obj()->GetJpegQuality(&quality), S_OK);
  EXPECT_EQ(quality, -1);
  EXPECT_EQ(obj()->SetJpegQuality(0), S_OK);
  EXPECT_EQ(obj()->SetJpegQuality(101), E_INVALIDARG);
  EXPECT_EQ(obj()->SetJpegQuality(-2), E_INVALIDARG);
  ASSERT_EQ(obj()->GetJpegQuality(&quality), S_OK);
  EXPECT_EQ(quality, 0);
  EXPECT_EQ(obj()->SetJpegQuality(-1), S_OK);
  EXPECT_EQ(obj()->SetJpegQuality(100), S_OK);
  ASSERT_EQ(obj()->GetJpegQuality(&quality), S_OK);
  EXPECT_EQ(quality, 100);
}

TEST_F(OutputSettings, NullResultPointersAreRefused) {
  EXPECT_EQ(obj()->GetImageType(nullptr), E_POINTER);
  EXPECT_EQ(obj()->GetJpegQuality(nullptr), E_POINTER);
  EXPECT_EQ(obj()->GetInterlace(nullptr), E_POINTER);
  EXPECT_EQ(obj()->WriteToVariable(nullptr), E_POINTER);
  EXPECT_EQ(obj()->WriteToVariableVariant(nullptr), E_POINTER);
}

TEST_F(OutputSettings, InterlaceRangeIsCheckedBeforeTheImage) {
  EXPECT_EQ(obj()->SetInterlace(2), E_INVALIDARG);
  EXPECT_EQ(obj()->SetInterlace(-1), E_INVALIDARG);
  EXPECT_EQ(TakeErrorText(), "");
  EXPECT_EQ(obj()->SetInterlace(1), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  INT flag = 7;
  EXPECT_EQ(obj()->GetInterlace(&flag), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
}

TEST_F(OutputSettings, InterlaceFlagBelongsToEachImage) {
  ASSERT_EQ(obj()->CreateImage(2, 2), S_OK);
  ASSERT_EQ(obj()->SetImage(1), S_OK);
  ASSERT_EQ(obj()->CreateImage(2, 2), S_OK);
  ASSERT_EQ(obj()->SetImage(0), S_OK);
  INT flag = 7;
  ASSERT_EQ(obj()->GetInterlace(&flag), S_OK);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(obj()->SetInterlace(1), S_OK);
  ASSERT_EQ(obj()->GetInterlace(&flag), S_OK);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(obj()->SetImage(1), S_OK);
  ASSERT_EQ(obj()->GetInterlace(&flag), S_OK);
  EXPECT_EQ(flag, 0);
  ASSERT_EQ(obj()->SetImage(0), S_OK);
  ASSERT_EQ(obj()->CreateImage(2, 2), S_OK);
  ASSERT_EQ(obj()->GetInterlace(&flag), S_OK);
  EXPECT_EQ(flag, 0);
}

TEST_F(OutputSettings, InterlacedImagesAreWrittenInterlaced) {
  MakePatterned(16, 16);
  ASSERT_EQ(obj()->SetInterlace(1), S_OK);
  Bytes png = WriteBytes(kFormatPng);
  ASSERT_GT(png.size(), 29u);
  EXPECT_EQ(png[28], 1);  // IHDR interlace method: Adam7
  ASSERT_EQ(ReadBytes(kFormatPng, png), S_OK);
  INT flag = 0;
  ASSERT_EQ(obj()->GetInterlace(&flag), S_OK);
  EXPECT_EQ(flag, 1);
}

TEST_F(OutputSettings, InterlacedJpegIsProgressive) {
  MakePatterned(16, 16);
  ASSERT_EQ(obj()->SetInterlace(1), S_OK);
  Bytes jpeg = WriteBytes(kFormatJpeg);
  bool progressiveFrame = false;
  for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC2) progressiveFrame = true;
  }
  EXPECT_TRUE(progressiveFrame);
  ASSERT_EQ(ReadBytes(kFormatJpeg, jpeg), S_OK);
}

TEST_F(OutputSettings, SaveAlphaNeedsNoImageAndStoresZeroOrOne) {
  EXPECT_EQ(obj()->SetSaveAlpha(5), S_OK);
  EXPECT_EQ(obj()->saveAlphaOnWrite, 1);
  EXPECT_EQ(obj()->SetSaveAlpha(0), S_OK);
  EXPECT_EQ(obj()->saveAlphaOnWrite, 0);
  EXPECT_EQ(obj()->SetSaveAlpha(-3), S_OK);
  EXPECT_EQ(obj()->saveAlphaOnWrite, 1);
}

// PNG colour type (IHDR byte 25): 6 with an alpha channel, 2 without.
TEST_F(OutputSettings, SaveAlphaSwitchedOffStaysOffOnThatImage) {
  ASSERT_EQ(obj()->CreateImage(2, 2), S_OK);
  gdImageSetPixel(obj()->CurrentImage(), 0, 0, gdTrueColorAlpha(10, 20, 30, 64));
  EXPECT_EQ(WriteBytes(kFormatPng)[25], 6);
  ASSERT_EQ(obj()->SetSaveAlpha(0), S_OK);
  EXPECT_EQ(obj()->CurrentImage()->saveAlphaFlag, 1);  // nothing changes before a write
  EXPECT_EQ(WriteBytes(kFormatPng)[25], 2);
  ASSERT_EQ(obj()->SetSaveAlpha(1), S_OK);
  EXPECT_EQ(WriteBytes(kFormatPng)[25], 2);
  ASSERT_EQ(obj()->CreateImage(2, 2), S_OK);
  EXPECT_EQ(WriteBytes(kFormatPng)[25], 6);
}

TEST_F(OutputSettings, TranslucentPixelsKeepTheirAlphaThroughPng) {
  ASSERT_EQ(obj()->CreateImage(2, 1), S_OK);
  gdImageSetPixel(obj()->CurrentImage(), 0, 0, gdTrueColorAlpha(10, 20, 30, 64));
  ASSERT_EQ(ReadBytes(kFormatPng, WriteBytes(kFormatPng)), S_OK);
  EXPECT_EQ(gdImageGetTrueColorPixel(obj()->CurrentImage(), 0, 0), gdTrueColorAlpha(10, 20, 30, 64));
}

}  // namespace
}  // namespace morphel::io_test
