// libFuzzer target over the by-name door: GetIDsOfNames and Invoke of an
// Images object holding small images, with calls built from the input (see
// invoke_driver.h). Files the operations write or read stay in a folder of
// their own under the temporary folder, which is also the working folder.
#include <gd.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "invoke_driver.h"

namespace {

std::string folder;

void QuietGd(int, const char *, va_list) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  gdSetErrorMethod(QuietGd);
  folder = (std::filesystem::temp_directory_path() / ("morphel-invoke-fuzz-" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(folder);
  if (chdir(folder.c_str()) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 4096) return 0;
  if (!morphel::fuzz::RunInvokeInput(data, size, folder)) std::abort();
  return 0;
}
