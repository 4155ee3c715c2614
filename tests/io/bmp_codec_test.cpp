// The component's BMP writer and reader.
#include <algorithm>

#include "io_fixture.h"

namespace morphel::io_test {
namespace {

class BmpCodec : public IoTest {};

TEST_F(BmpCodec, WritesThreeByTwoImageAsSeventyEightBytes) {
  ASSERT_EQ(obj()->CreateImage(3, 2), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  gdImageSetPixel(im, 0, 0, gdTrueColor(1, 2, 3));
  gdImageSetPixel(im, 1, 0, gdTrueColor(4, 5, 6));
  gdImageSetPixel(im, 2, 0, gdTrueColor(7, 8, 9));
  gdImageSetPixel(im, 0, 1, gdTrueColorAlpha(10, 11, 12, 50));
  gdImageSetPixel(im, 1, 1, gdTrueColor(13, 14, 15));
  gdImageSetPixel(im, 2, 1, gdTrueColor(16, 17, 18));
  const Bytes expected = {
      'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                    // file header
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,     // size, w, h, planes, bits, compr.
      24, 0, 0, 0, 0x88, 0x0B, 0, 0, 0x88, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0,  // bottom row first, blue-green-red
      3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0,
  };
  EXPECT_EQ(WriteBytes(kFormatBmp), expected);
}

TEST_F(BmpCodec, FourPixelRowHasNoPadding) {
  MakePatterned(4, 1);
  Bytes bytes = WriteBytes(kFormatBmp);
  ASSERT_EQ(bytes.size(), 66u);
  EXPECT_EQ(bytes[34], 12);
  for (int x = 0; x < 4; ++x) {
    int c = PatternColour(x, 0);
    EXPECT_EQ(bytes[54 + 3 * x], gdTrueColorGetBlue(c));
    EXPECT_EQ(bytes[56 + 3 * x], gdTrueColorGetRed(c));
  }
}

TEST_F(BmpCodec, PaletteImageIsWrittenWithItsTrueColours) {
  ASSERT_EQ(obj()->CreateImagePalette(2, 1), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  gdImageColorAllocate(im, 200, 100, 50);
  int second = gdImageColorAllocate(im, 1, 2, 3);
  gdImageSetPixel(im, 1, 0, second);
  Bytes bytes = WriteBytes(kFormatBmp);
  ASSERT_EQ(bytes.size(), 62u);
  EXPECT_EQ(Bytes(bytes.begin() + 54, bytes.end()), (Bytes{50, 100, 200, 3, 2, 1, 0, 0}));
}

TEST_F(BmpCodec, RoundTripKeepsColoursAndMakesAlphaOpaque) {
  for (int w : {1, 2, 3, 4, 5, 7, 301}) {
    for (int h : {1, 2, 7}) {
      gdImagePtr im = MakePatterned(w, h);
      gdImageSetPixel(im, 0, 0, gdTrueColorAlpha(9, 8, 7, 100));
      Bytes bytes = WriteBytes(kFormatBmp);
      EXPECT_EQ(bytes.size(), 54u + size_t(3 * w + w % 4) * h);
      ASSERT_EQ(ReadBytes(kFormatBmp, bytes), S_OK);
      gdImagePtr back = obj()->CurrentImage();
      ASSERT_TRUE(gdImageTrueColor(back));
      ASSERT_EQ(gdImageSX(back), w);
      ASSERT_EQ(gdImageSY(back), h);
      EXPECT_EQ(gdImageGetTrueColorPixel(back, 0, 0), gdTrueColor(9, 8, 7));
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          if (x == 0 && y == 0) continue;
          ASSERT_EQ(gdImageGetTrueColorPixel(back, x, y), PatternColour(x, y)) << w << "x" << h;
        }
      }
    }
  }
}

TEST_F(BmpCodec, DecodedImageHasNewImageFlags) {
  MakePatterned(2, 2);
  ASSERT_EQ(ReadBytes(kFormatBmp, WriteBytes(kFormatBmp)), S_OK);
  EXPECT_EQ(obj()->CurrentImage()->alphaBlendingFlag, 0);
  EXPECT_EQ(obj()->CurrentImage()->saveAlphaFlag, 1);
}

// Colour table entries are blue, green, red, reserved.
Bytes Entry(int r, int g, int b) {
  return {static_cast<unsigned char>(b), static_cast<unsigned char>(g),
          static_cast<unsigned char>(r), 0};
}

TEST_F(BmpCodec, OneBitFirstByteEightyGivesEntryOneThenSevenOfEntryZero) {
  BmpLayout layout{8, 1, 1, 0, 0, 62};
  Bytes file = BmpHeaders(layout);
  Append(&file, Entry(10, 20, 30));
  Append(&file, Entry(250, 240, 230));
  Append(&file, {0x80, 0, 0, 0});
  ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  EXPECT_EQ(RgbAt(im, 0, 0), 0xFAF0E6);
  for (int x = 1; x < 8; ++x) EXPECT_EQ(RgbAt(im, x, 0), 0x0A141E);
}

TEST_F(BmpCodec, FourBitWithZeroColoursUsedReadsSixteenEntries) {
  BmpLayout layout{3, 2, 4, 0, 0, 54 + 64};
  Bytes file = BmpHeaders(layout);
  for (int i = 0; i < 16; ++i) Append(&file, Entry(i * 16, 255 - i, i));
  Append(&file, {0xF0, 0x10, 0, 0});  // bottom row: 15, 0, 1
  Append(&file, {0x23, 0xE0, 0, 0});  // top row: 2, 3, 14
  ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  auto entry = [](int i) { return (i * 16) << 16 | (255 - i) << 8 | i; };
  EXPECT_EQ(RgbAt(im, 0, 1), entry(15));
  EXPECT_EQ(RgbAt(im, 1, 1), entry(0));
  EXPECT_EQ(RgbAt(im, 2, 1), entry(1));
  EXPECT_EQ(RgbAt(im, 0, 0), entry(2));
  EXPECT_EQ(RgbAt(im, 1, 0), entry(3));
  EXPECT_EQ(RgbAt(im, 2, 0), entry(14));
}

TEST_F(BmpCodec, FourBitWithThreeColoursUsedReadsThreeEntries) {
  BmpLayout layout{2, 1, 4, 0, 3, 54 + 12};
  Bytes file = BmpHeaders(layout);
  Append(&file, Entry(1, 1, 1));
  Append(&file, Entry(2, 2, 2));
  Append(&file, Entry(3, 3, 3));
  Append(&file, {0x25, 0, 0, 0});  // entry 2, then entry 5 (never read: black)
  ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK);
  EXPECT_EQ(RgbAt(obj()->CurrentImage(), 0, 0), 0x030303);
  EXPECT_EQ(RgbAt(obj()->CurrentImage(), 1, 0), 0);
}

TEST_F(BmpCodec, EightBitWithAndWithoutColoursUsed) {
  for (uint32_t used : {0u, 2u}) {
    uint32_t entries = used == 0 ? 256 : used;
    BmpLayout layout{5, 1, 8, 0, used, 54 + 4 * entries};
    Bytes file = BmpHeaders(layout);
    for (uint32_t i = 0; i < entries; ++i) Append(&file, Entry(i, i ^ 0xFF, 7));
    Append(&file, {1, 0, 1, 0, 1, 0, 0, 0});
    ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK) << used;
    gdImagePtr im = obj()->CurrentImage();
    EXPECT_EQ(RgbAt(im, 0, 0), 0x01FE07);
    EXPECT_EQ(RgbAt(im, 1, 0), 0x00FF07);
    EXPECT_EQ(RgbAt(im, 4, 0), 0x01FE07);
  }
}

