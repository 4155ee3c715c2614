// Free rotation: result sizes, quarter turns, sheared pictures, the slot
// rules, failures, and the engine's line skew and fast path.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "draw/draw_p.h"
#include "transform/image_shear_rotator.h"
#include "transform/transform_fixture.h"

namespace morphel {
namespace {

using test::ObjectHolder;
using test::PatternedSlot;
using test::Size;

TEST(CopyImageRotate, ResultSizeFollowsTheAngle) {
  // A 100 x 50 source: the engine sees 99 x 49, the canvas is one pixel
  // smaller than the engine's result each way.
  const struct {
    int angle;
    const char *size;
  } cases[] = {{0, "98x48"},    {360, "98x48"},   {-360, "98x48"},  {720, "98x48"},
               {45, "104x104"}, {46, "104x105"},  {90, "48x98"},    {-90, "48x98"},
               {135, "104x104"}, {180, "98x48"},  {225, "104x104"}, {270, "48x98"},
               {315, "104x104"}, {316, "105x104"}, {-30, "110x91"},  {30, "110x91"}};
  for (const auto &c : cases) {
    ObjectHolder obj;
    PatternedSlot(obj, 0, 100, 50);
    obj->SetImage(7);
    EXPECT_EQ(obj->CopyImageRotate(1, 0, c.angle), S_OK) << c.angle;
    INT slot = -1;
    obj->GetImage(&slot);
    EXPECT_EQ(slot, 0) << "the current slot is the source afterwards";
    EXPECT_EQ(Size(obj->slotImages[1]), c.size) << c.angle;
    EXPECT_EQ(obj->slotOwned[1], 1);
  }
}

// Without a shear every pixel keeps its colour and alpha; canvas pixel
// (x, y) shows source pixel from(x, y).
TEST(CopyImageRotate, QuarterTurnsMovePixelsWithTheirAlpha) {
  using Map = std::function<std::pair<int, int>(int, int)>;
  const struct {
    int angle;
    Map from;
  } cases[] = {
      {0, [](int x, int y) { return std::pair{x, y}; }},
      {720, [](int x, int y) { return std::pair{x, y}; }},
      {90, [](int x, int y) { return std::pair{98 - y, x}; }},   // (x, y) -> (y, 98 - x)
      {180, [](int x, int y) { return std::pair{98 - x, 48 - y}; }},
      {270, [](int x, int y) { return std::pair{y, 48 - x}; }},  // (x, y) -> (48 - y, x)
      {-90, [](int x, int y) { return std::pair{y, 48 - x}; }},
  };
  for (const auto &c : cases) {
    ObjectHolder obj;
    gdImagePtr src = PatternedSlot(obj, 0, 100, 50, false, 40);
    ASSERT_EQ(obj->CopyImageRotate(2, 0, c.angle), S_OK);
    gdImagePtr out = obj->slotImages[2];
    int wrong = 0;
    for (int y = 0; y < gdImageSY(out); ++y) {
      for (int x = 0; x < gdImageSX(out); ++x) {
        auto [sx, sy] = c.from(x, y);
        wrong += gdImageGetPixel(out, x, y) != gdImageGetPixel(src, sx, sy);
      }
    }
    EXPECT_EQ(wrong, 0) << c.angle;
  }
}

// A uniform picture stays exactly its colour inside after the shears (each
// pixel loses what its predecessor gives), opaque; the corners take the pen.
TEST(CopyImageRotate, ShearedPictureIsOpaqueInsideAndPenColouredOutside) {
  for (int angle : {30, 45, 46, 135, 200, 316, -30, 10}) {
    ObjectHolder obj;
    obj->CreateImage(60, 40);
    obj->SetAlphaColor(200, 100, 50, 64);
    obj->DrawFilledRectangle(0, 0, 59, 39);
    obj->SetColor(10, 20, 30);
    ASSERT_EQ(obj->CopyImageRotate(3, 0, angle), S_OK);
    gdImagePtr out = obj->slotImages[3];
    const int w = gdImageSX(out), h = gdImageSY(out);
    EXPECT_EQ(gdImageGetPixel(out, w / 2, h / 2), gdTrueColor(200, 100, 50)) << angle;
    EXPECT_EQ(gdImageGetPixel(out, 0, 0), gdTrueColor(10, 20, 30)) << angle;
    EXPECT_EQ(gdImageGetPixel(out, w - 1, h - 1), gdTrueColor(10, 20, 30)) << angle;
    obj->SetImage(3);
    INT red = -1, alpha = -1;
    obj->GetColorRed(&red);
    obj->GetColorAlpha(&alpha);
    EXPECT_EQ(red, 10) << "the pen is resolved in the new canvas";
    EXPECT_EQ(alpha, 0);
  }
}

TEST(CopyImageRotate, EquivalentAnglesGiveTheSamePicture) {
  const std::pair<int, int> pairs[] = {{-30, 330}, {316, -44}, {46, 406}, {0, -720}};
  for (auto [a, b] : pairs) {
    ObjectHolder obj;
    PatternedSlot(obj, 0, 41, 29);
    obj->SetColor(0, 0, 255);
    ASSERT_EQ(obj->CopyImageRotate(1, 0, a), S_OK);
    ASSERT_EQ(obj->CopyImageRotate(2, 0, b), S_OK);
    EXPECT_EQ(test::FirstDifference(obj->slotImages[1], obj->slotImages[2]), "") << a;
  }
}

TEST(CopyImageRotate, TransparentColourTakesTheBackgroundAtZero) {
  ObjectHolder obj;
  PatternedSlot(obj, 0, 20, 20);
  obj->SetColor(1, 2, 3);
  obj->SetPixel(5, 5);
  obj->SetTransparent(1);
  obj->SetColor(9, 9, 9);
  ASSERT_EQ(obj->CopyImageRotate(0, 0, 0), S_OK);  // the source replaced by its rotation
  gdImagePtr out = obj->slotImages[0];
  EXPECT_EQ(Size(out), "18x18");
  EXPECT_EQ(gdImageGetPixel(out, 5, 5), gdTrueColor(9, 9, 9));
  EXPECT_EQ(gdImageGetPixel(out, 6, 5), test::PatternColour(6, 5));
}

// Palette pixels are read as opaque colours, the transparent index as alpha 127.
TEST(CopyImageRotate, PaletteSourceTurnsIntoTrueColour) {
  ObjectHolder obj;
  gdImagePtr src = PatternedSlot(obj, 4, 12, 8, true);
  obj->SetAlphaColor(7, 8, 9, 50);  // an entry with alpha, painted at (1, 1)
  obj->SetPixel(1, 1);
  SetTransparentColour(src, gdImageGetPixel(src, 3, 2));
  ASSERT_EQ(obj->CopyImageRotate(5, 4, 180), S_OK);  // (x, y) -> (10 - x, 6 - y)
  gdImagePtr out = obj->slotImages[5];
  ASSERT_TRUE(gdImageTrueColor(out));
  EXPECT_EQ(gdImageGetPixel(out, 9, 5), gdTrueColor(7, 8, 9));
  EXPECT_EQ(gdTrueColorGetAlpha(gdImageGetPixel(out, 7, 4)), 127);
  EXPECT_EQ(gdImageGetPixel(out, 1, 1), test::PatternColour(9, 5));
}

// Every pixel of small sheared results, worked out step by step from the
// shear, skew and outline rules for a 5 x 4 source with pen (10, 20, 30):
// 0x0a141e is the background.
TEST(CopyImageRotate, SmallShearedResultsPixelByPixel) {
  const struct {
    int angle;
    uint32_t pixels[4][4];
  } cases[] = {
      {30,
       {{0x0a141e, 0x0a141e, 0x4f140d, 0x0a141e},
        {0x0f1411, 0x311808, 0x543025, 0x643f4c},
        {0x0a210f, 0x1f4115, 0x3f5c3f, 0x637487},
        {0x0a2718, 0x125c16, 0x205a2d, 0x142829}}},
      {46,
       {{0x0a141e, 0x0a141e, 0x4d1410, 0x0a141e},
        {0x0a141e, 0x2e1410, 0x642118, 0x693c4b},
        {0x0d1411, 0x292310, 0x474332, 0x636673},
        {0x0a1a15, 0x0e420a, 0x295f29, 0x0a141e}}},
  };
  for (const auto &c : cases) {
    ObjectHolder obj;
    obj->CreateImage(5, 4);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 5; ++x) {
        gdImageSetPixel(obj->CurrentImage(), x, y,
                        ((x * 40 + 10) << 16) | ((y * 50 + 20) << 8) | ((x * y * 30 + 5) & 255));
      }
    }
    obj->SetColor(10, 20, 30);
    ASSERT_EQ(obj->CopyImageRotate(1, 0, c.angle), S_OK);
    ASSERT_EQ(Size(obj->slotImages[1]), "4x4");
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(static_cast<uint32_t>(gdImageGetPixel(obj->slotImages[1], x, y)), c.pixels[y][x])
            << c.angle << " at " << x << "," << y;
      }
    }
  }
}

