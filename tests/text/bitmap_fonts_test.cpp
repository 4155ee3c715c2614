// Text in the built-in bitmap fonts.
#include <gdfontg.h>
#include <gdfontl.h>
#include <gdfontmb.h>
#include <gdfonts.h>
#include <gdfontt.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "draw/draw_fixture.h"

namespace morphel {
namespace {

using test::Bstr;
using test::CountPainted;
using test::Current;
using test::ExpectNoImage;
using test::FirstDifference;
using test::ObjectHolder;
using test::Reference;

constexpr int kWhite = 0x00FFFFFF;

void Canvas(ObjectHolder &obj, int w = 200, int h = 100) {
  ASSERT_EQ(obj->CreateImage(w, h), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 255), S_OK);
}

// The oracle: glyphs drawn one by one by the library at the given corners.
std::string GlyphsDiffer(const ObjectHolder &obj, gdFontPtr font, const char *text,
                         const std::vector<std::pair<int, int>> &corners) {
  Reference ref(gdImageSX(Current(obj)), gdImageSY(Current(obj)));
  for (size_t i = 0; i < corners.size(); ++i) {
    gdImageChar(ref.get(), font, corners[i].first, corners[i].second,
                static_cast<unsigned char>(text[i]), kWhite);
  }
  return FirstDifference(Current(obj), ref.get());
}

TEST(BitmapFonts, NewObjectUsesTheSmallFont) {
  ObjectHolder obj;
  INT code = -1;
  EXPECT_EQ(obj->GetFont(&code), S_OK);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(obj->builtinFont, gdFontGetSmall());
  EXPECT_EQ(obj->builtinFont->w, 6);
  EXPECT_EQ(obj->builtinFont->h, 13);
  EXPECT_EQ(obj->GetFont(nullptr), E_POINTER);
}

TEST(BitmapFonts, CodesDoNotFollowTheSizes) {
  ObjectHolder obj;
  const struct {
    int code, w, h;
  } table[] = {{0, 6, 13}, {1, 7, 13}, {2, 8, 16}, {3, 5, 8}, {4, 9, 15}};
  for (const auto &row : table) {
    EXPECT_EQ(obj->SetFont(row.code), S_OK);
    EXPECT_EQ(obj->builtinFont->w, row.w) << row.code;
    EXPECT_EQ(obj->builtinFont->h, row.h) << row.code;
  }
}

TEST(BitmapFonts, OtherCodesSelectTheSmallFontAndAreKept) {
  ObjectHolder obj;
  for (int code : {-1, 5, 7}) {
    EXPECT_EQ(obj->SetFont(code), S_OK);
    INT got = 0;
    EXPECT_EQ(obj->GetFont(&got), S_OK);
    EXPECT_EQ(got, code);
    EXPECT_EQ(obj->builtinFont, gdFontGetSmall());
  }
}

TEST(BitmapFonts, TinyFontCellsFollowEachOther) {
  ObjectHolder obj;
  Canvas(obj);
  ASSERT_EQ(obj->SetFont(3), S_OK);
  Bstr text("AB");
  EXPECT_EQ(obj->DrawText(0, 0, text.get()), S_OK);
  EXPECT_EQ(GlyphsDiffer(obj, gdFontGetTiny(), "AB", {{0, 0}, {5, 0}}), "");
  EXPECT_GT(CountPainted(Current(obj)), 0);
}

TEST(BitmapFonts, EmptySlotFailsWithNoImage) {
  ObjectHolder obj;
  Bstr empty("");
  ExpectNoImage(obj->DrawText(0, 0, empty.get()));
  ExpectNoImage(obj->DrawTextAngle(0, 0, 45, empty.get()));
  EXPECT_EQ(obj->SetFont(2), S_OK);  // needs no image
}

TEST(BitmapFonts, EmptyStringDrawsNothing) {
  ObjectHolder obj;
  Canvas(obj);
  Bstr empty("");
  EXPECT_EQ(obj->DrawText(5, 5, empty.get()), S_OK);
  EXPECT_EQ(obj->DrawTextAngle(5, 5, 30, empty.get()), S_OK);
  EXPECT_EQ(obj->DrawText(5, 5, nullptr), S_OK);
  EXPECT_EQ(CountPainted(Current(obj)), 0);
}

// The ANSI form here is UTF-8, which replaces a lone surrogate rather than
// failing; the replacement character's three bytes are three glyphs.
TEST(BitmapFonts, LoneSurrogateIsDrawnAsTheReplacementCharacter) {
  ObjectHolder obj;
  Canvas(obj);
  const OLECHAR lone[] = {u'A', 0xD800, u'B'};
  BSTR text = SysAllocStringLen(lone, 3);
  EXPECT_EQ(obj->DrawText(5, 5, text), S_OK);
  SysFreeString(text);
  EXPECT_EQ(GlyphsDiffer(obj, gdFontGetSmall(), "A\xEF\xBF\xBD" "B",
                         {{5, 5}, {11, 5}, {17, 5}, {23, 5}, {29, 5}}),
            "");
}

TEST(BitmapFonts, AngleZeroPlacesLikeDrawText) {
  ObjectHolder a, b;
  Canvas(a);
  Canvas(b);
  Bstr text("Hello, 42!");
  ASSERT_EQ(a->DrawText(3, 7, text.get()), S_OK);
  ASSERT_EQ(b->DrawTextAngle(3, 7, 0, text.get()), S_OK);
  EXPECT_EQ(FirstDifference(Current(a), Current(b)), "");
}

TEST(BitmapFonts, Angle90StepsComeOutOnePixelShortAtFirst) {
  ObjectHolder obj;
  Canvas(obj);
  ASSERT_EQ(obj->SetFont(1), S_OK);
  Bstr text("WXYZ");
  EXPECT_EQ(obj->DrawTextAngle(0, 0, 90, text.get()), S_OK);
  EXPECT_EQ(GlyphsDiffer(obj, gdFontGetMediumBold(), "WXYZ", {{0, 0}, {0, 6}, {0, 13}, {0, 20}}),
            "");
}

TEST(BitmapFonts, Angle45) {
  ObjectHolder obj;
  Canvas(obj);
  Bstr text("abc");
  EXPECT_EQ(obj->DrawTextAngle(10, 10, 45, text.get()), S_OK);
  EXPECT_EQ(GlyphsDiffer(obj, gdFontGetSmall(), "abc", {{10, 10}, {14, 14}, {18, 18}}), "");
}

TEST(BitmapFonts, Angle360IsNotAngleZero) {
  ObjectHolder obj;
  Canvas(obj);
  Bstr text("HELLO");
  EXPECT_EQ(obj->DrawTextAngle(10, 10, 360, text.get()), S_OK);
  EXPECT_EQ(GlyphsDiffer(obj, gdFontGetSmall(), "HELLO",
                         {{10, 10}, {15, 9}, {21, 9}, {27, 9}, {33, 9}}),
            "");
}

TEST(BitmapFonts, Angle180RunsRightToLeftWithUprightGlyphs) {
  ObjectHolder obj;
  Canvas(obj);
  Bstr text("pqR");
  EXPECT_EQ(obj->DrawTextAngle(100, 50, 180, text.get()), S_OK);
  EXPECT_EQ(GlyphsDiffer(obj, gdFontGetSmall(), "pqR", {{100, 50}, {94, 50}, {88, 50}}), "");
}

TEST(BitmapFonts, NegativeAnglesLeadUpwards) {
  ObjectHolder obj;
  Canvas(obj);
  Bstr up("abc"), slope("abcd");
  EXPECT_EQ(obj->DrawTextAngle(10, 50, -90, up.get()), S_OK);
  EXPECT_EQ(obj->DrawTextAngle(20, 60, -30, slope.get()), S_OK);
  Reference ref(200, 100);
  const std::pair<int, int> upCorners[] = {{10, 50}, {10, 44}, {10, 38}};
  const std::pair<int, int> slopeCorners[] = {{20, 60}, {25, 57}, {30, 54}, {35, 51}};
  for (int i = 0; i < 3; ++i) {
    gdImageChar(ref.get(), gdFontGetSmall(), upCorners[i].first, upCorners[i].second, "abc"[i],
                kWhite);
  }
  for (int i = 0; i < 4; ++i) {
    gdImageChar(ref.get(), gdFontGetSmall(), slopeCorners[i].first, slopeCorners[i].second,
                "abcd"[i], kWhite);
  }
  EXPECT_EQ(FirstDifference(Current(obj), ref.get()), "");
}

TEST(BitmapFonts, PaletteImagesTakeThePenIndex) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(40, 20), S_OK);
  ASSERT_EQ(obj->SetColor(0, 0, 0), S_OK);
  ASSERT_EQ(obj->SetColor(255, 255, 0), S_OK);
  Bstr text("Hi");
  EXPECT_EQ(obj->DrawText(2, 2, text.get()), S_OK);
  EXPECT_GT(CountPainted(Current(obj), 0), 0);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 40; ++x) {
      const int p = gdImageGetPixel(Current(obj), x, y);
      EXPECT_TRUE(p == 0 || p == 1);
    }
  }
}

