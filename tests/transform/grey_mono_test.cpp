// Greyscale and black-and-white conversion, pixel for pixel against the
// brightness rule carried out with the library's per-pixel calls.
#include <gd.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "draw/draw_fixture.h"

namespace morphel::test {
namespace {

using Level = std::function<int(double)>;

// The oracle: every pixel read, its brightness taken, the grey found by exact
// match, allocation or nearest entry, and written back, one library call each.
void ConvertByLibraryCalls(gdImagePtr im, const Level &level) {
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) {
      const int p = gdImageGetPixel(im, x, y);
      const bool tc = gdImageTrueColor(im);
      const int r = tc ? gdTrueColorGetRed(p) : im->red[p];
      const int g = tc ? gdTrueColorGetGreen(p) : im->green[p];
      const int b = tc ? gdTrueColorGetBlue(p) : im->blue[p];
      const int v = level((0.587 * g + 0.299 * r) + 0.114 * b);
      int c = gdImageColorExact(im, v, v, v);
      if (c == -1) c = gdImageColorAllocate(im, v, v, v);
      if (c == -1) c = gdImageColorClosest(im, v, v, v);
      gdImageSetPixel(im, x, y, c);
    }
  }
}

int GreyLevel(double y) {
  return y > 255.0 ? 255 : static_cast<int>(y);
}
Level Threshold(int t) {
  return [t](double y) { return static_cast<int>(y) <= t ? 0 : 255; };
}

int MeanThreshold(gdImagePtr im) {
  double total = 0.0;
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) {
      const int p = gdImageGetTrueColorPixel(im, x, y);
      total += (0.587 * gdTrueColorGetGreen(p) + 0.299 * gdTrueColorGetRed(p)) +
               0.114 * gdTrueColorGetBlue(p);
    }
  }
  return static_cast<int>(total / (gdImageSX(im) * gdImageSY(im)));
}

// Colours that matter: equal channels that come out one lower, the extremes,
// translucent pixels (alpha is ignored) and a spread of others: a few dozen
// for palette images, hundreds otherwise.
int SampleColour(int x, int y, bool few) {
  static const int fixed[] = {gdTrueColor(0, 0, 0),
                              gdTrueColor(1, 1, 1),
                              gdTrueColor(255, 255, 255),
                              gdTrueColor(1, 0, 0),
                              gdTrueColor(0, 0, 9),
                              gdTrueColorAlpha(200, 10, 60, 127),
                              gdTrueColorAlpha(90, 90, 90, 40),
                              gdTrueColor(128, 128, 128)};
  if (y == 0 && x < 8) return fixed[x];
  if (few) return gdTrueColor((x % 6) * 50, (y % 5) * 60, 255 - (x % 6) * 50);
  return gdTrueColorAlpha((x * 37) & 0xFF, (y * 53 + x) & 0xFF, (x * y) & 0xFF, (x + y) % 128);
}

// Kinds of image: true colour with blending off and on, a palette with room,
// a palette with room for only a few of the greys, which then falls back to
// the nearest entries, and a palette whose freed entries pixels still use (a
// grey allocated into such an entry changes the colour those pixels read).
enum class Kind {
  kTrueColour,
  kTrueColourBlending,
  kPalette,
  kNearlyFullPalette,
  kPaletteWithFreedEntries
};

void Paint(gdImagePtr im, Kind kind) {
  if (kind == Kind::kNearlyFullPalette) {
    for (int i = 0; i < 210; ++i) gdImageColorAllocate(im, i, 255 - i, (i * 7) & 0xFF);
  }
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) {
      const int c = SampleColour(x, y, !gdImageTrueColor(im));
      const int r = gdTrueColorGetRed(c), g = gdTrueColorGetGreen(c), b = gdTrueColorGetBlue(c);
      gdImageSetPixel(im, x, y, gdImageTrueColor(im) ? c : gdImageColorResolve(im, r, g, b));
    }
  }
  if (kind == Kind::kTrueColourBlending) gdImageAlphaBlending(im, 1);
  if (kind == Kind::kPaletteWithFreedEntries) {
    for (int i : {1, 4, 9, 20}) gdImageColorDeallocate(im, i);
  }
}