// Each failure reports "NO IMAGE!" and changes no slot and not the current one.
TEST(CopyImageRotate, FailuresLeaveEverySlotAsItWas) {
  const struct {
    int srcW, srcH;  // 0: the source slot stays empty
    int dst, src, angle;
  } cases[] = {{0, 0, 1, 0, 30},      {10, 10, 1, -1, 30}, {10, 10, 1, 10, 30},
               {10, 10, -1, 0, 30},   {10, 10, 10, 0, 30}, {1, 2, 1, 0, 90},
               {2, 2, 1, 0, 0},       {2, 2, 1, 0, 90},    {1, 1, 1, 0, 30},
               {2, 1, 0, 0, 45},      {6000, 6000, 1, 0, 45}};
  for (const auto &c : cases) {
    ObjectHolder obj;
    obj->SetImage(1);
    obj->CreateImage(5, 5);
    gdImagePtr oldDestination = obj->slotImages[1];
    gdImagePtr source = nullptr;
    if (c.srcW > 0) {
      obj->SetImage(0);
      obj->CreateImage(c.srcW, c.srcH);
      source = obj->slotImages[0];
    }
    obj->SetImage(6);
    test::ExpectNoImage(obj->CopyImageRotate(c.dst, c.src, c.angle));
    EXPECT_EQ(obj->currentSlot, 6) << c.srcW << "x" << c.srcH << " at " << c.angle;
    EXPECT_EQ(obj->slotImages[1], oldDestination);
    EXPECT_EQ(obj->slotImages[0], source);
  }
}

