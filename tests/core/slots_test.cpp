// Creating, selecting, measuring and destroying images in the ten slots.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace morphel {
namespace {

using test::ObjectHolder;
using test::TakeErrorInfo;

void ExpectNoImageError() {
  test::ErrorText error = TakeErrorInfo();
  EXPECT_TRUE(error.present);
  EXPECT_EQ(error.source, "Morphel");
  EXPECT_EQ(error.description, "NO IMAGE!");
  EXPECT_TRUE(error.guid == IID_IUnknown);
}

TEST(ImageSlots, NewObjectHasTheDefaults) {
  ObjectHolder obj;
  INT value = -99;
  EXPECT_EQ(obj->GetImage(&value), S_OK);
  EXPECT_EQ(value, 0);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    EXPECT_EQ(obj->slotImages[slot], nullptr);
    EXPECT_EQ(obj->slotOwned[slot], 0);
  }
  EXPECT_EQ(obj->textAntialias, 1);
  EXPECT_EQ(obj->saveAlphaOnWrite, 1);
  EXPECT_EQ(obj->lineThickness, 1);
  EXPECT_EQ(obj->ttfFontSize, 10);
  EXPECT_EQ(obj->jpegQuality, -1);
  EXPECT_EQ(obj->imageType, 0);
  EXPECT_EQ(obj->penColor, 0);
  EXPECT_EQ(obj->builtinFontCode, 0);
  EXPECT_NE(obj->builtinFont, nullptr);
  EXPECT_EQ(obj->ttfFontName[0], '\0');
  EXPECT_EQ(obj->ttfFontPath[0], '\0');
}

TEST(ImageSlots, CreateImageAcceptsExactlyTheCeiling) {
  ObjectHolder obj;
  EXPECT_EQ(obj->CreateImage(6000, 6000), S_OK);
  INT w = 0, h = 0;
  EXPECT_EQ(obj->GetWidth(&w), S_OK);
  EXPECT_EQ(obj->GetHeight(&h), S_OK);
  EXPECT_EQ(w, 6000);
  EXPECT_EQ(h, 6000);
  EXPECT_EQ(obj->CreateImage(6001, 6000), E_INVALIDARG);
  EXPECT_EQ(obj->CreateImage(36000000, 1), S_OK);
  EXPECT_EQ(obj->CreateImage(1, 36000001), E_INVALIDARG);
}

TEST(ImageSlots, HugeSizesDoNotOverflow) {
  ObjectHolder obj;
  EXPECT_EQ(obj->CreateImage(65536, 65536), E_INVALIDARG);
  EXPECT_EQ(obj->CreateImage(2147483647, 2147483647), E_INVALIDARG);
  EXPECT_EQ(obj->CreateImagePalette(65536, 65537), E_INVALIDARG);
  test::ErrorText error = TakeErrorInfo();
  EXPECT_FALSE(error.present);  // range checks record nothing
}

TEST(ImageSlots, SizeCheckNeverOverflows) {
  EXPECT_TRUE(IsAcceptedSize(6000, 6000));
  EXPECT_FALSE(IsAcceptedSize(6001, 6000));
  EXPECT_FALSE(IsAcceptedSize(4000000000LL, 4000000000LL));
  EXPECT_FALSE(IsAcceptedSize(1LL << 62, 4));
  EXPECT_FALSE(IsAcceptedSize(0, 1));
}

TEST(ImageSlots, InvalidSizeStillEmptiesTheSlot) {
  for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-5, 10}}) {
    ObjectHolder obj;
    ASSERT_EQ(obj->CreateImage(20, 20), S_OK);
    EXPECT_EQ(obj->CreateImage(w, h), E_INVALIDARG);
    EXPECT_EQ(obj->slotImages[0], nullptr);
    EXPECT_EQ(obj->slotOwned[0], 0);
    INT width = 77;
    EXPECT_EQ(obj->GetWidth(&width), E_FAIL);
    EXPECT_EQ(width, 77);
    ExpectNoImageError();
    EXPECT_EQ(obj->DestroyAll(), S_OK);
  }
}

TEST(ImageSlots, CreateReplacesTheImageOfTheCurrentSlot) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(10, 20), S_OK);
  ASSERT_EQ(obj->CreateImagePalette(30, 40), S_OK);  // the first image is freed (LeakSanitizer)
  INT w = 0;
  LONG trueColor = -1;
  EXPECT_EQ(obj->GetWidth(&w), S_OK);
  EXPECT_EQ(w, 30);
  EXPECT_EQ(obj->GetTrueColor(&trueColor), S_OK);
  EXPECT_EQ(trueColor, 0);
  EXPECT_EQ(obj->slotOwned[0], 1);
}

TEST(ImageSlots, NewCanvasIsOpaqueBlackWithTheFlagsSet) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(3, 2), S_OK);
  gdImagePtr im = obj->CurrentImage();
  EXPECT_EQ(im->alphaBlendingFlag, 0);
  EXPECT_EQ(im->saveAlphaFlag, 1);
  EXPECT_EQ(im->thick, 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(gdImageGetPixel(im, x, y), 0);
  ASSERT_EQ(obj->CreateImagePalette(3, 2), S_OK);
  im = obj->CurrentImage();
  EXPECT_EQ(im->alphaBlendingFlag, 0);
  EXPECT_EQ(im->saveAlphaFlag, 0);
  EXPECT_EQ(gdImageColorsTotal(im), 0);
}