// The object's image made of kind, and the same image for the oracle.
class Pair {
 public:
  explicit Pair(Kind kind) {
    const bool palette = kind != Kind::kTrueColour && kind != Kind::kTrueColourBlending;
    if (palette) {
      obj_->CreateImagePalette(kW, kH);
      copy_ = gdImageCreate(kW, kH);
    } else {
      obj_->CreateImage(kW, kH);
      copy_ = gdImageCreateTrueColor(kW, kH);
      SetNewImageFlags(copy_);
    }
    Paint(Current(obj_), kind);
    Paint(copy_, kind);
  }
  ~Pair() { gdImageDestroy(copy_); }
  Pair(const Pair &) = delete;
  Pair &operator=(const Pair &) = delete;

  static constexpr int kW = 40, kH = 24;
  ObjectHolder obj_;
  gdImagePtr copy_;
};

void ExpectSamePalette(gdImagePtr a, gdImagePtr b) {
  ASSERT_EQ(gdImageColorsTotal(a), gdImageColorsTotal(b));
  for (int i = 0; i < gdImageColorsTotal(a); ++i) {
    EXPECT_EQ(gdImageRed(a, i), gdImageRed(b, i)) << i;
    EXPECT_EQ(gdImageGreen(a, i), gdImageGreen(b, i)) << i;
    EXPECT_EQ(gdImageBlue(a, i), gdImageBlue(b, i)) << i;
    EXPECT_EQ(gdImageAlpha(a, i), gdImageAlpha(b, i)) << i;
  }
}

struct Conversion {
  const char *name;
  std::function<HRESULT(Images *)> call;
  std::function<Level(gdImagePtr)> level;  // from the image before conversion
};

const Conversion kConversions[] = {
    {"grey", [](Images *o) { return o->ConvertToGrayScale(); },
     [](gdImagePtr) { return Level(GreyLevel); }},
    {"mono0", [](Images *o) { return o->ConvertToMonochrome(0); },
     [](gdImagePtr) { return Threshold(0); }},
    {"mono100", [](Images *o) { return o->ConvertToMonochrome(100); },
     [](gdImagePtr) { return Threshold(100); }},
    {"mono255", [](Images *o) { return o->ConvertToMonochrome(255); },
     [](gdImagePtr) { return Threshold(255); }},
    {"auto", [](Images *o) { return o->ConvertToMonochromeAuto(); },
     [](gdImagePtr im) { return Threshold(MeanThreshold(im)); }},
};

TEST(GreyMono, EveryConversionMatchesTheLibraryCallsPixelForPixel) {
  for (Kind kind : {Kind::kTrueColour, Kind::kTrueColourBlending, Kind::kPalette,
                    Kind::kNearlyFullPalette, Kind::kPaletteWithFreedEntries}) {
    for (const Conversion &conversion : kConversions) {
      SCOPED_TRACE(std::string(conversion.name) + " kind " +
                   std::to_string(static_cast<int>(kind)));
      Pair pair(kind);
      const int pen = pair.obj_->penColor;
      const Level level = conversion.level(pair.copy_);
      EXPECT_EQ(conversion.call(pair.obj_.get()), S_OK);
      ConvertByLibraryCalls(pair.copy_, level);
      EXPECT_EQ(FirstDifference(Current(pair.obj_), pair.copy_), "");
      if (!gdImageTrueColor(pair.copy_)) ExpectSamePalette(Current(pair.obj_), pair.copy_);
      if (kind == Kind::kNearlyFullPalette && conversion.name == std::string("grey")) {
        EXPECT_EQ(gdImageColorsTotal(pair.copy_), gdMaxColors);  // filled up on the way
      }
      EXPECT_EQ(pair.obj_->penColor, pen);
    }
  }
}