TEST_F(BmpCodec, PixelArrayStartsAtTheGivenOffset) {
  BmpLayout layout{1, 1, 24, 0, 0, 60};
  Bytes file = BmpHeaders(layout);
  Append(&file, {9, 9, 9, 9, 9, 9, 0x30, 0x20, 0x10, 0});
  ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK);
  EXPECT_EQ(RgbAt(obj()->CurrentImage(), 0, 0), 0x102030);
}

TEST_F(BmpCodec, TwentyFourBitDataEndingOnAFourByteBoundaryLeavesPixelsBlack) {
  BmpLayout layout{4, 2, 24, 0, 0, 54};
  Bytes file = BmpHeaders(layout);
  Append(&file, {1, 2, 3, 4, 5, 6, 7, 8});  // two whole pixels of the bottom row, then a part
  ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK);
  gdImagePtr im = obj()->CurrentImage();
  EXPECT_EQ(RgbAt(im, 0, 1), 0x030201);
  EXPECT_EQ(RgbAt(im, 1, 1), 0x060504);
  EXPECT_EQ(RgbAt(im, 2, 1), 0);
  EXPECT_EQ(RgbAt(im, 3, 0), 0);
}

TEST_F(BmpCodec, ShortPaddedRowGivesNoImage) {
  BmpLayout layout{3, 2, 24, 0, 0, 54};
  Bytes file = BmpHeaders(layout);
  Append(&file, {1, 2, 3});
  EXPECT_EQ(ReadBytes(kFormatBmp, file), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
}

TEST_F(BmpCodec, RefusesWhatItDoesNotRead) {
  const BmpLayout refused[] = {
      {2, 2, 24, 1, 0, 54},   // run-length compression
      {2, 2, 16, 0, 0, 54},   // 16 bits
      {2, 2, 32, 0, 0, 54},   // 32 bits
      {2, 2, 0, 0, 0, 54},    // 0 bits
      {2, -2, 24, 0, 0, 54},  // top-down rows
      {0, 2, 24, 0, 0, 54},   // no width
      {2, 2, 24, 0, 0, 20},   // pixel array inside the headers
  };
  for (const BmpLayout &layout : refused) {
    MakePatterned(1, 1);
    Bytes file = BmpHeaders(layout);
    file.resize(file.size() + 64, 0);
    EXPECT_EQ(ReadBytes(kFormatBmp, file), E_FAIL) << layout.bits << " " << layout.compression;
    EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
    EXPECT_EQ(obj()->CurrentImage(), nullptr);
  }
}

TEST_F(BmpCodec, RefusesBadSignatureShortHeaderAndShortColourTable) {
  Bytes file = BmpHeaders(BmpLayout{});
  file.resize(60, 0);
  Bytes wrong = file;
  wrong[1] = 'A';
  EXPECT_EQ(ReadBytes(kFormatBmp, wrong), E_FAIL);
  EXPECT_EQ(ReadBytes(kFormatBmp, Bytes(file.begin(), file.begin() + 53)), E_FAIL);
  Bytes palette = BmpHeaders(BmpLayout{1, 1, 8, 0, 0, 54 + 1024});
  palette.resize(54 + 1000, 0);
  EXPECT_EQ(ReadBytes(kFormatBmp, palette), E_FAIL);
  Bytes shortPixels = BmpHeaders(BmpLayout{9, 1, 8, 0, 1, 58});
  Append(&shortPixels, {1, 2, 3, 0, 0, 0});
  EXPECT_EQ(ReadBytes(kFormatBmp, shortPixels), E_FAIL);
}

// The colour table follows the information header, whatever its length (40,
// 108 or 124 bytes); a 24-bit pixel array may not start inside a long header.
TEST_F(BmpCodec, ColourTableFollowsTheInformationHeader) {
  for (uint32_t size : {40u, 108u, 124u}) {
    const uint32_t table = 14 + size;
    Bytes file = BmpHeaders(BmpLayout{3, 1, 4, 0, 2, table + 8, size});
    Append(&file, Entry(1, 2, 3));
    Append(&file, Entry(200, 100, 50));
    Append(&file, {0x10, 0x10, 0, 0});
    ASSERT_EQ(ReadBytes(kFormatBmp, file), S_OK) << size;
    gdImagePtr im = obj()->CurrentImage();
    EXPECT_EQ(RgbAt(im, 0, 0), 0xC86432) << size;
    EXPECT_EQ(RgbAt(im, 1, 0), 0x010203) << size;
    EXPECT_EQ(RgbAt(im, 2, 0), 0xC86432) << size;
    Bytes rgb = BmpHeaders(BmpLayout{1, 1, 24, 0, 0, table, size});
    Append(&rgb, {0x30, 0x20, 0x10, 0});
    ASSERT_EQ(ReadBytes(kFormatBmp, rgb), S_OK) << size;
    EXPECT_EQ(RgbAt(obj()->CurrentImage(), 0, 0), 0x102030) << size;
    if (size > 40) {
      EXPECT_EQ(ReadBytes(kFormatBmp, BmpHeaders(BmpLayout{1, 1, 24, 0, 0, 54, size})), E_FAIL);
    }
  }
  Bytes cut = BmpHeaders(BmpLayout{1, 1, 24, 0, 0, 138, 124});
  cut.resize(100);  // ends inside the long header
  EXPECT_EQ(ReadBytes(kFormatBmp, cut), E_FAIL);
  // A header claiming to run to the end of a 4 GB file is skipped only as far
  // as the data goes, for every depth.
  for (uint16_t bits : {1, 8, 24}) {
    Bytes endless = BmpHeaders(BmpLayout{2, 2, bits, 0, 0, 54});
    std::fill(endless.begin() + 14, endless.begin() + 18, 0xFF);  // header size
    endless.resize(54 + 1100, 0x5A);
    EXPECT_EQ(ReadBytes(kFormatBmp, endless), E_FAIL) << bits;
  }
}

TEST_F(BmpCodec, RefusesInformationHeadersShorterThanForty) {
  for (uint32_t size : {0u, 12u, 39u}) {
    Bytes file = BmpHeaders(BmpLayout{1, 1, 24, 0, 0, 54, size});
    Append(&file, {1, 2, 3, 0});
    EXPECT_EQ(ReadBytes(kFormatBmp, file), E_FAIL) << size;
    EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  }
}

// A 24-bit array of 101 x 700 pixels (rows of 303 bytes and 1 byte of
// padding) cut inside row 250 from the bottom, far past the first rows read
// together: the rows before stay, whole pixels of the cut row stay when the
// bytes taken end on a multiple of 4 inside its pixels, else there is no image.
TEST_F(BmpCodec, CutPixelArrayFarIntoTheFile) {
  constexpr int kWidth = 101, kHeight = 700, kStride = 304, kRow = 250;
  Bytes full = BmpHeaders(BmpLayout{kWidth, kHeight, 24, 0, 0, 54});
  for (int i = 0; i < kStride * kHeight; ++i) full.push_back(static_cast<unsigned char>(i % 251));
  const std::pair<int, bool> cuts[] = {{0, true}, {12, true}, {300, true}, {301, false},
                                       {303, false}, {kStride, true}};
  for (const auto &[inRow, readable] : cuts) {
    Bytes file(full.begin(), full.begin() + 54 + kStride * kRow + inRow);
    ASSERT_EQ(ReadBytes(kFormatBmp, file) == S_OK, readable) << inRow;
    if (!readable) continue;
    gdImagePtr im = obj()->CurrentImage();
    auto stored = [&](int x, int fromBottom) {
      const unsigned char *p = full.data() + 54 + fromBottom * kStride + x * 3;
      return p[2] << 16 | p[1] << 8 | p[0];
    };
    EXPECT_EQ(RgbAt(im, 100, kHeight - 1), stored(100, 0)) << inRow;
    EXPECT_EQ(RgbAt(im, 7, kHeight - kRow), stored(7, kRow - 1)) << inRow;
    const int whole = inRow / 3;
    for (int x = 0; x < kWidth; ++x) {
      ASSERT_EQ(RgbAt(im, x, kHeight - 1 - kRow), x < whole ? stored(x, kRow) : 0) << inRow << " " << x;
    }
    EXPECT_EQ(RgbAt(im, 0, 0), 0) << inRow;
  }
}

TEST_F(BmpCodec, RefusesHugeClaimedSizeBeforeReadingPixels) {
  for (const auto &[w, h] : {std::pair{1000000, 1000}, std::pair{6001, 6000},
                             std::pair{0x7FFFFFFF, 0x7FFFFFFF}}) {
    Bytes file = BmpHeaders(BmpLayout{w, h, 24, 0, 0, 54});
    file.resize(70, 0);
    EXPECT_EQ(ReadBytes(kFormatBmp, file), E_FAIL);
    EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
    EXPECT_EQ(obj()->CurrentImage(), nullptr);
  }
}

TEST_F(BmpCodec, HugeColoursUsedIsReadOnlyAsFarAsTheData) {
  Bytes file = BmpHeaders(BmpLayout{1, 1, 8, 0, 0xFFFFFFFF, 54});
  file.resize(200, 0);
  EXPECT_EQ(ReadBytes(kFormatBmp, file), E_FAIL);
}

}  // namespace
}  // namespace morphel::io_test
