// Copies between slots: the same pixels (and palette) as the library's call
// made directly on identical images, huge arguments cut to the destination,
// and the failure rules.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <tuple>

#include "draw/draw_p.h"
#include "transform/transform_fixture.h"

namespace morphel {
namespace {

using test::ObjectHolder;
using test::PatternedSlot;

// An operation called through the object, and the library call it stands for.
struct CopyCall {
  const char *name;
  std::function<HRESULT(Images &, int dstSlot, int srcSlot)> operation;
  std::function<void(gdImagePtr dst, gdImagePtr src)> library;
  // Which destinations the comparison holds for.
  bool paletteDestination = true;
  bool trueColourDestination = true;
};

// The rotated copy is compared with the library's call made with the source's
// transparency switched off, as the operation makes it.
void LibraryRotated(gdImagePtr dst, gdImagePtr src, double x, double y, int sx, int sy, int w,
                    int h, int angle) {
  const int transparent = src->transparent;
  src->transparent = -1;
  gdImageCopyRotated(dst, src, x, y, sx, sy, w, h, angle);
  src->transparent = transparent;
}

std::vector<CopyCall> OrdinaryCalls() {
  return {
      {"copy inside", [](Images &o, int d, int s) { return o.CopyImage(d, s, 3, 4, 5, 6, 20, 10); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopy(d, s, 3, 4, 5, 6, 20, 10); }},
      {"copy across both edges",
       [](Images &o, int d, int s) { return o.CopyImage(d, s, -7, 30, 25, -4, 60, 30); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopy(d, s, -7, 30, 25, -4, 60, 30); }},
      {"copy of nothing", [](Images &o, int d, int s) { return o.CopyImage(d, s, 0, 0, 0, 0, -5, 9); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopy(d, s, 0, 0, 0, 0, -5, 9); }},
      {"resize down",
       [](Images &o, int d, int s) { return o.CopyImageResize(d, s, 2, 2, 1, 1, 13, 9, 37, 23); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopyResampled(d, s, 2, 2, 1, 1, 13, 9, 37, 23); }},
      {"resize up across the edge",
       [](Images &o, int d, int s) { return o.CopyImageResize(d, s, -5, 10, 30, 20, 70, 50, 15, 11); },
       [](gdImagePtr d, gdImagePtr s) {
         gdImageCopyResampled(d, s, -5, 10, 30, 20, 70, 50, 15, 11);
       }},
      {"merge 35",
       [](Images &o, int d, int s) { return o.CopyImageMerge(d, s, 1, 2, 3, 4, 30, 20, 35); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopyMerge(d, s, 1, 2, 3, 4, 30, 20, 35); }},
      {"merge 100 across the edge",
       [](Images &o, int d, int s) { return o.CopyImageMerge(d, s, 40, -3, -2, 5, 30, 20, 100); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopyMerge(d, s, 40, -3, -2, 5, 30, 20, 100); }},
      {"rotate 30",
       [](Images &o, int d, int s) { return o.CopyImageSimpleRotate(d, s, 25, 20, 5, 5, 20, 14, 30); },
       [](gdImagePtr d, gdImagePtr s) { LibraryRotated(d, s, 25, 20, 5, 5, 20, 14, 30); }},
      {"rotate -100 at the corner",
       [](Images &o, int d, int s) { return o.CopyImageSimpleRotate(d, s, 0, 0, 0, 0, 30, 9, -100); },
       [](gdImagePtr d, gdImagePtr s) { LibraryRotated(d, s, 0, 0, 0, 0, 30, 9, -100); }},
  };
}

struct Pairing {
  const char *name;
  bool dstPalette, srcPalette, sameSlot;
};
constexpr Pairing kPairings[] = {
    {"true colour", false, false, false},          {"palette source", false, true, false},
    {"palette destination", true, false, false},   {"palette both", true, true, false},
    {"same true-colour slot", false, false, true}, {"same palette slot", true, true, true}};

// Runs call through the object on slots 0 (destination) and 1 (source), and
// the library's call on clones; the images must come out identical.
void ExpectSameAsLibrary(const CopyCall &call, const Pairing &pairing) {
  ObjectHolder obj;
  gdImagePtr dst = PatternedSlot(obj, 0, 50, 40, pairing.dstPalette);
  gdImagePtr src = pairing.sameSlot ? dst : PatternedSlot(obj, 1, 45, 35, pairing.srcPalette, 20);
  SetTransparentColour(src, gdImageGetPixel(src, 8, 8));  // skipped by copy and merge
  gdImagePtr refDst = test::Duplicate(dst);
  gdImagePtr refSrc = pairing.sameSlot ? refDst : test::Duplicate(src);
  obj->SetImage(4);
  EXPECT_EQ(call.operation(*obj.get(), 0, pairing.sameSlot ? 0 : 1), S_OK);
  call.library(refDst, refSrc);
  EXPECT_EQ(test::FirstDifference(dst, refDst), "") << call.name << ", " << pairing.name;
  EXPECT_EQ(gdImageColorsTotal(dst), gdImageColorsTotal(refDst)) << call.name;
  EXPECT_EQ(dst->transparent, refDst->transparent) << call.name;
  EXPECT_EQ(obj->currentSlot, 4);
  if (refSrc != refDst) gdImageDestroy(refSrc);
  gdImageDestroy(refDst);
}

TEST(Copies, GiveTheLibrarysPixels) {
  for (const CopyCall &call : OrdinaryCalls()) {
    for (const Pairing &pairing : kPairings) ExpectSameAsLibrary(call, pairing);
  }
}

// Calls whose loops run far beyond the images, and a library call that
// gives the same result with a loop the size of the images.
std::vector<CopyCall> HugeCalls() {
  constexpr int kMax = INT_MAX, kMin = INT_MIN;
  return {
      {"copy of the largest rectangle",
       [](Images &o, int d, int s) { return o.CopyImage(d, s, 0, 0, 0, 0, kMax, kMax); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopy(d, s, 0, 0, 0, 0, 51, 41); }},
      {"copy from the lowest coordinates",
       [](Images &o, int d, int s) {
         return o.CopyImage(d, s, kMin + 10, kMin + 7, kMin + 10, kMin + 7, kMax, kMax);
       },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopy(d, s, 0, 0, 0, 0, 9, 6); }, false},
      {"copy from the highest coordinates",
       [](Images &o, int d, int s) { return o.CopyImage(d, s, 3, 2, kMax - 5, 1, kMax, 20); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopy(d, s, 3, 2, -1000, 1, 60, 20); }},
      {"merge of the largest rectangle",
       [](Images &o, int d, int s) { return o.CopyImageMerge(d, s, -3, 0, 0, 0, kMax, kMax, 60); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopyMerge(d, s, -3, 0, 0, 0, 54, 41, 60); }},
      {"resize one to one at the largest size",
       [](Images &o, int d, int s) {
         return o.CopyImageResize(d, s, 0, 0, 0, 0, kMax, kMax, kMax, kMax);
       },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopyResampled(d, s, 0, 0, 0, 0, 50, 40, 50, 40); },
       false},
      {"rotation with a wrapping radius draws nothing",
       [](Images &o, int d, int s) { return o.CopyImageSimpleRotate(d, s, 9, 9, 0, 0, 50000, 10, 5); },
       [](gdImagePtr d, gdImagePtr s) { LibraryRotated(d, s, 9, 9, 0, 0, 50000, 10, 5); }},
  };
}

