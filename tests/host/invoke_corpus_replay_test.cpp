// Replays the saved inputs of the Invoke fuzzer: each is a sequence of
// by-name calls with odd arguments that must all come back with a status,
// give back the references they took and leave the caller's arguments alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "invoke_driver.h"

namespace morphel {
namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::filesystem::path ScratchFolder() {
  const char *dir = std::getenv("MORPHEL_TEST_TMP");
  std::filesystem::path base = dir != nullptr ? dir : std::filesystem::temp_directory_path();
  std::filesystem::path folder = base / "invoke-corpus";
  std::filesystem::create_directories(folder);
  return folder;
}

TEST(InvokeCorpus, EverySavedCallSequenceGetsAStatusForEachCall) {
  const std::filesystem::path dir =
      std::filesystem::path(MORPHEL_SOURCE_DIR) / "fuzz" / "invoke_corpus";
  ASSERT_TRUE(std::filesystem::is_directory(dir));
  const std::string folder = ScratchFolder().string();
  int files = 0;
  for (const auto &entry : std::filesystem::directory_iterator(dir)) {
    const std::vector<uint8_t> bytes = ReadFile(entry.path());
    ++files;
    EXPECT_TRUE(fuzz::RunInvokeInput(bytes.data(), bytes.size(), folder))
        << entry.path().filename();
  }
  EXPECT_GE(files, 50);
}

}  // namespace
}  // namespace morphel
