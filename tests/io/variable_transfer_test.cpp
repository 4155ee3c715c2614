// Images to and from byte strings and arrays of one-byte variants, and the
// two-pass collection behind them.
#include <cmath>
#include <cstring>

#include "io/memory_channel_p.h"
#include "io_fixture.h"

namespace morphel::io_test {
namespace {

class VariableTransfer : public IoTest {
 protected:
  void ExpectSamePixels(gdImagePtr a, gdImagePtr b) {
    ASSERT_EQ(gdImageSX(a), gdImageSX(b));
    ASSERT_EQ(gdImageSY(a), gdImageSY(b));
    for (int y = 0; y < gdImageSY(a); ++y) {
      for (int x = 0; x < gdImageSX(a); ++x) {
        ASSERT_EQ(RgbAt(a, x, y), RgbAt(b, x, y)) << x << "," << y;
      }
    }
  }
};

TEST_F(VariableTransfer, StringHoldsExactlyTheEncodedFile) {
  MakePatterned(1, 1);
  Bytes png = WriteBytes(kFormatPng);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10}));
  EXPECT_EQ(Bytes(png.end() - 8, png.end()), (Bytes{'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
}

TEST_F(VariableTransfer, ExactRoundTripsForLosslessFormats) {
  const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {7, 5}, {8, 1}, {9, 2}, {301, 7}, {17, 33}};
  for (const auto &[w, h] : sizes) {
    for (int format : {kFormatPng, kFormatBmp, kFormatGif}) {
      ASSERT_EQ(obj()->SetImage(0), S_OK);
      gdImagePtr im = MakePatterned(w, h);
      if (format == kFormatGif) {
        // A palette image of at most 256 colours goes out as it is.
        ASSERT_EQ(obj()->CreateImagePalette(w, h), S_OK);
        im = obj()->CurrentImage();
        for (int i = 0; i < 256; ++i) gdImageColorAllocate(im, i, (i * 7) & 0xFF, 255 - i);
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) gdImageSetPixel(im, x, y, (x * 3 + y * 5) % 256);
        }
      }
      Bytes bytes = WriteBytes(format);
      ASSERT_EQ(obj()->SetImage(1), S_OK);
      ASSERT_EQ(ReadBytes(format, bytes), S_OK) << format;
      SCOPED_TRACE(testing::Message() << "format " << format << " " << w << "x" << h);
      ExpectSamePixels(obj()->slotImages[0], obj()->slotImages[1]);
    }
  }
}

TEST_F(VariableTransfer, WbmpRoundTripKeepsTheForeground) {
  for (const auto &[w, h] : {std::pair{1, 1}, std::pair{9, 3}, std::pair{301, 7}}) {
    ASSERT_EQ(obj()->CreateImage(w, h), S_OK);
    gdImagePtr im = obj()->CurrentImage();
    gdImageFilledRectangle(im, 0, 0, w - 1, h - 1, gdTrueColor(255, 255, 255));
    for (int x = 0; x < w; x += 3) gdImageSetPixel(im, x, x % h, 0);
    obj()->penColor = 0;
    Bytes bytes = WriteBytes(kFormatWbmp);
    ASSERT_EQ(obj()->SetImage(1), S_OK);
    ASSERT_EQ(ReadBytes(kFormatWbmp, bytes), S_OK);
    ExpectSamePixels(obj()->slotImages[0], obj()->slotImages[1]);
    ASSERT_EQ(obj()->SetImage(0), S_OK);
  }
}

TEST_F(VariableTransfer, WbmpForegroundIsThePenColour) {
  ASSERT_EQ(obj()->CreateImage(8, 1), S_OK);
  obj()->penColor = gdTrueColor(1, 2, 3);
  gdImageSetPixel(obj()->CurrentImage(), 0, 0, obj()->penColor);
  EXPECT_EQ(WriteBytes(kFormatWbmp), (Bytes{0, 0, 8, 1, 0x7F}));
}