// Just above the size the library is called with directly, where the work
// is still small enough to compare with the library's own call.
std::vector<CopyCall> LargeCalls() {
  return {
      {"resize of a long strip",
       [](Images &o, int d, int s) {
         return o.CopyImageResize(d, s, -3, 2, 0, 0, 200000, 30, 150, 10);
       },
       [](gdImagePtr d, gdImagePtr s) {
         gdImageCopyResampled(d, s, -3, 2, 0, 0, 200000, 30, 150, 10);
       }},
      {"nearest-pixel resize of a long strip onto a full palette",
       [](Images &o, int d, int s) {
         return o.CopyImageResize(d, s, -3, 2, 1, 0, 700000, 30, 40, 30);
       },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopyResampled(d, s, -3, 2, 1, 0, 700000, 30, 40, 30); },
       true, false},
      {"rotation of a large rectangle",
       [](Images &o, int d, int s) {
         return o.CopyImageSimpleRotate(d, s, 20, 30, -1400, -1500, 3000, 3000, 20);
       },
       [](gdImagePtr d, gdImagePtr s) { LibraryRotated(d, s, 20, 30, -1400, -1500, 3000, 3000, 20); }},
      {"copy of a large rectangle",
       [](Images &o, int d, int s) { return o.CopyImage(d, s, -2000, -1500, -2010, -1502, 5000, 4000); },
       [](gdImagePtr d, gdImagePtr s) { gdImageCopy(d, s, -2000, -1500, -2010, -1502, 5000, 4000); }},
  };
}

