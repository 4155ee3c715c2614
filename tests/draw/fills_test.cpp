// Flood fill by colour and the bounded fill.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "draw/draw_fixture.h"
#include "draw/draw_p.h"

namespace morphel {
namespace {

using test::CountPainted;
using test::Current;
using test::FirstDifference;
using test::ObjectHolder;
using test::Reference;

constexpr int kWhite = 0x00FFFFFF;
constexpr int kRed = 0x00FF0000;

TEST(Fill, RepaintsTheConnectedRegion) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(40, 40), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj->DrawRectangle(10, 10, 30, 30), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->Fill(20, 20), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), kRed), 40 * 40 - 19 * 19);
  EXPECT_EQ(test::Raw(obj, 11, 11), kRed);
  EXPECT_EQ(test::Raw(obj, 10, 10), kWhite);
  EXPECT_EQ(test::Raw(obj, 5, 5), 0);
}

TEST(Fill, PixelAlreadyInThePenColourChangesNothing) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(20, 20), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  ASSERT_EQ(obj->DrawLine(0, 5, 19, 5), S_OK);
  EXPECT_EQ(obj->Fill(3, 5), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 20);
}

// The library takes a start one column past the last as a pixel of value 0
// and repaints the image; the component fills nothing from outside.
TEST(Fill, StartOutsideTheImageFillsNothing) {
  {
    Reference lib(100, 100);
    gdImageFill(lib.get(), 100, 50, kRed);
    ASSERT_EQ(CountPainted(lib.get()), 100 * 100);  // the library's reading
  }
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(100, 100), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->Fill(100, 50), S_OK);
  EXPECT_EQ(obj->Fill(50, 100), S_OK);
  EXPECT_EQ(obj->Fill(-1, 0), S_OK);
  EXPECT_EQ(obj->Fill(0, -1), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 0);
}

// Two regions of pixel value 0 (black on a new canvas, entry 0 of a palette)
// that both reach the right edge are still two regions.
TEST(Fill, RegionsOfValueZeroMeetingTheRightEdgeStaySeparate) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(100, 100), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj->DrawLine(0, 50, 99, 50), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->Fill(10, 10), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), kRed), 100 * 100 - 50 * 100);
  EXPECT_EQ(test::Raw(obj, 99, 49), kRed);
  EXPECT_EQ(test::Raw(obj, 99, 51), 0);
  EXPECT_EQ(test::Raw(obj, 0, 99), 0);
}

TEST(Fill, PaletteRegionsOfEntryZeroMeetingTheRightEdgeStaySeparate) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(100, 100), S_OK);
  ASSERT_EQ(obj->SetColor(0, 0, 0), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj->DrawLine(0, 50, 99, 50), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->Fill(10, 10), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), 2), 100 * 100 - 50 * 100);
  EXPECT_EQ(CountPainted(Current(obj), 0), 50 * 100 + 100);
}

TEST(Fill, ImagesNarrowerThanFourPixelsFillTheWholeRegion) {
  for (int w = 1; w <= 3; ++w) {
    ObjectHolder obj;
    ASSERT_EQ(obj->CreateImage(w, 5), S_OK);
    ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
    EXPECT_EQ(obj->Fill(w - 1, 4), S_OK);
    EXPECT_EQ(CountPainted(Current(obj), kRed), 0) << "width " << w;
  }
  // A wall across all but the last column: the region goes round its end.
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(3, 5), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj->DrawLine(0, 2, 1, 2), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->Fill(0, 4), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), kRed), 2);
  EXPECT_EQ(test::Raw(obj, 0, 0), kRed);
}

// The 4-connected region of the start pixel's value, found by a plain search.
int ExpectedRegion(gdImagePtr im, int x, int y, std::vector<char> &in) {
  const int w = gdImageSX(im), h = gdImageSY(im), old = gdImageGetPixel(im, x, y);
  in.assign(static_cast<size_t>(w * h), 0);
  std::vector<std::pair<int, int>> todo = {{x, y}};
  int count = 0;
  while (!todo.empty()) {
    const auto [px, py] = todo.back();
    todo.pop_back();
    if (px < 0 || py < 0 || px >= w || py >= h || in[py * w + px]) continue;
    if (gdImageGetPixel(im, px, py) != old) continue;
    in[py * w + px] = 1;
    ++count;
    todo.insert(todo.end(), {{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}});
  }
  return count;
}