TEST_F(VariableTransfer, JpegRoundTripIsClose) {
  ASSERT_EQ(obj()->CreateImage(33, 17), S_OK);
  gdImageFilledRectangle(obj()->CurrentImage(), 0, 0, 32, 16, gdTrueColor(200, 100, 50));
  ASSERT_EQ(obj()->SetJpegQuality(90), S_OK);
  ASSERT_EQ(ReadBytes(kFormatJpeg, WriteBytes(kFormatJpeg)), S_OK);
  gdImagePtr back = obj()->CurrentImage();
  ASSERT_EQ(gdImageSX(back), 33);
  ASSERT_EQ(gdImageSY(back), 17);
  int c = gdImageGetTrueColorPixel(back, 16, 8);
  EXPECT_LE(std::abs(gdTrueColorGetRed(c) - 200), 3);
  EXPECT_LE(std::abs(gdTrueColorGetGreen(c) - 100), 3);
  EXPECT_LE(std::abs(gdTrueColorGetBlue(c) - 50), 3);
  EXPECT_EQ(back->alphaBlendingFlag, 0);
  EXPECT_EQ(back->saveAlphaFlag, 1);
}

TEST_F(VariableTransfer, JpegQualityReachesTheEncoder) {
  MakePatterned(64, 64);
  ASSERT_EQ(obj()->SetJpegQuality(5), S_OK);
  size_t low = WriteBytes(kFormatJpeg).size();
  ASSERT_EQ(obj()->SetJpegQuality(100), S_OK);
  size_t high = WriteBytes(kFormatJpeg).size();
  EXPECT_LT(low * 2, high);
}

TEST_F(VariableTransfer, TrueColourGifIsReducedAndTheSlotImageKept) {
  MakePatterned(40, 40);  // more than 256 colours
  ASSERT_EQ(obj()->SetInterlace(1), S_OK);
  Bytes gif = WriteBytes(kFormatGif);
  EXPECT_TRUE(gdImageTrueColor(obj()->CurrentImage()));
  EXPECT_EQ(gdImageGetInterlaced(obj()->CurrentImage()), 1);
  ASSERT_EQ(ReadBytes(kFormatGif, gif), S_OK);
  gdImagePtr back = obj()->CurrentImage();
  EXPECT_FALSE(gdImageTrueColor(back));
  EXPECT_LE(gdImageColorsTotal(back), 256);
  EXPECT_EQ(gdImageGetInterlaced(back), 0);  // the copy carries no interlace flag
  for (int y = 0; y < 40; y += 13) {  // reduced, so close rather than equal
    for (int x = 0; x < 40; x += 7) {
      int was = PatternColour(x, y);
      int now = gdImageGetTrueColorPixel(back, x, y);
      EXPECT_LE(std::abs(gdTrueColorGetRed(was) - gdTrueColorGetRed(now)), 48);
      EXPECT_LE(std::abs(gdTrueColorGetGreen(was) - gdTrueColorGetGreen(now)), 48);
      EXPECT_LE(std::abs(gdTrueColorGetBlue(was) - gdTrueColorGetBlue(now)), 48);
    }
  }
}

TEST_F(VariableTransfer, PaletteGifKeepsItsInterlaceFlag) {
  ASSERT_EQ(obj()->CreateImagePalette(4, 4), S_OK);
  gdImageColorAllocate(obj()->CurrentImage(), 1, 2, 3);
  ASSERT_EQ(obj()->SetInterlace(1), S_OK);
  ASSERT_EQ(ReadBytes(kFormatGif, WriteBytes(kFormatGif)), S_OK);
  EXPECT_EQ(gdImageGetInterlaced(obj()->CurrentImage()), 1);
}