TEST(BitmapFonts, GlyphsAreClippedAtTheEdges) {
  ObjectHolder obj;
  Canvas(obj, 20, 10);
  ASSERT_EQ(obj->SetFont(4), S_OK);
  Bstr text("MM");
  EXPECT_EQ(obj->DrawText(-4, -5, text.get()), S_OK);
  EXPECT_EQ(GlyphsDiffer(obj, gdFontGetGiant(), "MM", {{-4, -5}, {5, -5}}), "");
  EXPECT_GT(CountPainted(Current(obj)), 0);
  EXPECT_EQ(obj->DrawTextAngle(2147483600, 0, 0, text.get()), S_OK);
  EXPECT_EQ(obj->DrawTextAngle(0, 0, -90, text.get()), S_OK);
}

TEST(BitmapFonts, MultiByteCharactersBecomeOneGlyphPerByte) {
  ObjectHolder obj;
  Canvas(obj);
  Bstr text("\xC3\xA9");  // one character, two bytes in the ANSI form used here
  EXPECT_EQ(obj->DrawText(0, 0, text.get()), S_OK);
  EXPECT_EQ(GlyphsDiffer(obj, gdFontGetSmall(), "\xC3\xA9", {{0, 0}, {6, 0}}), "");
}

}  // namespace
}  // namespace morphel
