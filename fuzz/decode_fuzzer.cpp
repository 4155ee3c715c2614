// libFuzzer target over the shared decode rule: the first byte picks the
// format (its value modulo 5), the rest are the encoded bytes. With
// MORPHEL_FUZZ_FORMAT set to a format code, that format is used whatever the
// first byte says, so one run can stay on one decoder.
#include <gd.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/images.h"
#include "io/codec_p.h"

namespace {

// Inputs beyond this are skipped: the decoders' cost grows with the input.
constexpr size_t kMaxInput = 256 * 1024;

// Accepted claims above this many pixels take the same paths as smaller ones
// but cost up to seconds each (a truncated file still gives a whole image), so
// they are skipped; refused claims above the component's ceiling still run.
constexpr long long kMaxFuzzPixels = 1'000'000;

bool IsLargeAcceptedClaim(int format, const uint8_t *data, size_t size) {
  long long w = 0;
  long long h = 0;
  if (!morphel::PeekImageSize(format, data, size, &w, &h)) return false;
  if (w > morphel::kMaxPixels || h > morphel::kMaxPixels) return false;
  return morphel::IsAcceptedSize(w, h) && w * h > kMaxFuzzPixels;
}

int fixedFormat = -1;

void QuietGd(int, const char *, va_list) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  gdSetErrorMethod(QuietGd);
  if (const char *format = std::getenv("MORPHEL_FUZZ_FORMAT")) fixedFormat = std::atoi(format);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1 || size > kMaxInput) return 0;
  const int format = fixedFormat >= 0 ? fixedFormat : data[0] % (morphel::kLastFormat + 1);
  if (IsLargeAcceptedClaim(format, data + 1, size - 1)) return 0;
  gdImagePtr im = morphel::DecodeImage(format, data + 1, size - 1);
  if (im != nullptr) {
    // Touch the corners so a wrongly sized image shows up under the sanitizers.
    gdImageGetPixel(im, 0, 0);
    gdImageGetPixel(im, gdImageSX(im) - 1, gdImageSY(im) - 1);
    gdImageDestroy(im);
  }
  return 0;
}