TEST(Copies, HugeArgumentsGiveTheLibrarysPixelsQuickly) {
  std::vector<CopyCall> calls = HugeCalls();
  for (CopyCall &call : LargeCalls()) calls.push_back(call);
  for (const CopyCall &call : calls) {
    for (const Pairing &pairing : kPairings) {
      if (pairing.sameSlot || (pairing.dstPalette && !call.paletteDestination) ||
          (!pairing.dstPalette && !call.trueColourDestination)) {
        continue;
      }
      ExpectSameAsLibrary(call, pairing);
    }
  }
}

// A resample that would average billions of source pixels for each
// destination pixel is refused; a nearest-pixel resize onto a palette image
// shows the visible part, here all of it the source's first pixel.
TEST(Copies, HugeResizes) {
  for (bool palette : {false, true}) {
    ObjectHolder obj;
    gdImagePtr dst = PatternedSlot(obj, 0, 20, 20, palette);
    gdImagePtr src = PatternedSlot(obj, 1, 20, 20);
    gdImagePtr before = test::Duplicate(dst);
    if (!palette) {
      test::ExpectRefused(
          [&] { return obj->CopyImageResize(0, 1, 0, 0, 0, 0, 10, 10, INT_MAX, 9); });
      EXPECT_EQ(test::FirstDifference(dst, before), "");
    } else {
      EXPECT_EQ(obj->CopyImageResize(0, 1, 0, 0, 0, 0, INT_MAX, INT_MAX, 20, 20), S_OK);
      const int first = PackedPixel(src, 0, 0);
      int others = 0;
      for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) others += PackedPixel(dst, x, y) != first;
      }
      EXPECT_EQ(others, 0);
    }
    gdImageDestroy(before);
  }
}

