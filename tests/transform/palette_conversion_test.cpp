// The two palette conversions: the colour-only one against the library's
// quantiser on a copy, the alpha-aware one against palettes worked out by hand
// and against the colour-only one on opaque pictures.
#include <gd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "draw/draw_fixture.h"

namespace morphel::test {
namespace {

using Entry = std::array<int, 4>;  // red, green, blue, alpha

std::vector<Entry> PaletteOf(gdImagePtr im) {
  std::vector<Entry> entries;
  for (int i = 0; i < gdImageColorsTotal(im); ++i) {
    entries.push_back(
        {gdImageRed(im, i), gdImageGreen(im, i), gdImageBlue(im, i), gdImageAlpha(im, i)});
  }
  return entries;
}

// A photograph-like true-colour picture: smooth gradients in all channels,
// far more than 256 histogram cells, and (when withAlpha) an alpha ramp, a
// fully transparent band and an opaque one.
void PaintPicture(gdImagePtr im, bool withAlpha) {
  const int w = gdImageSX(im), h = gdImageSY(im);
  const int wSpan = std::max(w - 1, 1), hSpan = std::max(h - 1, 1);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int r = x * 255 / wSpan, g = y * 255 / hSpan, b = (x * y * 7 / 3 + 40) & 0xFF;
      int alpha = 0;
      if (withAlpha) alpha = y < h / 4 ? 0 : y < h / 2 ? gdAlphaTransparent : x * 127 / wSpan;
      gdImageSetPixel(im, x, y, gdTrueColorAlpha(r, g, b, alpha));
    }
  }
}

// The object's current image as a true-colour picture and a copy of it.
class PictureAndCopy {
 public:
  PictureAndCopy(int w, int h, bool withAlpha) : copy_(w, h) {
    obj_->CreateImage(w, h);
    PaintPicture(Current(obj_), withAlpha);
    PaintPicture(copy_.get(), withAlpha);
  }
  ObjectHolder obj_;
  Reference copy_;
};

// Pictures of varied kinds for the comparison with the library's quantiser,
// drawn from a fixed pseudo-random sequence.
enum class Kind { kGradient, kNoise, kFewColours, kOneColour, kCrowdedCell, kAlphaNoise, kStripes };

void PaintKind(gdImagePtr im, Kind kind) {
  const int w = gdImageSX(im), h = gdImageSY(im);
  unsigned seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned r = next();
      int c = 0;
      switch (kind) {
        case Kind::kGradient:
          c = gdTrueColorAlpha(x * 255 / std::max(w - 1, 1), y * 255 / std::max(h - 1, 1),
                               (x * y * 7 / 3 + 40) & 0xFF, (x + y) & 0x7F);
          break;
        case Kind::kNoise:
          c = static_cast<int>(r & 0xFFFFFF);
          break;
        case Kind::kFewColours:
          c = gdTrueColor((r % 5) * 60, (r / 5 % 3) * 120, (r / 15 % 4) * 80);
          break;
        case Kind::kOneColour:
          c = gdTrueColor(17, 99, 201);
          break;
        case Kind::kCrowdedCell:
          c = x + y * w < 70000 ? gdTrueColor(8, 8, 8) : static_cast<int>(r & 0xFFFFFF);
          break;
        case Kind::kAlphaNoise:
          c = static_cast<int>(r & 0x7FFFFFFF);
          break;
        case Kind::kStripes:
          c = (x / 3) % 2 ? gdTrueColor(255, 255, 255) : gdTrueColor(x & 0xFF, 0, 255 - (y & 0xFF));
          break;
      }
      gdImageSetPixel(im, x, y, c);
    }
  }
}

