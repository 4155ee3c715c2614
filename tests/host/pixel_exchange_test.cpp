// The raw pixel exchange: exact bytes both ways, row padding left alone, and
// the statuses of refused calls.
#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

namespace morphel {
namespace {

using test::ObjectHolder;
using Bytes = std::vector<unsigned char>;

IUnknown *Unknown(const ObjectHolder &obj) { return static_cast<IImages *>(obj.get()); }

// A foreign object: answers nothing but IUnknown.
struct Stranger : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

TEST(PixelExchange, TrueColourRowsComeOutAsRgbaOrRgbxAndLeaveThePaddingAlone) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImage(2, 2), S_OK);
  obj->SetAlphaColor(10, 20, 30, 127);
  obj->SetPixel(1, 0);
  obj->SetAlphaColor(1, 2, 3, 64);
  obj->SetPixel(0, 1);
  const struct {
    int layout;
    Bytes expected;
  } cases[] = {
      {MORPHEL_PIXELS_RGBA, {0, 0, 0, 255, 10, 20, 30, 0, 0xEE, 1, 2, 3, 126, 0, 0, 0, 255, 0xEE}},
      {MORPHEL_PIXELS_RGBX, {0, 0, 0, 255, 10, 20, 30, 255, 0xEE, 1, 2, 3, 255, 0, 0, 0, 255, 0xEE}},
  };
  for (const auto &c : cases) {
    Bytes rows(18, 0xEE);  // stride 9: one byte of padding a row
    EXPECT_EQ(MorphelGetImagePixels(Unknown(obj), c.layout, 2, 2, rows.data(), 9, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(rows, c.expected) << "layout " << c.layout;
  }
}

TEST(PixelExchange, PaletteImagesGiveIndexesAndTheResolvedPalette) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(3, 1), S_OK);
  obj->SetColor(9, 8, 7);            // index 0, the background
  obj->SetAlphaColor(200, 0, 0, 64);  // index 1: its own alpha is not what a pixel reads
  obj->SetPixel(1, 0);
  obj->SetColor(0, 0, 255);
  obj->SetTransparent(2);
  obj->SetPixel(2, 0);
  Bytes indexes(3), palette(1024), rgba(12);
  int colors = 0;
  ASSERT_EQ(MorphelGetImagePixels(Unknown(obj), MORPHEL_PIXELS_INDEX, 3, 1, indexes.data(), 3,
                                  palette.data(), &colors),
            S_OK);
  EXPECT_EQ(indexes, (Bytes{0, 1, 2}));
  EXPECT_EQ(colors, 3);
  EXPECT_EQ(Bytes(palette.begin(), palette.begin() + 12),
            (Bytes{9, 8, 7, 255, 200, 0, 0, 255, 0, 0, 255, 0}));
  ASSERT_EQ(MorphelGetImagePixels(Unknown(obj), MORPHEL_PIXELS_RGBA, 3, 1, rgba.data(), 12, nullptr,
                                  nullptr),
            S_OK);
  EXPECT_EQ(rgba, Bytes(palette.begin(), palette.begin() + 12));
}

TEST(PixelExchange, MadeImagesFollowTheCreateRules) {
  ObjectHolder obj;
  const Bytes rgba = {1, 2, 3, 255, 4, 5, 6, 0, 0xEE, 0xEE};  // a row of 2 and padding
  ASSERT_EQ(MorphelSetImagePixels(Unknown(obj), MORPHEL_PIXELS_RGBA, 2, 1, rgba.data(), 10, nullptr, 0),
            S_OK);
  gdImagePtr im = obj->CurrentImage();
  EXPECT_TRUE(gdImageTrueColor(im));
  EXPECT_EQ(im->alphaBlendingFlag, 0);
  EXPECT_EQ(im->saveAlphaFlag, 1);
  EXPECT_EQ(gdImageGetTrueColorPixel(im, 0, 0), 0x00010203);
  EXPECT_EQ(gdImageGetTrueColorPixel(im, 1, 0), 0x7F040506);

  const Bytes indexes = {1, 0, 1}, palette = {0, 0, 0, 255, 50, 60, 70, 0};
  ASSERT_EQ(MorphelSetImagePixels(Unknown(obj), MORPHEL_PIXELS_INDEX, 3, 1, indexes.data(), 3,
                                  palette.data(), 2),
            S_OK);
  im = obj->CurrentImage();
  EXPECT_FALSE(gdImageTrueColor(im));
  EXPECT_EQ(gdImageColorsTotal(im), 2);
  EXPECT_EQ(gdImageGetTransparent(im), 1);
  EXPECT_EQ(gdImageGetPixel(im, 2, 0), 1);
}

TEST(PixelExchange, RefusedCallsReportLikeOperations) {
  ObjectHolder obj;
  Bytes buffer(64);
  Stranger stranger;
  EXPECT_EQ(MorphelGetImagePixels(&stranger, 0, 1, 1, buffer.data(), 4, nullptr, nullptr),
            E_NOINTERFACE);
  EXPECT_EQ(MorphelSetImagePixels(nullptr, 0, 1, 1, buffer.data(), 4, nullptr, 0), E_NOINTERFACE);
  test::ClearErrorInfo();
  EXPECT_EQ(MorphelGetImagePixels(Unknown(obj), 0, 1, 1, buffer.data(), 4, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(test::TakeErrorInfo().description, "NO IMAGE!");
  ASSERT_EQ(obj->CreateImage(2, 2), S_OK);
  EXPECT_EQ(MorphelGetImagePixels(Unknown(obj), 0, 2, 2, nullptr, 8, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(MorphelSetImagePixels(Unknown(obj), MORPHEL_PIXELS_INDEX, 2, 1, buffer.data(), 2,
                                  buffer.data(), 257),
            E_INVALIDARG);
  EXPECT_EQ(obj->CurrentImage(), nullptr);  // emptied first, as CreateImage does
  EXPECT_FALSE(test::TakeErrorInfo().present);
}

}  // namespace
}  // namespace morphel