TEST_F(VariableTransfer, VariantArrayHoldsOneByteVariants) {
  MakePatterned(1, 1);
  Bytes png = WriteBytes(kFormatPng);
  VARIANT result;
  ASSERT_EQ(obj()->WriteToVariableVariant(&result), S_OK);
  ASSERT_EQ(V_VT(&result), 0x200C);
  SAFEARRAY *array = V_ARRAY(&result);
  EXPECT_EQ(SafeArrayGetDim(array), 1u);
  LONG lower = -1, upper = -1;
  ASSERT_EQ(SafeArrayGetLBound(array, 1, &lower), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(array, 1, &upper), S_OK);
  EXPECT_EQ(lower, 0);
  ASSERT_EQ(upper + 1, static_cast<LONG>(png.size()));
  for (LONG i = 0; i <= upper; ++i) {
    VARIANT element;
    VariantInit(&element);
    ASSERT_EQ(SafeArrayGetElement(array, &i, &element), S_OK);
    ASSERT_EQ(V_VT(&element), VT_UI1);
    ASSERT_EQ(V_UI1(&element), png[i]);
  }
  LONG first = 0;
  VARIANT element;
  VariantInit(&element);
  ASSERT_EQ(SafeArrayGetElement(array, &first, &element), S_OK);
  EXPECT_EQ(V_UI1(&element), 137);
  VariantClear(&result);
}