// Onto a palette image with free entries, a resize or rotation too large for
// the library's own loop gives the palette the entries, in the order, that
// the library's call gives it, for colours landing outside the destination
// and read outside the source too.
TEST(Copies, LargeCallsOntoAPaletteWithFreeEntriesAllocateAsTheLibrary) {
  const CopyCall calls[] = {
      {"resize",
       [](Images &o, int d, int s) {
         return o.CopyImageResize(d, s, -350000, 2, -5, -2, 700000, 33, 45, 33);
       },
       [](gdImagePtr d, gdImagePtr s) {
         gdImageCopyResampled(d, s, -350000, 2, -5, -2, 700000, 33, 45, 33);
       }},
      {"rotation",
       [](Images &o, int d, int s) {
         return o.CopyImageSimpleRotate(d, s, 10, 10, -1480, -1490, 3000, 3000, 30);
       },
       [](gdImagePtr d, gdImagePtr s) {
         LibraryRotated(d, s, 10, 10, -1480, -1490, 3000, 3000, 30);
       }},
  };
  for (const CopyCall &call : calls) {
    for (bool paletteSource : {false, true}) {
      ObjectHolder obj;
      obj->SetImage(0);
      ASSERT_EQ(obj->CreateImagePalette(50, 40), S_OK);
      obj->SetColor(9, 9, 9);
      obj->DrawFilledRectangle(0, 0, 49, 39);
      gdImagePtr dst = obj->CurrentImage();
      gdImagePtr src = PatternedSlot(obj, 1, 40, 30, paletteSource);
      SetTransparentColour(src, gdImageGetPixel(src, 3, 3));
      gdImagePtr refDst = test::Duplicate(dst), refSrc = test::Duplicate(src);
      EXPECT_EQ(call.operation(*obj.get(), 0, 1), S_OK);
      call.library(refDst, refSrc);
      EXPECT_EQ(test::FirstDifference(dst, refDst), "") << call.name << " " << paletteSource;
      ASSERT_EQ(gdImageColorsTotal(dst), gdImageColorsTotal(refDst)) << call.name;
      for (int i = 0; i < gdImageColorsTotal(dst); ++i) {
        EXPECT_EQ(std::tuple(dst->red[i], dst->green[i], dst->blue[i], dst->alpha[i]),
                  std::tuple(refDst->red[i], refDst->green[i], refDst->blue[i], refDst->alpha[i]))
            << call.name << " " << paletteSource << " entry " << i;
      }
      gdImageDestroy(refDst);
      gdImageDestroy(refSrc);
    }
  }
}

// The nearest-pixel resize onto a palette image, computed by the component,
// gives the pixels and palette of the library's call on varied shapes:
// shrinking and stretching, rectangles partly or wholly outside either image,
// a transparent source colour, a palette filling up, an image onto itself.
TEST(Copies, PaletteResizeIsTheLibrarysOnVariedCalls) {
  unsigned seed = 2026;
  auto pick = [&seed](int lo, int hi) {
    seed = seed * 1103515245u + 12345u;
    return lo + static_cast<int>((seed >> 8) % static_cast<unsigned>(hi - lo + 1));
  };
  for (int n = 0; n < 400; ++n) {
    ObjectHolder obj;
    const bool same = pick(0, 5) == 0;
    gdImagePtr dst = PatternedSlot(obj, 0, pick(1, 40), pick(1, 30), true);
    gdImagePtr src = same ? dst : PatternedSlot(obj, 1, pick(1, 40), pick(1, 30), pick(0, 1) == 1);
    if (pick(0, 2) == 0) SetTransparentColour(src, gdImageGetPixel(src, 0, 0));
    const int args[8] = {pick(-20, 40), pick(-20, 30), pick(-20, 40), pick(-20, 30),
                         pick(1, 70),   pick(1, 50),   pick(-3, 60),  pick(-3, 45)};
    gdImagePtr refDst = test::Duplicate(dst);
    gdImagePtr refSrc = same ? refDst : test::Duplicate(src);
    SCOPED_TRACE(n);
    ASSERT_EQ(obj->CopyImageResize(0, same ? 0 : 1, args[0], args[1], args[2], args[3], args[4],
                                   args[5], args[6], args[7]),
              S_OK);
    gdImageCopyResampled(refDst, refSrc, args[0], args[1], args[2], args[3], args[4], args[5],
                         args[6], args[7]);
    ASSERT_EQ(test::FirstDifference(dst, refDst), "");
    ASSERT_EQ(gdImageColorsTotal(dst), gdImageColorsTotal(refDst));
    for (int i = 0; i < gdImageColorsTotal(dst); ++i) {
      ASSERT_EQ(std::tuple(dst->red[i], dst->green[i], dst->blue[i], dst->alpha[i], dst->open[i]),
                std::tuple(refDst->red[i], refDst->green[i], refDst->blue[i], refDst->alpha[i],
                           refDst->open[i]))
          << "entry " << i;
    }
    gdImageDestroy(refDst);
    if (!same) gdImageDestroy(refSrc);
  }
}

