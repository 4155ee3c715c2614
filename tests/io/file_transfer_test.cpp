// Writing images to files and reading them back.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "io_fixture.h"

namespace morphel::io_test {
namespace {

class FileTransfer : public IoTest {
 protected:
  Bytes FileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void SaveBytes(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
};

TEST_F(FileTransfer, WritesTheSameBytesAsTheVariableWrite) {
  MakePatterned(3, 2);
  for (int format = 0; format <= kLastFormat; ++format) {
    std::string path = ScratchPath("same-" + std::to_string(format));
    ASSERT_EQ(obj()->SetImageType(format), S_OK);
    Text name(path);
    ASSERT_EQ(obj()->WriteToFile(name.get()), S_OK) << format;
    EXPECT_EQ(FileBytes(path), WriteBytes(format)) << format;
  }
}

TEST_F(FileTransfer, BmpFileOfThreeByTwoImageIsSeventyEightBytes) {
  MakePatterned(3, 2);
  std::string path = ScratchPath("three-by-two.bmp");
  ASSERT_EQ(obj()->SetImageType(kFormatBmp), S_OK);
  Text name(path);
  ASSERT_EQ(obj()->WriteToFile(name.get()), S_OK);
  Bytes bytes = FileBytes(path);
  ASSERT_EQ(bytes.size(), 78u);
  EXPECT_EQ(bytes[2], 0);
  EXPECT_EQ(bytes[34], 24);
}

TEST_F(FileTransfer, ExistingFileIsTruncated) {
  std::string path = ScratchPath("truncated.bmp");
  SaveBytes(path, Bytes(500, 0xAB));
  MakePatterned(1, 1);
  ASSERT_EQ(obj()->SetImageType(kFormatBmp), S_OK);
  Text name(path);
  ASSERT_EQ(obj()->WriteToFile(name.get()), S_OK);
  EXPECT_EQ(FileBytes(path).size(), 58u);
}

TEST_F(FileTransfer, RoundTripsPngExactly) {
  gdImagePtr im = MakePatterned(301, 7);
  gdImageSetPixel(im, 5, 5, gdTrueColorAlpha(1, 2, 3, 127));
  std::string path = ScratchPath("round.png");
  Text name(path);
  ASSERT_EQ(obj()->WriteToFile(name.get()), S_OK);
  ASSERT_EQ(obj()->SetImage(3), S_OK);
  ASSERT_EQ(obj()->ReadFromFile(name.get()), S_OK);
  gdImagePtr back = obj()->CurrentImage();
  ASSERT_EQ(gdImageSX(back), 301);
  ASSERT_EQ(gdImageSY(back), 7);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 301; ++x) {
      ASSERT_EQ(gdImageGetTrueColorPixel(back, x, y), gdImageGetTrueColorPixel(im, x, y));
    }
  }
}

TEST_F(FileTransfer, EmptySlotWritesNothing) {
  std::string path = ScratchPath("never.png");
  std::remove(path.c_str());
  Text name(path);
  EXPECT_EQ(obj()->WriteToFile(name.get()), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}

TEST_F(FileTransfer, MissingFileLeavesTheSlotEmpty) {
  MakePatterned(2, 2);
  Text name(ScratchPath("does-not-exist.png"));
  EXPECT_EQ(obj()->ReadFromFile(name.get()), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO FILE!");
  EXPECT_EQ(obj()->CurrentImage(), nullptr);
}

TEST_F(FileTransfer, NullPathIsAnEmptyPath) {
  MakePatterned(2, 2);
  EXPECT_EQ(obj()->WriteToFile(nullptr), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO FILE!");
  EXPECT_EQ(obj()->ReadFromFile(nullptr), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO FILE!");
}

TEST_F(FileTransfer, PngReadAsJpegGivesNoImage) {
  MakePatterned(4, 4);
  std::string path = ScratchPath("really.png");
  Text name(path);
  ASSERT_EQ(obj()->WriteToFile(name.get()), S_OK);
  ASSERT_EQ(obj()->SetImageType(kFormatJpeg), S_OK);
  EXPECT_EQ(obj()->ReadFromFile(name.get()), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_EQ(obj()->CurrentImage(), nullptr);
}

TEST_F(FileTransfer, FileNameDoesNotChooseTheFormat) {
  MakePatterned(4, 4);
  ASSERT_EQ(obj()->SetImageType(kFormatGif), S_OK);
  std::string path = ScratchPath("named.png");
  Text name(path);
  ASSERT_EQ(obj()->WriteToFile(name.get()), S_OK);
  Bytes bytes = FileBytes(path);
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "GIF");
}

TEST_F(FileTransfer, DirectoryIsNotAReadableFile) {
  MakePatterned(1, 1);
  std::string dir = ScratchPath("");
  Text name(dir);
  EXPECT_EQ(obj()->ReadFromFile(name.get()), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO FILE!");
  EXPECT_EQ(obj()->WriteToFile(name.get()), E_FAIL);
  EXPECT_EQ(obj()->CurrentImage(), nullptr);
}

// A full device accepts the open and fails the writes or the close.
TEST_F(FileTransfer, FailedWriteIsReportedForEveryFormat) {
  if (std::FILE *probe = std::fopen("/dev/full", "wb")) {
    std::fclose(probe);
  } else {
    GTEST_SKIP() << "no /dev/full";
  }
  for (int format = 0; format <= kLastFormat; ++format) {
    MakePatterned(64, 64);
    ASSERT_EQ(obj()->SetImageType(format), S_OK);
    Text name("/dev/full");
    EXPECT_EQ(obj()->WriteToFile(name.get()), E_FAIL) << format;
    EXPECT_EQ(TakeErrorText(), "NO FILE!") << format;
  }
}

TEST_F(FileTransfer, EncodingWithoutBytesIsNotASuccess) {
  ASSERT_EQ(obj()->CreateImagePalette(2, 2), S_OK);  // no colour allocated: no PNG
  std::string path = ScratchPath("empty.png");
  Text name(path);
  EXPECT_EQ(obj()->WriteToFile(name.get()), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
}

// A write that fails leaves the old file as it was, and a write that succeeds
// replaces it with the new bytes and the old permissions; no temporary file
// stays behind either way.
TEST_F(FileTransfer, FailedWriteKeepsTheOldFileAndNothingIsLeftBeside) {
  const std::string dir = ScratchPath("replace");
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/picture.png";
  std::ofstream(path) << "old";
  std::filesystem::permissions(path, std::filesystem::perms(0640));
  Text name(path);
  ASSERT_EQ(obj()->CreateImagePalette(2, 2), S_OK);  // no colour: no PNG
  EXPECT_EQ(obj()->WriteToFile(name.get()), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_EQ(FileBytes(path), (Bytes{'o', 'l', 'd'}));
  MakePatterned(3, 3);
  ASSERT_EQ(obj()->WriteToFile(name.get()), S_OK);
  EXPECT_EQ(FileBytes(path), WriteBytes(kFormatPng));
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

// libpng gives up on a side over a million pixels inside the library's PNG
// writer, which says nothing: no write succeeds, and the old file stays.
TEST_F(FileTransfer, PngWriteThatLibpngAbandonsFailsEverywhere) {
  const std::string path = ScratchPath("abandoned.png");
  std::ofstream(path) << "old";
  Text name(path);
  for (auto [w, h] : {std::pair{1000001, 1}, std::pair{1, 1000001}}) {
    ASSERT_EQ(obj()->CreateImage(w, h), S_OK);
    ASSERT_EQ(obj()->SetImageType(kFormatPng), S_OK);
    EXPECT_EQ(obj()->WriteToFile(name.get()), E_FAIL);
    EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
    EXPECT_EQ(FileBytes(path), (Bytes{'o', 'l', 'd'}));
    BSTR text = nullptr;
    EXPECT_EQ(obj()->WriteToVariable(&text), E_FAIL);
    EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
    EXPECT_EQ(text, nullptr);
    VARIANT array;
    EXPECT_EQ(obj()->WriteToVariableVariant(&array), E_FAIL);
    EXPECT_EQ(V_VT(&array), VT_EMPTY);
  }
}

}  // namespace
}  // namespace morphel::io_test