TEST_F(VariableTransfer, WritesWithoutImageFail) {
  BSTR text = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(obj()->WriteToVariable(&text), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_EQ(text, nullptr);
  VARIANT result;
  EXPECT_EQ(obj()->WriteToVariableVariant(&result), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
}

TEST_F(VariableTransfer, EmptyOrNullStringGivesNoImageAndEmptiesTheSlot) {
  MakePatterned(2, 2);
  BSTR none = nullptr;
  EXPECT_EQ(obj()->ReadFromVariable(&none), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_EQ(obj()->CurrentImage(), nullptr);
  MakePatterned(2, 2);
  EXPECT_EQ(ReadBytes(kFormatPng, Bytes{}), E_FAIL);
  EXPECT_EQ(obj()->CurrentImage(), nullptr);
  MakePatterned(2, 2);
  EXPECT_EQ(obj()->ReadFromVariable(nullptr), E_FAIL);
  EXPECT_EQ(obj()->CurrentImage(), nullptr);
}

TEST_F(VariableTransfer, PngBytesReadAsJpegGiveNoImage) {
  MakePatterned(3, 3);
  Bytes png = WriteBytes(kFormatPng);
  EXPECT_EQ(ReadBytes(kFormatJpeg, png), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_EQ(obj()->CurrentImage(), nullptr);
  for (int format : {kFormatGif, kFormatWbmp, kFormatBmp}) {
    EXPECT_EQ(ReadBytes(format, png), E_FAIL) << format;
  }
}

TEST_F(VariableTransfer, TruncatedBytesPerFormat) {
  MakePatterned(40, 30);
  Bytes png = WriteBytes(kFormatPng);
  png.resize(png.size() / 2);
  EXPECT_EQ(ReadBytes(kFormatPng, png), E_FAIL);
  MakePatterned(40, 30);
  Bytes jpeg = WriteBytes(kFormatJpeg);
  jpeg.resize(jpeg.size() / 2);
  EXPECT_EQ(ReadBytes(kFormatJpeg, jpeg), S_OK);  // the JPEG reader gives what it has
  EXPECT_EQ(gdImageSX(obj()->CurrentImage()), 40);
  jpeg.resize(10);
  EXPECT_EQ(ReadBytes(kFormatJpeg, jpeg), E_FAIL);
}

TEST_F(VariableTransfer, DecodedTrueColourImagesGetTheNewImageFlags) {
  MakePatterned(3, 3);
  for (int format : {kFormatPng, kFormatJpeg, kFormatBmp}) {
    ASSERT_EQ(obj()->SetImage(0), S_OK);
    Bytes bytes = WriteBytes(format);
    ASSERT_EQ(obj()->SetImage(1), S_OK);
    ASSERT_EQ(ReadBytes(format, bytes), S_OK);
    gdImagePtr back = obj()->CurrentImage();
    ASSERT_TRUE(gdImageTrueColor(back)) << format;
    EXPECT_EQ(back->alphaBlendingFlag, 0) << format;
    EXPECT_EQ(back->saveAlphaFlag, 1) << format;
  }
}

// A WBMP of w x 1 encodes as 2 header bytes, 3 bytes of width, 1 of height and
// w / 8 pixel bytes: exactly sized encodings around the first buffer, all in
// one pass.
TEST_F(VariableTransfer, FirstBufferBoundary) {
  for (int width : {399944, 399952, 399960}) {
    ASSERT_EQ(obj()->CreateImage(width, 1), S_OK);
    ASSERT_EQ(obj()->SetImageType(kFormatWbmp), S_OK);
    EncodedBytes encoded;
    ASSERT_EQ(CollectEncodedBytes(*obj(), obj()->CurrentImage(), &encoded), S_OK);
    EXPECT_EQ(encoded.bytes.size(), size_t(6 + width / 8));
    EXPECT_EQ(encoded.passes, 1) << width;
    Bytes bytes = WriteBytes(kFormatWbmp);
    EXPECT_EQ(bytes.size(), size_t(6 + width / 8));
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), Bytes(encoded.bytes.data(), encoded.bytes.data() + 6));
  }
}

TEST_F(VariableTransfer, GrownBufferGivesTheSameBytesAsOneBigBuffer) {
  MakePatterned(200, 100);  // BMP: 60054 bytes
  ASSERT_EQ(obj()->SetImageType(kFormatBmp), S_OK);
  EncodedBytes encoded;
  ASSERT_EQ(CollectEncodedBytes(*obj(), obj()->CurrentImage(), &encoded), S_OK);
  EXPECT_EQ(encoded.passes, 1);
  ASSERT_EQ(encoded.bytes.size(), 60054u);
  Bytes big(70000);
  MemorySink sink;
  sink.buffer = big.data();
  sink.capacity = static_cast<int64_t>(big.size());
  SinkContext ctx(&sink);
  EncodeImage(*obj(), obj()->CurrentImage(), ctx.get());
  ASSERT_EQ(sink.count, 60054);
  EXPECT_EQ(std::memcmp(big.data(), encoded.bytes.data(), 60054), 0);
}

TEST_F(VariableTransfer, SaveAlphaRuleAppliesToVariableWrites) {
  ASSERT_EQ(obj()->CreateImage(2, 2), S_OK);
  ASSERT_EQ(obj()->SetSaveAlpha(0), S_OK);
  WriteBytes(kFormatBmp);
  EXPECT_EQ(obj()->CurrentImage()->saveAlphaFlag, 0);
  ASSERT_EQ(obj()->SetSaveAlpha(1), S_OK);
  EXPECT_EQ(WriteBytes(kFormatPng)[25], 2);
}

TEST_F(VariableTransfer, EmptyEncodingIsAFailure) {
  ASSERT_EQ(obj()->CreateImagePalette(2, 2), S_OK);  // no colour: the PNG writer gives nothing
  ASSERT_EQ(obj()->SetImageType(kFormatPng), S_OK);
  BSTR text = nullptr;
  EXPECT_EQ(obj()->WriteToVariable(&text), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_EQ(text, nullptr);
}

// GIF keeps each side in 16 bits and JPEG allows 65500: wider images are not
// written as broken files.
TEST_F(VariableTransfer, ImagesWiderThanTheFormatAllowsAreRefused) {
  for (int format : {kFormatGif, kFormatJpeg}) {
    ASSERT_EQ(obj()->CreateImage(70000, 1), S_OK);
    ASSERT_EQ(obj()->SetImageType(format), S_OK);
    BSTR text = nullptr;
    EXPECT_EQ(obj()->WriteToVariable(&text), E_FAIL) << format;
    EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
    EXPECT_EQ(text, nullptr);
  }
  ASSERT_EQ(obj()->CreateImage(1, 65536), S_OK);
  ASSERT_EQ(obj()->SetImageType(kFormatGif), S_OK);
  VARIANT result;
  EXPECT_EQ(obj()->WriteToVariableVariant(&result), E_FAIL);
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
}

}  // namespace
}  // namespace morphel::io_test