// The colour-only conversion is the library's quantiser, palette and indices,
// on pictures of many kinds and shapes; a packed transparent colour is dropped
// (no entry held back for it) and every entry is opaque.
TEST(PaletteConversion, ColourOnlyIsTheLibrarysQuantiserWithTheKeyDropped) {
  struct Case {
    Kind kind;
    int w, h;
  } cases[] = {
      {Kind::kGradient, 120, 90}, {Kind::kNoise, 200, 150},       {Kind::kFewColours, 64, 64},
      {Kind::kOneColour, 9, 4},   {Kind::kCrowdedCell, 400, 200}, {Kind::kAlphaNoise, 97, 61},
      {Kind::kStripes, 300, 7},   {Kind::kNoise, 1, 1},           {Kind::kGradient, 1, 300}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.kind)) + " " + std::to_string(c.w) + "x" +
                 std::to_string(c.h));
    ObjectHolder obj;
    obj->CreateImage(c.w, c.h);
    Reference copy(c.w, c.h);
    PaintKind(Current(obj), c.kind);
    PaintKind(copy.get(), c.kind);
    gdImageColorTransparent(Current(obj), gdTrueColor(0, 0, 40));  // a packed key
    const int pen = obj->penColor;
    ASSERT_EQ(obj->ConvertToPaletteNoAlpha(), S_OK);
    ASSERT_TRUE(gdImageTrueColorToPalette(copy.get(), 0, 256));
    gdImagePtr im = Current(obj);
    EXPECT_FALSE(gdImageTrueColor(im));
    EXPECT_EQ(gdImageGetTransparent(im), -1);
    EXPECT_EQ(PaletteOf(im), PaletteOf(copy.get()));
    EXPECT_EQ(FirstDifference(im, copy.get()), "");
    for (const Entry &e : PaletteOf(im)) EXPECT_EQ(e[3], gdAlphaOpaque);
    EXPECT_EQ(obj->penColor, pen);
  }
}

// A true-colour image written as GIF is the library's GIF of the library's
// reduction of a copy, byte for byte.
TEST(PaletteConversion, TrueColourGifIsTheLibrarysReduction) {
  for (Kind kind : {Kind::kGradient, Kind::kNoise, Kind::kAlphaNoise}) {
    ObjectHolder obj;
    obj->CreateImage(150, 100);
    PaintKind(Current(obj), kind);
    ASSERT_EQ(obj->SetImageType(3), S_OK);
    BSTR bytes = nullptr;
    ASSERT_EQ(obj->WriteToVariable(&bytes), S_OK);
    Reference copy(150, 100);
    gdImageCopy(copy.get(), Current(obj), 0, 0, 0, 0, 150, 100);
    ASSERT_TRUE(gdImageTrueColorToPalette(copy.get(), 0, 256));
    int size = 0;
    void *expected = gdImageGifPtr(copy.get(), &size);
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(bytes), SysStringByteLen(bytes)),
              std::string(static_cast<const char *>(expected), static_cast<size_t>(size)))
        << static_cast<int>(kind);
    gdFree(expected);
    SysFreeString(bytes);
  }
}

// On an opaque picture the alpha axis never splits and every entry ends
// opaque: the alpha-aware quantiser must give the library's palette and
// indices exactly (the weighted means, box order and block mapping included).
TEST(PaletteConversion, WithAlphaEqualsColourOnlyOnOpaquePictures) {
  for (auto [w, h] : {std::pair{120, 90}, std::pair{300, 7}, std::pair{1, 1}}) {
    PictureAndCopy pair(w, h, false);
    ASSERT_EQ(pair.obj_->ConvertToPalette(), S_OK);
    ASSERT_TRUE(gdImageTrueColorToPalette(pair.copy_.get(), 0, 256));
    EXPECT_EQ(PaletteOf(Current(pair.obj_)), PaletteOf(pair.copy_.get())) << w << "x" << h;
    EXPECT_EQ(FirstDifference(Current(pair.obj_), pair.copy_.get()), "") << w << "x" << h;
  }
}

TEST(PaletteConversion, WithAlphaKeepsTransparentAndOpaqueAreas) {
  PictureAndCopy pair(160, 120, true);
  gdImageColorTransparent(Current(pair.obj_), gdTrueColor(1, 2, 3));
  ASSERT_EQ(pair.obj_->ConvertToPalette(), S_OK);
  gdImagePtr im = Current(pair.obj_);
  ASSERT_FALSE(gdImageTrueColor(im));
  EXPECT_EQ(gdImageGetTransparent(im), -1);
  EXPECT_LE(gdImageColorsTotal(im), 256);
  EXPECT_GT(gdImageColorsTotal(im), 200);
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 160; ++x) {
      const int index = gdImageGetPixel(im, x, y);
      ASSERT_LT(index, gdImageColorsTotal(im)) << x << "," << y;
      if (y >= 60) continue;  // the alpha ramp
      const int expected = y < 30 ? gdAlphaOpaque : gdAlphaTransparent;
      ASSERT_EQ(gdImageAlpha(im, index), expected) << x << "," << y;
    }
  }
}