TEST(Fill, RepaintsExactlyTheFourConnectedRegionOnScatteredImages) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    const int w = 1 + static_cast<int>(seed % 9), h = 1 + static_cast<int>(seed * 7 % 11);
    ObjectHolder obj;
    ASSERT_EQ(obj->CreateImage(w, h), S_OK);
    gdImagePtr im = Current(obj);
    uint32_t r = seed;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        r = r * 1664525u + 1013904223u;
        gdImageSetPixel(im, x, y, (r >> 24) % 100 < 40 ? kWhite : 0);
      }
    }
    const int x = static_cast<int>(seed * 5 % w), y = static_cast<int>(seed * 3 % h);
    std::vector<char> in;
    const int region = ExpectedRegion(im, x, y, in);
    ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
    ASSERT_EQ(obj->Fill(x, y), S_OK);
    int red = 0, stray = 0;
    for (int py = 0; py < h; ++py) {
      for (int px = 0; px < w; ++px) {
        const bool isRed = gdImageGetPixel(im, px, py) == kRed;
        red += isRed;
        stray += isRed && !in[py * w + px];
      }
    }
    EXPECT_EQ(red, region) << "seed " << seed;
    EXPECT_EQ(stray, 0) << "seed " << seed;
  }
}

// Where no pixel of the start colour has value 0 and the image is at least
// four pixels wide, the library's fill gives the same pixels.
TEST(Fill, SameResultAsTheLibraryAwayFromValueZero) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    const int w = 4 + static_cast<int>(seed % 30), h = 1 + static_cast<int>(seed * 7 % 25);
    ObjectHolder obj;
    ASSERT_EQ(obj->CreateImage(w, h), S_OK);
    Reference lib(w, h);
    uint32_t r = seed;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        r = r * 1664525u + 1013904223u;
        const int c = (r >> 24) % 100 < 40 ? kWhite : 0x123456;
        gdImageSetPixel(Current(obj), x, y, c);
        gdImageSetPixel(lib.get(), x, y, c);
      }
    }
    const int x = static_cast<int>(seed * 5 % w), y = static_cast<int>(seed * 3 % h);
    ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
    ASSERT_EQ(obj->Fill(x, y), S_OK);
    gdImageFill(lib.get(), x, y, kRed);
    EXPECT_EQ(FirstDifference(Current(obj), lib.get()), "") << "seed " << seed;
  }
}

TEST(Fill, ReplacesEvenWithBlendingOnAndRestoresTheFlag) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ASSERT_EQ(obj->SetAlphaBlending(1), S_OK);
  ASSERT_EQ(obj->SetAlphaColor(255, 0, 0, 64), S_OK);
  EXPECT_EQ(obj->Fill(5, 5), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), 0x40FF0000), 0);
  EXPECT_EQ(Current(obj)->alphaBlendingFlag, 1);
}

TEST(Fill, PalettePenPastTheEntriesFillsNothing) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(0, 0, 0), S_OK);
  obj->penColor = 5;  // resolved against another palette
  EXPECT_EQ(obj->Fill(5, 5), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), 0), 0);
}

TEST(FillToBorder, StopsAtTheBorderColour) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(60, 60), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  ASSERT_EQ(obj->DrawEllipse(30, 30, 40, 40), S_OK);
  ASSERT_EQ(obj->SetBorderColor(), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->FillToBorder(30, 30), S_OK);
  EXPECT_EQ(test::Raw(obj, 30, 30), kRed);
  EXPECT_EQ(test::Raw(obj, 45, 30), kRed);
  EXPECT_EQ(test::Raw(obj, 50, 30), kWhite);
  EXPECT_EQ(test::Raw(obj, 0, 0), 0);
  EXPECT_EQ(test::Raw(obj, 55, 30), 0);
}

TEST(FillToBorder, BorderColourNoPixelHasCoversTheImage) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(30, 20), S_OK);
  ASSERT_EQ(obj->SetColor(0, 0, 255), S_OK);
  ASSERT_EQ(obj->SetBorderColor(), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->FillToBorder(7, 7), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), kRed), 0);
  EXPECT_EQ(CountPainted(Current(obj), 0), 30 * 20);
}

TEST(FillToBorder, StartOutsideIsMovedOntoTheEdgeAsTheLibraryDoes) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(30, 20), S_OK);
  ASSERT_EQ(obj->SetColor(0, 0, 255), S_OK);
  ASSERT_EQ(obj->SetBorderColor(), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->FillToBorder(-10, -10), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), kRed), 0);
}