TEST(GreyMono, ThresholdEdgesAndTheGreyJustBelowEqualChannels) {
  struct Case {
    int colour, threshold, expected;  // threshold -1: greyscale
  } cases[] = {
      {gdTrueColor(1, 1, 1), -1, gdTrueColor(0, 0, 0)},  // brightness 0.999...
      {gdTrueColor(2, 2, 2), -1, gdTrueColor(1, 1, 1)},
      {gdTrueColor(3, 3, 3), -1, gdTrueColor(3, 3, 3)},
      {gdTrueColorAlpha(255, 255, 255, 100), -1, gdTrueColor(255, 255, 255)},
      {gdTrueColor(1, 0, 0), 0, gdTrueColor(0, 0, 0)},        // brightness 0.299
      {gdTrueColor(0, 0, 9), 0, gdTrueColor(255, 255, 255)},  // 1.026
      {gdTrueColor(1, 1, 1), 0, gdTrueColor(0, 0, 0)},
      {gdTrueColor(255, 255, 255), 255, gdTrueColor(0, 0, 0)},
      {gdTrueColor(255, 255, 255), 254, gdTrueColor(255, 255, 255)},
  };
  for (const Case &c : cases) {
    ObjectHolder obj;
    obj->CreateImage(2, 1);
    gdImageSetPixel(Current(obj), 1, 0, c.colour);
    EXPECT_EQ(c.threshold < 0 ? obj->ConvertToGrayScale() : obj->ConvertToMonochrome(c.threshold),
              S_OK);
    EXPECT_EQ(Raw(obj, 1, 0), c.expected) << std::hex << c.colour << " at " << c.threshold;
  }
}

TEST(GreyMono, RefusalsChangeNothing) {
  ObjectHolder obj;
  ExpectRefused([&] { return obj->ConvertToMonochrome(0x100); });  // before the slot look-up
  ExpectNoImage(obj->ConvertToGrayScale());
  ExpectNoImage(obj->ConvertToMonochrome(0));
  ExpectNoImage(obj->ConvertToMonochromeAuto());
  obj->CreateImage(3, 3);
  gdImageSetPixel(Current(obj), 1, 1, gdTrueColor(10, 200, 30));
  ExpectRefused([&] { return obj->ConvertToMonochrome(-1); });
  ExpectRefused([&] { return obj->ConvertToMonochrome(256); });
  EXPECT_EQ(Raw(obj, 1, 1), gdTrueColor(10, 200, 30));
}

TEST(GreyMono, AutomaticThresholdOnBlackAndOnHalves) {
  ObjectHolder obj;
  obj->CreateImage(30, 20);  // all black
  EXPECT_EQ(obj->ConvertToMonochromeAuto(), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 0);

  gdImageFilledRectangle(Current(obj), 15, 0, 29, 19, gdTrueColor(255, 255, 255));
  EXPECT_EQ(obj->ConvertToMonochromeAuto(), S_OK);  // mean 127.5: threshold 127
  EXPECT_EQ(Raw(obj, 14, 10), gdTrueColor(0, 0, 0));
  EXPECT_EQ(Raw(obj, 15, 10), gdTrueColor(255, 255, 255));
  EXPECT_EQ(CountPainted(Current(obj)), 15 * 20);
}

// A picture whose single-precision running total would swallow its dark
// pixels: the threshold follows the exact mean.
TEST(GreyMono, AutomaticThresholdIsTheExactMeanOnLargePictures) {
  ObjectHolder obj;
  constexpr int kW = 2000, kH = 1500;
  obj->CreateImage(kW, kH);
  gdImagePtr im = Current(obj);
  gdImageFilledRectangle(im, 0, 0, kW - 1, 499, gdTrueColor(255, 255, 255));
  gdImageFilledRectangle(im, 0, 500, kW - 1, kH - 2, gdTrueColor(7, 7, 7));
  gdImageFilledRectangle(im, 0, kH - 1, kW - 1, kH - 1, gdTrueColor(87, 87, 87));
  const int exact = MeanThreshold(im);
  float single = 0.0f;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const int v = gdTrueColorGetRed(gdImageGetPixel(im, x, y));
      single = static_cast<float>(single + ((0.587 * v + 0.299 * v) + 0.114 * v));
    }
  }
  const int rounded = static_cast<int>(single / (kW * kH));
  ASSERT_LT(rounded, 86);  // single precision: the probe row would turn white
  ASSERT_GE(exact, 87);
  EXPECT_EQ(obj->ConvertToMonochromeAuto(), S_OK);
  EXPECT_EQ(Raw(obj, 0, kH - 1), gdTrueColor(0, 0, 0));
  EXPECT_EQ(Raw(obj, 0, 0), gdTrueColor(255, 255, 255));
  EXPECT_EQ(Raw(obj, 0, 500), gdTrueColor(0, 0, 0));
}

}  // namespace
}  // namespace morphel::test
