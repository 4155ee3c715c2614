// Helpers for the TrueType tests: the system's DejaVu fonts and scratch font
// folders.
#ifndef MORPHEL_TESTS_TEXT_TRUETYPE_FIXTURE_H
#define MORPHEL_TESTS_TEXT_TRUETYPE_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "draw/draw_fixture.h"
#include "text/truetype_p.h"

namespace morphel::test {

inline const std::string kDejaVuFolder = "/usr/share/fonts/truetype/dejavu";
inline const std::string kDejaVuSans = kDejaVuFolder + "/DejaVuSans.ttf";
inline const std::string kDejaVuBold = kDejaVuFolder + "/DejaVuSans-Bold.ttf";

// A fresh folder for one test, removed afterwards. The process-wide search
// path is emptied before and after, since every test shares it.
class FontFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kDejaVuSans)) << "fonts-dejavu-core is needed";
    const char *base = std::getenv("MORPHEL_TEST_TMP");
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::filesystem::path(base != nullptr ? base : "/tmp/morphel-text-tests") /
            (std::string(info->name()) + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    SetFontSearchPath("");
    ClearErrorInfo();
  }
  void TearDown() override {
    SetFontSearchPath("");
    std::filesystem::remove_all(root_);
  }

  // root/relative, made with its parents; returns the path.
  std::string Folder(const std::string &relative) {
    std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path);
    return path.string();
  }
  // Copies a font file to root/relative.
  std::string Place(const std::string &font, const std::string &relative) {
    std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::copy_file(font, path);
    return path.string();
  }

  std::filesystem::path root_;
};

// Sets a font list or search path through the object, from ASCII text.
inline HRESULT SetFont(const ObjectHolder &obj, const std::string &list) {
  Bstr text(list);
  return obj->SetFontTTF(text.get());
}
inline HRESULT SetPath(const ObjectHolder &obj, const std::string &path) {
  Bstr text(path);
  return obj->SetFontPathTTF(text.get());
}

// A failure reported with the given text.
inline void ExpectFailure(HRESULT hr, const std::string &text) {
  EXPECT_EQ(hr, E_FAIL);
  ErrorText error = TakeErrorInfo();
  EXPECT_TRUE(error.present);
  EXPECT_EQ(error.description, text);
}

}  // namespace morphel::test

#endif  // MORPHEL_TESTS_TEXT_TRUETYPE_FIXTURE_H