TEST(FillToBorder, ReplacesEvenWithBlendingOnAndRestoresTheFlag) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 10), S_OK);
  ASSERT_EQ(obj->SetColor(0, 0, 255), S_OK);
  ASSERT_EQ(obj->SetBorderColor(), S_OK);
  ASSERT_EQ(obj->SetAlphaBlending(1), S_OK);
  ASSERT_EQ(obj->SetAlphaColor(255, 0, 0, 64), S_OK);
  EXPECT_EQ(obj->FillToBorder(5, 5), S_OK);
  EXPECT_EQ(test::Raw(obj, 5, 5), 0x40FF0000);
  EXPECT_EQ(Current(obj)->alphaBlendingFlag, 1);
}

// A small deterministic pseudo-random pattern of border, pen and other pixels.
void Scatter(gdImagePtr im, uint32_t seed, int border, int pen) {
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int r = static_cast<int>((seed >> 24) % 100);
      gdImageSetPixel(im, x, y, r < 35 ? border : (r < 45 ? pen : (r < 60 ? 0x123456 : 0)));
    }
  }
}

// The library's recursive fill serves as the oracle where it is shallow enough.
TEST(FillToBorder, SameResultAsTheLibraryOnScatteredImages) {
  const int border = 0x0000FF, pen = kRed;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    Reference ours(48, 40), lib(48, 40);
    Scatter(ours.get(), seed, border, pen);
    Scatter(lib.get(), seed, border, pen);
    const int x = static_cast<int>(seed * 7 % 48), y = static_cast<int>(seed * 5 % 40);
    ASSERT_TRUE(FillToBorderColour(ours.get(), x, y, border, pen));
    gdImageFillToBorder(lib.get(), x, y, border, pen);
    EXPECT_EQ(FirstDifference(ours.get(), lib.get()), "") << "seed " << seed;
  }
}

TEST(FillToBorder, SameResultAsTheLibraryWhenBorderAndPenAreOneColour) {
  for (uint32_t seed = 50; seed < 70; ++seed) {
    Reference ours(40, 30), lib(40, 30);
    Scatter(ours.get(), seed, kRed, kRed);
    Scatter(lib.get(), seed, kRed, kRed);
    const int x = static_cast<int>(seed * 3 % 40), y = static_cast<int>(seed % 30);
    ASSERT_TRUE(FillToBorderColour(ours.get(), x, y, kRed, kRed));
    gdImageFillToBorder(lib.get(), x, y, kRed, kRed);
    EXPECT_EQ(FirstDifference(ours.get(), lib.get()), "") << "seed " << seed;
  }
}

TEST(FillToBorder, SameResultAsTheLibraryOnPaletteImages) {
  gdImagePtr ours = gdImageCreate(30, 30), lib = gdImageCreate(30, 30);
  for (gdImagePtr im : {ours, lib}) {
    for (int i = 0; i < 4; ++i) gdImageColorAllocate(im, i * 60, 0, 0);
    Scatter(im, 99, 1, 2);
  }
  ASSERT_TRUE(FillToBorderColour(ours, 15, 15, 1, 2));
  gdImageFillToBorder(lib, 15, 15, 1, 2);
  EXPECT_EQ(FirstDifference(ours, lib), "");
  // Colours past the palette's entries fill nothing, as in the library.
  ASSERT_TRUE(FillToBorderColour(ours, 15, 15, 1, 9));
  EXPECT_EQ(FirstDifference(ours, lib), "");
  gdImageDestroy(ours);
  gdImageDestroy(lib);
}

// One run per row along a single winding path: the library's recursion goes
// about four million calls deep here and overflows the stack.
TEST(FillToBorder, LargeSerpentineMazeIsFilledCompletely) {
  constexpr int kSize = 2000;
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(kSize, kSize), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
  int wall = 0;
  for (int x = 1; x < kSize; x += 2) {
    // Walls in every odd column, open alternately at the bottom and the top.
    const bool openAtBottom = x % 4 == 1;
    ASSERT_EQ(obj->DrawLine(x, openAtBottom ? 0 : 1, x, openAtBottom ? kSize - 2 : kSize - 1),
              S_OK);
    wall += kSize - 1;
  }
  ASSERT_EQ(obj->SetBorderColor(), S_OK);
  ASSERT_EQ(obj->SetColor(255, 0, 0), S_OK);
  EXPECT_EQ(obj->FillToBorder(0, 0), S_OK);
  EXPECT_EQ(CountPainted(Current(obj), kRed), wall);  // every corridor pixel is red
  EXPECT_EQ(CountPainted(Current(obj), 0), kSize * kSize);
  EXPECT_EQ(test::Raw(obj, kSize - 2, 0), kRed);
}

}  // namespace
}  // namespace morphel
