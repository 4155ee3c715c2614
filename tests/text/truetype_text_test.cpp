// TrueType text: drawing against the library's own call, the anti-alias
// switch, settings, measuring and character references.
#include <fstream>
#include <map>
#include <set>

#include "text/truetype_fixture.h"

namespace morphel {
namespace {

using test::Bstr;
using test::Current;
using test::ExpectFailure;
using test::ExpectNoImage;
using test::ExpectRefused;
using test::FirstDifference;
using test::FontFolderTest;
using test::kDejaVuBold;
using test::kDejaVuSans;
using test::ObjectHolder;
using test::SetFont;
using test::SetPath;

using TrueTypeText = FontFolderTest;

constexpr int kSize = 14;
const char kSample[] = "Hg &#233;!";

void Prepare(const ObjectHolder &obj, bool palette) {
  ASSERT_EQ(palette ? obj->CreateImagePalette(140, 90) : obj->CreateImage(140, 90), S_OK);
  obj->SetColor(250, 250, 240);
  obj->DrawFilledRectangle(0, 0, 139, 89);
  obj->SetColor(20, 40, 160);
}

// Reads a file whole.
std::string FileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Distinct raw pixel values of the current image.
std::set<int> RawValues(const ObjectHolder &obj) {
  std::set<int> values;
  gdImagePtr im = Current(obj);
  for (int y = 0; y < gdImageSY(im); ++y) {
    for (int x = 0; x < gdImageSX(im); ++x) values.insert(gdImageGetPixel(im, x, y));
  }
  return values;
}

// The four elements of a rectangle result, or {} when its shape is wrong.
std::vector<int> RectangleOf(const ObjectHolder &obj, int x, int y, const std::string &text) {
  VARIANT result;
  VariantInit(&result);
  Bstr str(text);
  if (obj->GetTextTTFRectangle(x, y, str.get(), &result) != S_OK) return {};
  std::vector<int> values;
  SAFEARRAY *array = V_ARRAY(&result);
  LONG lower = -1, upper = -1;
  if (V_VT(&result) == (VT_ARRAY | VT_VARIANT) && SafeArrayGetDim(array) == 1 &&
      SafeArrayGetLBound(array, 1, &lower) == S_OK && SafeArrayGetUBound(array, 1, &upper) == S_OK &&
      lower == 0 && upper == 3) {
    for (LONG i = 0; i < 4; ++i) {
      VARIANT element;
      VariantInit(&element);
      SafeArrayGetElement(array, &i, &element);
      if (V_VT(&element) == VT_I4) values.push_back(V_I4(&element));
    }
  }
  VariantClear(&result);
  return values.size() == 4 ? values : std::vector<int>{};
}

TEST_F(TrueTypeText, DrawsWhatTheLibraryDrawsWithTheSameArguments) {
  const struct {
    bool palette;
    int antialias;
    int angle;  // INT_MIN: DrawTextTTF
    bool negated;
    double radians;
  } rows[] = {
      {false, 1, INT_MIN, false, 0.0},  {false, 0, INT_MIN, false, 0.0},
      {true, 1, INT_MIN, false, 0.0},   {true, 0, INT_MIN, true, 0.0},
      {true, 0, 30, false, 0.5235833333333334}, {false, 1, 90, false, 1.57075},
      {true, 1, -45, false, -0.785375},  {false, 0, 0, false, 0.0},
      {false, 1, 36000, false, 628.3000000000001},  // 100 turns: 3.1415 / 180 shows
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(std::to_string(row.palette) + " " + std::to_string(row.antialias) + " " +
                 std::to_string(row.angle));
    ObjectHolder obj, ref;
    Prepare(obj, row.palette);
    Prepare(ref, row.palette);
    ASSERT_EQ(SetFont(obj, kDejaVuSans), S_OK);  // absolute: needs no search path
    ASSERT_EQ(obj->SetFontSizeTTF(kSize), S_OK);
    ASSERT_EQ(obj->SetTextAntialias(row.antialias), S_OK);
    Bstr text(kSample);
    if (row.angle == INT_MIN) {
      ASSERT_EQ(obj->DrawTextTTF(30, 60, text.get()), S_OK);
    } else {
      ASSERT_EQ(obj->DrawTextAngleTTF(30, 60, row.angle, text.get()), S_OK);
    }
    const int colour = row.negated ? -ref->penColor : ref->penColor;
    EXPECT_EQ(gdImageStringFT(Current(ref), nullptr, colour, kDejaVuSans.c_str(), kSize,
                              row.radians, 30, 60, kSample),
              nullptr);
    EXPECT_EQ(FirstDifference(Current(obj), Current(ref)), "");
    EXPECT_GE(RawValues(obj).size(), 2u);  // text was drawn
    EXPECT_EQ(obj->penColor, ref->penColor);
  }
}

TEST_F(TrueTypeText, SwitchOffLeavesOnlyPenPixelsOnPaletteImages) {
  ObjectHolder obj;
  Prepare(obj, true);
  ASSERT_EQ(SetFont(obj, kDejaVuSans), S_OK);
  Bstr text("Wave 42");
  ASSERT_EQ(obj->SetTextAntialias(7), S_OK);
  EXPECT_EQ(obj->textAntialias, 1);
  ASSERT_EQ(obj->SetTextAntialias(0), S_OK);
  ASSERT_EQ(obj->DrawTextTTF(5, 40, text.get()), S_OK);
  EXPECT_EQ(RawValues(obj), (std::set<int>{0, obj->penColor}));
  EXPECT_EQ(gdImageColorsTotal(Current(obj)), 2);
  ASSERT_EQ(obj->DrawTextAngleTTF(5, 80, 10, text.get()), S_OK);  // always smoothed
  EXPECT_GT(gdImageColorsTotal(Current(obj)), 2);
}

TEST_F(TrueTypeText, NewObjectHasNoFont) {
  ObjectHolder obj;
  Prepare(obj, false);
  Bstr text("x");
  ExpectFailure(obj->DrawTextTTF(5, 20, text.get()), "font error");
  VARIANT untouched;
  VariantInit(&untouched);
  V_VT(&untouched) = VT_I2;
  ObjectHolder empty;  // measuring needs no image
  ExpectFailure(empty->GetTextTTFRectangle(0, 0, text.get(), &untouched), "font error");
  EXPECT_EQ(V_VT(&untouched), VT_I2);
  EXPECT_EQ(empty->GetTextTTFRectangle(0, 0, text.get(), nullptr), E_POINTER);
  ExpectNoImage(empty->DrawTextTTF(0, 0, text.get()));
  ExpectNoImage(empty->DrawTextAngleTTF(0, 0, 5, text.get()));
}

TEST_F(TrueTypeText, TextFileNamedLikeAFontIsAFontError) {
  const std::string fake = Folder("a") + "/Face.ttf";
  FILE *file = std::fopen(fake.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("not a font\n", file);
  std::fclose(file);
  Place(kDejaVuSans, "b/Face.ttf");
  ObjectHolder obj;
  Prepare(obj, false);
  ASSERT_EQ(SetPath(obj, (root_ / "a").string() + ";" + (root_ / "b").string()), S_OK);
  ASSERT_EQ(SetFont(obj, "Face"), S_OK);
  Bstr text("x");
  ExpectFailure(obj->DrawTextTTF(5, 20, text.get()), "font error");  // the first file taken
}

TEST_F(TrueTypeText, SearchPathIsSharedByEveryObject) {
  Place(kDejaVuBold, "a/Face.pfb");
  Place(kDejaVuSans, "b/Face.ttf");
  ObjectHolder setter, drawer, ref;
  Prepare(drawer, false);
  Prepare(ref, false);
  ASSERT_EQ(SetFont(drawer, "nosuch   Face"), S_OK);
  Bstr text("Bold?");
  ExpectFailure(drawer->DrawTextTTF(5, 40, text.get()), "font error");
  // Appended, not ";" + ...: GCC 12 at -O3 warns falsely (-Wrestrict) inside
  // operator+(const char *, std::string &&).
  std::string path = ";";
  path.append((root_ / "a").string()).append(";;").append((root_ / "b").string());
  ASSERT_EQ(SetPath(setter, path), S_OK);
  EXPECT_EQ(std::string(drawer->ttfFontPath), "");  // only the setter's own record changes
  ASSERT_EQ(drawer->DrawTextTTF(5, 40, text.get()), S_OK);
  gdImageStringFT(Current(ref), nullptr, ref->penColor, kDejaVuBold.c_str(), 10, 0.0, 5, 40,
                  "Bold?");
  EXPECT_EQ(FirstDifference(Current(drawer), Current(ref)), "");
  ASSERT_EQ(SetPath(setter, ""), S_OK);
  ExpectFailure(drawer->DrawTextTTF(5, 40, text.get()), "font error");
}

// Each call opens its font afresh: a file replaced in place between calls is
// read as it now is.
TEST_F(TrueTypeText, FontFileOverwrittenBetweenCallsIsReadAgain) {
  const std::string face = Folder("a") + "/Face.ttf";
  auto overwrite = [&](const std::string &bytes) {
    std::ofstream(face, std::ios::binary | std::ios::trunc) << bytes;
  };
  ObjectHolder obj, ref;
  Prepare(obj, false);
  Prepare(ref, false);
  ASSERT_EQ(SetFont(obj, face), S_OK);
  Bstr text("Face");
  overwrite(FileBytes(kDejaVuSans));
  ASSERT_EQ(obj->DrawTextTTF(5, 40, text.get()), S_OK);
  overwrite("not a font\n");
  ExpectFailure(obj->DrawTextTTF(5, 40, text.get()), "font error");
  overwrite(FileBytes(kDejaVuBold));
  ASSERT_EQ(obj->DrawTextTTF(5, 70, text.get()), S_OK);
  gdImageStringFT(Current(ref), nullptr, ref->penColor, kDejaVuSans.c_str(), 10, 0.0, 5, 40, "Face");
  gdImageStringFT(Current(ref), nullptr, ref->penColor, kDejaVuBold.c_str(), 10, 0.0, 5, 70, "Face");
  EXPECT_EQ(FirstDifference(Current(obj), Current(ref)), "");
}

TEST_F(TrueTypeText, OverlongNamesAndPathsAreRefusedWhole) {
  ObjectHolder obj;
  ASSERT_EQ(SetFont(obj, std::string(199, 'f')), S_OK);
  ASSERT_EQ(SetPath(obj, std::string(255, 'p')), S_OK);
  ExpectRefused([&] { return SetFont(obj, std::string(200, 'g')); });
  std::string accented;
  for (int i = 0; i < 100; ++i) accented += "\xC3\xA9";  // 100 characters, 200 bytes
  ExpectRefused([&] { return SetFont(obj, accented); });
  ExpectRefused([&] { return SetPath(obj, std::string(256, 'q')); });
  EXPECT_EQ(std::string(obj->ttfFontName), std::string(199, 'f'));
  EXPECT_EQ(std::string(obj->ttfFontPath), std::string(255, 'p'));
  EXPECT_EQ(FontSearchPath(), std::string(255, 'p'));
}

TEST_F(TrueTypeText, SizeRange) {
  ObjectHolder obj;
  EXPECT_EQ(obj->SetFontSizeTTF(0), S_OK);
  EXPECT_EQ(obj->SetFontSizeTTF(500), S_OK);
  for (int size : {-1, 501}) ExpectRefused([&] { return obj->SetFontSizeTTF(size); });
  EXPECT_EQ(obj->ttfFontSize, 500);
}

TEST_F(TrueTypeText, RectangleIsTheBoxOfHorizontalText) {
  ObjectHolder obj;
  ASSERT_EQ(SetFont(obj, kDejaVuSans), S_OK);
  ASSERT_EQ(obj->SetFontSizeTTF(20), S_OK);
  const std::vector<int> box = RectangleOf(obj, 40, 50, "Hello");
  ASSERT_EQ(box.size(), 4u);
  int corners[8];
  ASSERT_EQ(gdImageStringFT(nullptr, corners, 0, kDejaVuSans.c_str(), 20, 0.0, 40, 50, "Hello"),
            nullptr);
  EXPECT_EQ(box, (std::vector<int>{corners[0], corners[5], corners[2], corners[1]}));
  EXPECT_LT(box[0], box[2]);
  EXPECT_LT(box[1], box[3]);
  EXPECT_EQ(RectangleOf(obj, 50, 50, "Hello"),
            (std::vector<int>{box[0] + 10, box[1], box[2] + 10, box[3]}));
  EXPECT_EQ(RectangleOf(obj, 7, 9, ""), (std::vector<int>{7, 9, 7, 9}));
}

// Only decimal references are decoded; other ampersands are drawn as they are.
TEST_F(TrueTypeText, OnlyDecimalReferencesAreDecoded) {
  ObjectHolder obj;
  ASSERT_EQ(SetFont(obj, kDejaVuSans), S_OK);
  EXPECT_EQ(RectangleOf(obj, 0, 0, "&#65;B"), RectangleOf(obj, 0, 0, "AB"));
  const char *literal[][2] = {
      {"&amp;", "&#38;amp;"}, {"&#x41;", "&#38;#x41;"}, {"&#;", "&#38;#;"}, {"a&", "a&#38;"},
      {"&#", "&#38;#"},        {"&#6a;", "&#38;#6a;"},
  };
  for (const auto &row : literal) {
    EXPECT_EQ(RectangleOf(obj, 0, 0, row[0]), RectangleOf(obj, 0, 0, row[1])) << row[0];
  }
  EXPECT_NE(RectangleOf(obj, 0, 0, "&amp;"), RectangleOf(obj, 0, 0, "&"));
  const char *decoded[][2] = {
      {"&#00065;B", "AB"},           {"&#000065;", "A"},  // the library alone reads five digits
      {"&#00000000233;", "\xC3\xA9"}, {"x&#065;&#66;", "xAB"},
      {"&#100000;", "&#38;#100000;"},  // beyond what the library can decode: drawn as written
  };
  for (const auto &row : decoded) {
    EXPECT_EQ(RectangleOf(obj, 0, 0, row[0]), RectangleOf(obj, 0, 0, row[1])) << row[0];
  }
  EXPECT_NE(RectangleOf(obj, 0, 0, "&#000065;"), RectangleOf(obj, 0, 0, "&#38;#000065;"));
}

unsigned BigEndian(const std::string &bytes, size_t at, int count) {
  unsigned value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// A copy of a TrueType font whose every outline claims 0x7FFE contours, so
// the font opens but no visible glyph loads.
std::string BrokenGlyphs(const std::string &font) {
  std::string bytes = FileBytes(font);
  std::map<std::string, size_t> tables;
  for (unsigned i = 0; i < BigEndian(bytes, 4, 2); ++i) {
    tables[bytes.substr(12 + 16 * i, 4)] = BigEndian(bytes, 12 + 16 * i + 8, 4);
  }
  const bool longOffsets = BigEndian(bytes, tables["head"] + 50, 2) != 0;
  const int width = longOffsets ? 4 : 2, scale = longOffsets ? 1 : 2;
  for (unsigned glyph = 0; glyph < BigEndian(bytes, tables["maxp"] + 4, 2); ++glyph) {
    const size_t start = scale * BigEndian(bytes, tables["loca"] + width * glyph, width);
    const size_t end = scale * BigEndian(bytes, tables["loca"] + width * (glyph + 1), width);
    if (end > start) bytes.replace(tables["glyf"] + start, 2, "\x7F\xFE");
  }
  return bytes;
}

TEST_F(TrueTypeText, GlyphThatCannotBeLoadedIsReportedAsSuch) {
  const std::string broken = Folder("a") + "/Broken.ttf";
  std::ofstream(broken, std::ios::binary) << BrokenGlyphs(kDejaVuSans);
  ObjectHolder obj;
  Prepare(obj, true);
  ASSERT_EQ(SetFont(obj, broken), S_OK);
  Bstr text("A"), blank(" ");
  EXPECT_EQ(obj->DrawTextTTF(5, 40, blank.get()), S_OK);  // the font itself opens
  ExpectFailure(obj->DrawTextTTF(5, 40, text.get()), "Problem loading glyph");
  ExpectFailure(obj->DrawTextAngleTTF(5, 40, 30, text.get()), "Problem loading glyph");
  VARIANT box;
  VariantInit(&box);
  ExpectFailure(obj->GetTextTTFRectangle(5, 40, text.get(), &box), "Problem loading glyph");
  EXPECT_EQ(V_VT(&box), VT_EMPTY);
}

}  // namespace
}  // namespace morphel