// Small pictures whose palette follows by hand: cell centres (8i + 4 for red
// and blue, 4i + 2 for green, 16i + 8 for alpha), the longest scaled axis
// (ties to green, red, blue, alpha), lower half kept in place, then the most
// transparent entries made fully transparent and the most opaque fully opaque.
TEST(PaletteConversion, WithAlphaGivesTheHandWorkedPalettes) {
  struct Case {
    const char *what;
    std::vector<int> pixels;
    std::vector<Entry> palette;
    std::vector<int> indices;
  } cases[] = {
      {"opaque red, transparent blue: split on red",
       {gdTrueColor(255, 0, 0), gdTrueColorAlpha(0, 0, 255, 127)},
       {{4, 2, 252, 127}, {252, 2, 4, 0}},
       {1, 0}},
      {"red extent 64 ties alpha 64: red first",
       {gdTrueColor(0, 0, 0), gdTrueColor(32, 0, 0), gdTrueColorAlpha(0, 0, 0, 16)},
       {{4, 2, 4, 0}, {36, 2, 4, 0}, {4, 2, 4, 24}},
       {0, 1, 2}},
      {"red extent 48 below alpha 64: alpha first",
       {gdTrueColor(0, 0, 0), gdTrueColor(24, 0, 0), gdTrueColorAlpha(0, 0, 0, 16)},
       {{4, 2, 4, 0}, {4, 2, 4, 24}, {28, 2, 4, 0}},
       {0, 2, 1}},
      {"one translucent colour keeps its cell's alpha",
       {gdTrueColorAlpha(100, 150, 200, 64), gdTrueColorAlpha(100, 150, 200, 64)},
       {{100, 150, 204, 72}},
       {0, 0}},
      {"one fully transparent colour",
       {gdTrueColorAlpha(10, 20, 30, 127)},
       {{12, 22, 28, 127}},
       {0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ObjectHolder obj;
    obj->CreateImage(static_cast<int>(c.pixels.size()), 1);
    for (size_t x = 0; x < c.pixels.size(); ++x) {
      gdImageSetPixel(Current(obj), static_cast<int>(x), 0, c.pixels[x]);
    }
    ASSERT_EQ(obj->ConvertToPalette(), S_OK);
    EXPECT_EQ(PaletteOf(Current(obj)), c.palette);
    for (size_t x = 0; x < c.indices.size(); ++x) {
      EXPECT_EQ(Raw(obj, static_cast<int>(x), 0), c.indices[x]) << x;
    }
  }
}

TEST(PaletteConversion, PaletteImagesAndEmptySlots) {
  ObjectHolder obj;
  ExpectNoImage(obj->ConvertToPalette());
  ExpectNoImage(obj->ConvertToPaletteNoAlpha());
  obj->CreateImagePalette(20, 10);
  gdImagePtr im = Current(obj);
  gdImageColorAllocate(im, 255, 255, 255);  // the background, entry 0
  const int red = gdImageColorAllocateAlpha(im, 255, 0, 0, 50);
  gdImageFilledRectangle(im, 5, 2, 9, 6, red);
  const std::vector<Entry> before = PaletteOf(im);
  EXPECT_EQ(obj->ConvertToPalette(), S_OK);
  EXPECT_EQ(obj->ConvertToPaletteNoAlpha(), S_OK);
  EXPECT_EQ(Current(obj), im);
  EXPECT_EQ(PaletteOf(im), before);
  EXPECT_EQ(CountPainted(im), 25);
  EXPECT_EQ(Raw(obj, 5, 2), red);
}

}  // namespace
}  // namespace morphel::test
