// Font look-up: search order, names and paths, and the system font folders.
#include <fstream>

#include "text/truetype_fixture.h"

namespace morphel {
namespace {

using test::Bstr;
using test::Current;
using test::FontFolderTest;
using test::ObjectHolder;

using FontLookup = FontFolderTest;

// Makes each file (empty) or, for names ending in "/", folder under root.
void MakeEntries(const std::filesystem::path &root, const std::vector<std::string> &entries) {
  for (const std::string &entry : entries) {
    std::filesystem::path path = root / entry;
    if (entry.back() == '/') {
      std::filesystem::create_directories(path);
    } else {
      std::filesystem::create_directories(path.parent_path());
      std::ofstream(path) << "x";
    }
  }
}

TEST_F(FontLookup, FindsTheFirstFileInNameThenFolderThenExtensionOrder) {
  const struct {
    std::vector<std::string> entries;
    const char *list;
    const char *expected;  // relative to root; "" for none
  } rows[] = {
      {{"a/F.pfa", "a/F.pfb", "b/F.ttf"}, "F", "a/F.pfa"},
      {{"a/F.pfb", "b/F.ttf"}, "F", "a/F.pfb"},
      {{"b/F.pfa", "b/F.ttf"}, "F", "b/F.ttf"},
      {{"a/F.ttf/", "a/F.pfb", "b/F.ttf"}, "F", "a/F.pfb"},  // a folder is no font file
      {{"b/F.ttf", "a/G.pfb"}, "F G", "b/F.ttf"},            // the list order comes first
      {{"b/F.ttf"}, "  nosuch   F ", "b/F.ttf"},
      {{"a/F.ttf"}, "F.ttf", ""},  // searched as F.ttf.ttf
      {{"a/F.ttf.ttf"}, "F.ttf", "a/F.ttf.ttf"},
      {{"a/x;y.ttf"}, "x;y", ""},  // the library would split the path
      {{"a/F.ttf"}, "", ""},
      {{"a/F.ttf"}, "   ", ""},
      {{"a/F.TTF"}, "F", ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.list);
    std::filesystem::remove_all(root_);
    MakeEntries(root_, row.entries);
    const std::string a = (root_ / "a").string(), b = (root_ / "b").string();
    const std::string found = FindFontFile(row.list, ";" + a + ";;" + b + ";");
    EXPECT_EQ(found, *row.expected == '\0' ? "" : (root_ / row.expected).string());
  }
}

TEST_F(FontLookup, AbsoluteNamesAreTriedAsTheyAre) {
  MakeEntries(root_, {"a/Face.ttf", "b/Face.ttf.ttf"});
  const std::string absolute = (root_ / "a/Face.ttf").string();
  EXPECT_EQ(FindFontFile(absolute, ""), absolute);
  EXPECT_EQ(FindFontFile("nosuch " + absolute, "/nonexistent"), absolute);
  EXPECT_EQ(FindFontFile("Face.ttf", (root_ / "b").string()), (root_ / "b/Face.ttf.ttf").string());
  EXPECT_TRUE(IsAbsoluteFontName("c:\\x") && IsAbsoluteFontName("C:/x"));
  EXPECT_FALSE(IsAbsoluteFontName("C:x") || IsAbsoluteFontName("x/y") || IsAbsoluteFontName(""));
}

TEST_F(FontLookup, FontFoldersAreWholeEntriesInNameOrder) {
  MakeEntries(root_, {"r/b/x.pfb", "r/a/x.ttf", "r/a/deep/y.pfa", "r/c/z.otf", "r/c/w.TTF",
                      "r/d/", "r/e/q.ttf/", "s/top.ttf"});
  std::filesystem::create_directory_symlink(root_ / "r/a", root_ / "r/0link");
  const std::string r = (root_ / "r").string(), s = (root_ / "s").string();
  const std::string all = r + "/a;" + r + "/a/deep;" + r + "/b;" + s;
  EXPECT_EQ(FontDirectoriesUnder({r, (root_ / "missing").string(), s}, 1000), all);
  EXPECT_EQ(FontDirectoriesUnder({r, s}, all.size()), all);
  EXPECT_EQ(FontDirectoriesUnder({r, s}, all.size() - 1), r + "/a;" + r + "/a/deep;" + r + "/b");
  EXPECT_EQ(FontDirectoriesUnder({r}, r.size() + 1), "");
}

TEST_F(FontLookup, AutomaticPathFindsTheSystemsDejaVu) {
  ObjectHolder setter, drawer;
  ASSERT_EQ(setter->SetFontPathTTFAuto(), S_OK);
  const std::string path = setter->ttfFontPath;
  EXPECT_NE(path.find(test::kDejaVuFolder), std::string::npos) << path;
  EXPECT_LE(path.size(), kFontPathCapacity);
  EXPECT_EQ(FontSearchPath(), path);
  ASSERT_EQ(drawer->CreateImage(80, 30), S_OK);
  ASSERT_EQ(drawer->SetColor(255, 255, 255), S_OK);
  Bstr name("DejaVuSans"), text("Auto");
  ASSERT_EQ(drawer->SetFontTTF(name.get()), S_OK);
  EXPECT_EQ(drawer->DrawTextTTF(2, 20, text.get()), S_OK);
  EXPECT_GT(test::CountPainted(Current(drawer)), 20);
}

}  // namespace
}  // namespace morphel