// A one-to-one resample reads one sample per pixel: onto a destination of
// thirty million pixels it is computed, not refused. Pixels beyond the source
// average its out-of-image reads, 0.
TEST(Copies, LargeOneToOneResampleIsDone) {
  ObjectHolder obj;
  obj->SetImage(0);
  ASSERT_EQ(obj->CreateImage(6000, 5000), S_OK);
  gdImagePtr dst = obj->CurrentImage();
  gdImageFilledRectangle(dst, 0, 0, 5999, 4999, gdTrueColor(1, 2, 3));
  gdImagePtr src = PatternedSlot(obj, 1, 20, 10);
  EXPECT_EQ(obj->CopyImageResize(0, 1, 0, 0, 0, 0, 6000, 5000, 6000, 5000), S_OK);
  EXPECT_EQ(gdImageGetPixel(dst, 19, 9), gdImageGetPixel(src, 19, 9));
  EXPECT_EQ(gdImageGetPixel(dst, 5999, 4999), 0);
}

// Every failure is "NO IMAGE!"; the destination is looked up first, and a
// refused call changes nothing.
TEST(Copies, FailuresReportNoImageAndChangeNothing) {
  using Call = std::function<HRESULT(Images &, int, int, int)>;
  const Call calls[] = {
      [](Images &o, int d, int s, int) { return o.CopyImage(d, s, 0, 0, 0, 0, 5, 5); },
      [](Images &o, int d, int s, int) { return o.CopyImageResize(d, s, 0, 0, 0, 0, 5, 5, 3, 3); },
      [](Images &o, int d, int s, int pct) { return o.CopyImageMerge(d, s, 0, 0, 0, 0, 5, 5, pct); },
      [](Images &o, int d, int s, int) {
        return o.CopyImageSimpleRotate(d, s, 2, 2, 0, 0, 5, 5, 45);
      },
  };
  const struct {
    int dst, src, pct;
    bool merge;  // the case applies to the merge only
  } cases[] = {{3, 3, 50, false}, {3, 0, 50, false}, {0, 3, 50, false}, {-1, 0, 50, false},
               {0, 10, 50, false}, {10, 0, 50, false}, {0, 1, -1, true},  {0, 1, 101, true}};
  for (const Call &call : calls) {
    for (const auto &c : cases) {
      if (c.merge && &call != &calls[2]) continue;
      ObjectHolder obj;
      gdImagePtr dst = PatternedSlot(obj, 0, 10, 10);
      PatternedSlot(obj, 1, 10, 10, false, 0);
      obj->SetColor(0, 255, 0);
      gdImageFilledRectangle(obj->slotImages[1], 0, 0, 9, 9, gdTrueColor(0, 255, 0));
      gdImagePtr before = test::Duplicate(dst);
      obj->SetImage(2);
      test::ExpectNoImage(call(*obj.get(), c.dst, c.src, c.pct));
      EXPECT_EQ(test::FirstDifference(dst, before), "") << c.dst << " " << c.src << " " << c.pct;
      EXPECT_EQ(obj->currentSlot, 2);
      gdImageDestroy(before);
    }
  }
}

TEST(Copies, MergeAcceptsTheWholePercentRange) {
  for (int pct : {0, 100}) {
    ObjectHolder obj;
    PatternedSlot(obj, 0, 10, 10);
    PatternedSlot(obj, 1, 10, 10);
    EXPECT_EQ(obj->CopyImageMerge(0, 1, 0, 0, 0, 0, 10, 10, pct), S_OK);
  }
}

}  // namespace
}  // namespace morphel