TEST(CopyImageRotate, TinySourcesThatFitSucceed) {
  const struct {
    int w, h, angle;
    const char *size;
  } cases[] = {{3, 3, 0, "1x1"}, {2, 2, 30, "1x1"}, {3, 3, 45, "2x2"}, {4, 3, 270, "1x2"}};
  for (const auto &c : cases) {
    ObjectHolder obj;
    PatternedSlot(obj, 0, c.w, c.h);
    ASSERT_EQ(obj->CopyImageRotate(1, 0, c.angle), S_OK) << c.w << "x" << c.h;
    EXPECT_EQ(Size(obj->slotImages[1]), c.size);
  }
}

// ---- the engine --------------------------------------------------------------

uint32_t Red(int r) { return static_cast<uint32_t>(r) << 16; }

TEST(SkewLine, MovesEachPixelByTheFractionOfItsPredecessor) {
  const struct {
    double offset;
    uint32_t background;
    std::vector<uint32_t> expected;
  } cases[] = {
      // f = 0.5: 100 - 50 + 0, 200 - 100 + 50, then what 200 passed on.
      {0.5, 0, {Red(50), Red(150), Red(100), 0}},
      // n = 1, f = 0.25, background red 40 (10 of it moves on): 40, 100 - 25 + 10,
      // 200 - 50 + 25, 50 + 40 - 10.
      {1.25, Red(40), {Red(40), Red(85), Red(175), Red(80)}},
      // n = -1, f = 0.25: position -1 dropped; 200 - 50 + 25, 50 + 0, then background.
      {-0.75, 0, {Red(175), Red(50), 0, 0}},
      // Whole offsets move pixels unchanged; channels keep their low 8 bits.
      {2.0, Red(7), {Red(7), Red(7), Red(100), Red(200)}},
      // Alpha of the source is dropped.
  };
  const uint32_t src[] = {Red(100) | (60u << 24), Red(200)};
  for (const auto &c : cases) {
    std::vector<uint32_t> dst(4, 0xDEADBEEF);
    SkewLine(src, 2, dst.data(), 4, c.offset, c.background);
    EXPECT_EQ(dst, c.expected) << c.offset;
  }
}

