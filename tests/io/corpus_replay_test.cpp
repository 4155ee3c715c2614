// Replays the saved decoder inputs (seeds and former crashers) through the
// shared decode rule; each file's first byte picks the format.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "io_fixture.h"

namespace morphel::io_test {
namespace {

Bytes ReadFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(DecodeCorpus, EverySavedInputDecodesOrIsRefusedCleanly) {
  const std::filesystem::path dir = std::filesystem::path(MORPHEL_SOURCE_DIR) / "fuzz" / "corpus";
  ASSERT_TRUE(std::filesystem::is_directory(dir));
  int files = 0;
  int decoded = 0;
  for (const auto &entry : std::filesystem::directory_iterator(dir)) {
    Bytes bytes = ReadFile(entry.path());
    if (bytes.empty()) continue;
    ++files;
    const int format = bytes[0] % (kLastFormat + 1);
    gdImagePtr im = DecodeImage(format, bytes.data() + 1, bytes.size() - 1);
    const std::string name = entry.path().filename().string();
    if (name.rfind("crash-", 0) != 0 && name.find("claims") == std::string::npos) {
      EXPECT_NE(im, nullptr) << name;  // the seeds are valid files
    }
    if (im != nullptr) {
      ++decoded;
      EXPECT_TRUE(IsAcceptedSize(gdImageSX(im), gdImageSY(im))) << name;
      gdImageDestroy(im);
    }
  }
  EXPECT_GE(files, 15);
  EXPECT_GE(decoded, 5);
}

}  // namespace
}  // namespace morphel::io_test