TEST(ImageSlots, CreateKeepsTheObjectSettings) {
  ObjectHolder obj;
  obj->penColor = 0x123456;
  ASSERT_EQ(obj->SetImage(4), S_OK);
  ASSERT_EQ(obj->CreateImagePalette(5, 5), S_OK);
  EXPECT_EQ(obj->penColor, 0x123456);
  EXPECT_EQ(obj->currentSlot, 4);
}

TEST(ImageSlots, SetImageSelectsWithinZeroToNine) {
  ObjectHolder obj;
  INT slot = -1;
  EXPECT_EQ(obj->SetImage(9), S_OK);
  EXPECT_EQ(obj->SetImage(10), E_INVALIDARG);
  EXPECT_EQ(obj->SetImage(-1), E_INVALIDARG);
  EXPECT_EQ(obj->SetImage(12), E_INVALIDARG);
  EXPECT_FALSE(TakeErrorInfo().present);
  EXPECT_EQ(obj->GetImage(&slot), S_OK);
  EXPECT_EQ(slot, 9);
}

TEST(ImageSlots, EachSlotKeepsItsOwnImage) {
  ObjectHolder obj;
  ASSERT_EQ(obj->SetImage(3), S_OK);
  ASSERT_EQ(obj->CreateImage(10, 20), S_OK);
  ASSERT_EQ(obj->SetImage(0), S_OK);
  INT w = 0;
  EXPECT_EQ(obj->GetWidth(&w), E_FAIL);
  ExpectNoImageError();
  ASSERT_EQ(obj->SetImage(3), S_OK);
  EXPECT_EQ(obj->GetWidth(&w), S_OK);
  EXPECT_EQ(w, 10);
}

TEST(ImageSlots, EmptySlotGettersFailAndWriteNothing) {
  ObjectHolder obj;
  INT value = 42;
  LONG flag = 42;
  EXPECT_EQ(obj->GetHeight(&value), E_FAIL);
  ExpectNoImageError();
  EXPECT_EQ(obj->GetTrueColor(&flag), E_FAIL);
  ExpectNoImageError();
  EXPECT_EQ(value, 42);
  EXPECT_EQ(flag, 42);
}

TEST(ImageSlots, NullResultPointersAreRefusedWithoutWriting) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(2, 2), S_OK);
  EXPECT_EQ(obj->GetWidth(nullptr), E_POINTER);
  EXPECT_EQ(obj->GetHeight(nullptr), E_POINTER);
  EXPECT_EQ(obj->GetImage(nullptr), E_POINTER);
  EXPECT_EQ(obj->GetTrueColor(nullptr), E_POINTER);
  EXPECT_EQ(obj->DestroyImage(nullptr), E_POINTER);
  EXPECT_NE(obj->CurrentImage(), nullptr);  // nothing destroyed by the refused call
}

TEST(ImageSlots, DestroyImageReportsWhetherAnImageWasThere) {
  ObjectHolder obj;
  LONG was = -1;
  EXPECT_EQ(obj->DestroyImage(&was), E_FAIL);
  EXPECT_EQ(was, 0);
  ExpectNoImageError();
  ASSERT_EQ(obj->CreateImage(4, 4), S_OK);
  EXPECT_EQ(obj->DestroyImage(&was), S_OK);
  EXPECT_EQ(was, 1);
  EXPECT_EQ(obj->slotOwned[0], 0);
  EXPECT_EQ(obj->DestroyImage(&was), E_FAIL);
  EXPECT_EQ(was, 0);
  INT slot = -1;
  EXPECT_EQ(obj->GetImage(&slot), S_OK);
  EXPECT_EQ(slot, 0);
}

TEST(ImageSlots, DestroyAllEmptiesEverySlotAndKeepsSettings) {
  ObjectHolder obj;
  EXPECT_EQ(obj->DestroyAll(), S_OK);
  for (int slot : {0, 5, 9}) {
    ASSERT_EQ(obj->SetImage(slot), S_OK);
    ASSERT_EQ(obj->CreateImage(3, 3), S_OK);
  }
  obj->penColor = 7;
  EXPECT_EQ(obj->DestroyAll(), S_OK);
  EXPECT_EQ(obj->DestroyAll(), S_OK);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    EXPECT_EQ(obj->slotImages[slot], nullptr);
    EXPECT_EQ(obj->slotOwned[slot], 0);
  }
  EXPECT_EQ(obj->currentSlot, 9);
  EXPECT_EQ(obj->penColor, 7);
}

TEST(ImageSlots, ReleaseDestroysOwnedImages) {
  // LeakSanitizer catches an image left behind by the final release.
  auto *object = new Images();
  object->AddRef();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    ASSERT_EQ(object->SetImage(slot), S_OK);
    ASSERT_EQ(object->CreateImage(8, 8), S_OK);
  }
  EXPECT_EQ(object->Release(), 0u);
}

}  // namespace
}  // namespace morphel
