// Tiny inputs that claim huge images are refused before any decoder runs.
#include "io_fixture.h"

namespace morphel::io_test {
namespace {

class HostileSize : public IoTest {
 protected:
  void ExpectRefused(int format, const Bytes &bytes, long long w, long long h) {
    long long pw = 0, ph = 0;
    ASSERT_TRUE(PeekImageSize(format, bytes.data(), bytes.size(), &pw, &ph)) << format;
    EXPECT_EQ(pw, w) << format;
    EXPECT_EQ(ph, h) << format;
    EXPECT_EQ(DecodeImage(format, bytes.data(), bytes.size()), nullptr) << format;
    MakePatterned(1, 1);
    EXPECT_EQ(ReadBytes(format, bytes), E_FAIL) << format;
    EXPECT_EQ(TakeErrorText(), "NO IMAGE!") << format;
    EXPECT_EQ(obj()->CurrentImage(), nullptr) << format;
  }
};

const Bytes kPngHeader12000 = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                               0, 0, 0x2E, 0xE0, 0, 0, 0x2E, 0xE0, 8, 6, 0, 0, 0, 0x1B, 0x47, 0x2E, 0x4F};

TEST_F(HostileSize, PngHeaderClaimingTwelveThousandSquared) {
  ExpectRefused(kFormatPng, kPngHeader12000, 12000, 12000);
}

TEST_F(HostileSize, JpegFrameHeaderAfterOtherSegments) {
  Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F', 0x12, 0x34,  // APP0 of 4 bytes, stray bytes
                0xFF, 0xFF, 0xC0, 0, 17, 8, 0x2E, 0xE0, 0x2E, 0xE0, 3,
                1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
  jpeg.resize(688, 0);
  ExpectRefused(kFormatJpeg, jpeg, 12000, 12000);
}

TEST_F(HostileSize, JpegProgressiveFrameOfWidestSize) {
  Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xC2, 0, 11, 8, 0x02, 0x00, 0xFF, 0xDC, 1, 1, 0x11, 0};
  ExpectRefused(kFormatJpeg, jpeg, 65500, 512);
}

TEST_F(HostileSize, SixByteWbmp) {
  ExpectRefused(kFormatWbmp, Bytes{0, 0, 0xDD, 0x60, 0xDD, 0x60}, 12000, 12000);
}

TEST_F(HostileSize, WbmpWithOverlongMultiByteIntegers) {
  Bytes wbmp = {0, 0x80, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x01};
  long long w = 0, h = 0;
  ASSERT_TRUE(PeekImageSize(kFormatWbmp, wbmp.data(), wbmp.size(), &w, &h));
  EXPECT_GT(w, 36'000'000);
  EXPECT_EQ(ReadBytes(kFormatWbmp, wbmp), E_FAIL);
}

TEST_F(HostileSize, SidesWhoseProductOverflowsAreRefused) {
  Bytes png = kPngHeader12000;
  for (int i = 16; i < 24; ++i) png[i] = 0xFF;
  EXPECT_EQ(ReadBytes(kFormatPng, png), E_FAIL);
  Bytes wbmp = {0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F,
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(ReadBytes(kFormatWbmp, wbmp), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
}

Bytes GifHeader(int screenW, int screenH) {
  return {'G', 'I', 'F', '8', '9', 'a', static_cast<unsigned char>(screenW),
          static_cast<unsigned char>(screenW >> 8), static_cast<unsigned char>(screenH),
          static_cast<unsigned char>(screenH >> 8), 0, 0, 0};
}

void AppendFrame(Bytes *gif, int w, int h) {
  Append(gif, {',', 0, 0, 0, 0, static_cast<unsigned char>(w), static_cast<unsigned char>(w >> 8),
               static_cast<unsigned char>(h), static_cast<unsigned char>(h >> 8), 0});
  Append(gif, {2, 2, 0x4C, 0x01, 0, ';'});
}

TEST_F(HostileSize, ThirtyFiveByteGif) {
  Bytes gif = GifHeader(12000, 12000);
  AppendFrame(&gif, 12000, 12000);
  gif.resize(35, 0);
  ExpectRefused(kFormatGif, gif, 12000, 12000);
}

TEST_F(HostileSize, GifFrameIsFoundBehindExtensionsAsTheReaderFindsIt) {
  // An empty graphic-control block still takes the next sub-block with it, so
  // the reader skips the small decoy frame and meets the big one.
  Bytes gif = GifHeader(65535, 65535);
  Append(&gif, {'!', 0xF9, 0, 10, ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 0});
  Append(&gif, {'!', 0xFE, 3, 'a', 'b', 'c', 0, 0x77});
  AppendFrame(&gif, 60000, 60000);
  ExpectRefused(kFormatGif, gif, 60000, 60000);
}

TEST_F(HostileSize, GifWithHugeScreenAndSmallFrameIsRead) {
  Bytes gif = GifHeader(65535, 65535);
  gif[10] = 0x80;  // a global table of 2 entries
  Append(&gif, {0, 0, 0, 255, 255, 255});
  AppendFrame(&gif, 1, 1);
  ASSERT_EQ(ReadBytes(kFormatGif, gif), S_OK);
  EXPECT_EQ(gdImageSX(obj()->CurrentImage()), 1);
  EXPECT_EQ(gdImageSY(obj()->CurrentImage()), 1);
}

TEST_F(HostileSize, LargestAcceptedClaimsPassThePeek) {
  Bytes png = kPngHeader12000;
  png[18] = 0x17;
  png[19] = 0x70;  // 6000
  png[22] = 0x17;
  png[23] = 0x70;
  long long w = 0, h = 0;
  ASSERT_TRUE(PeekImageSize(kFormatPng, png.data(), png.size(), &w, &h));
  EXPECT_TRUE(IsAcceptedSize(w, h));
  png[23] = 0x71;  // 6000 x 6001
  ASSERT_TRUE(PeekImageSize(kFormatPng, png.data(), png.size(), &w, &h));
  EXPECT_FALSE(IsAcceptedSize(w, h));
}

TEST_F(HostileSize, HeadersOfAnotherFormatHaveNoSize) {
  long long w, h;
  EXPECT_FALSE(PeekImageSize(kFormatJpeg, kPngHeader12000.data(), kPngHeader12000.size(), &w, &h));
  EXPECT_FALSE(PeekImageSize(kFormatGif, kPngHeader12000.data(), kPngHeader12000.size(), &w, &h));
  EXPECT_FALSE(PeekImageSize(kFormatBmp, kPngHeader12000.data(), kPngHeader12000.size(), &w, &h));
  EXPECT_FALSE(PeekImageSize(kFormatWbmp, kPngHeader12000.data(), kPngHeader12000.size(), &w, &h));
  EXPECT_FALSE(PeekImageSize(kFormatPng, kPngHeader12000.data(), 20, &w, &h));
  EXPECT_FALSE(PeekImageSize(kFormatPng, nullptr, 0, &w, &h));
  EXPECT_FALSE(PeekImageSize(7, kPngHeader12000.data(), kPngHeader12000.size(), &w, &h));
}

}  // namespace
}  // namespace morphel::io_test