// The same pixel operations without the whole-line fast path.
class PerPixelRotator final : public ShearRotator {
 public:
  explicit PerPixelRotator(uint32_t background) : ShearRotator(background), inner_(background) {}
  uint32_t ReadPixel(EngineImage im, int w, int h, int x, int y) override {
    return inner_.ReadPixel(im, w, h, x, y);
  }
  void WritePixel(EngineImage im, int w, int h, int x, int y, uint32_t c) override {
    inner_.WritePixel(im, w, h, x, y, c);
  }
  EngineImage NewImage(int w, int h) override { return inner_.NewImage(w, h); }
  EngineImage CloneImage(EngineImage im, int w, int h) override {
    return inner_.CloneImage(im, w, h);
  }
  void FreeImage(EngineImage im, int w, int h) override { inner_.FreeImage(im, w, h); }

 private:
  ImageShearRotator inner_;
};

TEST(ShearRotator, LineFastPathGivesThePerPixelResult) {
  test::Reference source(37, 23);
  test::PaintPattern(source.get(), 30);
  gdImageSetPixel(source.get(), 4, 4, -1);  // a raw -1 reads as background
  for (double angle : {0.0, 10.0, 30.0, 45.0, -44.0, 90.0, 100.0, 200.0, 300.0, 330.0}) {
    ImageShearRotator fast(0x123456);
    PerPixelRotator slow(0x123456);
    EngineSize fastSize, slowSize;
    auto a = static_cast<gdImagePtr>(fast.RotateAnyAngle(source.get(), 36, 22, angle, &fastSize));
    auto b = static_cast<gdImagePtr>(slow.RotateAnyAngle(source.get(), 36, 22, angle, &slowSize));
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(test::FirstDifference(a, b), "") << angle;
    EXPECT_EQ(Size(a), std::to_string(fastSize.width) + "x" + std::to_string(fastSize.height));
    gdImageDestroy(a);
    gdImageDestroy(b);
  }
}

// Makes images through the libgd implementation but refuses the n-th one,
// and counts the images alive.
class RefusingRotator final : public ShearRotator {
 public:
  explicit RefusingRotator(int refuse) : ShearRotator(0), refuse_(refuse), inner_(0) {}
  uint32_t ReadPixel(EngineImage im, int w, int h, int x, int y) override {
    return inner_.ReadPixel(im, w, h, x, y);
  }
  void WritePixel(EngineImage im, int w, int h, int x, int y, uint32_t c) override {
    inner_.WritePixel(im, w, h, x, y, c);
  }
  EngineImage NewImage(int w, int h) override {
    if (++made_ == refuse_) return nullptr;
    ++alive_;
    return inner_.NewImage(w, h);
  }
  EngineImage CloneImage(EngineImage im, int w, int h) override {
    EngineImage clone = NewImage(w, h);
    if (clone != nullptr) {
      gdImageCopy(static_cast<gdImagePtr>(clone), static_cast<gdImagePtr>(im), 0, 0, 0, 0, w, h);
    }
    return clone;
  }
  void FreeImage(EngineImage im, int w, int h) override {
    --alive_;
    inner_.FreeImage(im, w, h);
  }
  int alive() const { return alive_; }

 private:
  int refuse_, made_ = 0, alive_ = 0;
  ImageShearRotator inner_;
};

// An image that cannot be made ends the rotation with nothing left alive.
TEST(ShearRotator, ImageThatCannotBeMadeFreesTheOthers) {
  test::Reference source(20, 16);
  for (double angle : {30.0, 120.0, 0.0, 90.0}) {
    for (int refuse = 1; refuse <= 4; ++refuse) {
      RefusingRotator engine(refuse);
      EngineSize size;
      EngineImage result = engine.RotateAnyAngle(source.get(), 19, 15, angle, &size);
      // Images made: a quarter turn's one, then the three shears or a clone.
      const int needed = (angle == 120.0 || angle == 90.0 ? 1 : 0) + (angle == 0.0 || angle == 90.0 ? 1 : 3);
      const bool expectResult = refuse > needed;
      EXPECT_EQ(result != nullptr, expectResult) << angle << " " << refuse;
      EXPECT_EQ(engine.alive(), result != nullptr ? 1 : 0) << angle << " " << refuse;
      if (result != nullptr) engine.FreeImage(result, size.width, size.height);
    }
  }
}

}  // namespace
}  // namespace morphel
