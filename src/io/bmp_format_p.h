// Layout constants of the BMP files the component writes and reads.
#ifndef MORPHEL_IO_BMP_FORMAT_P_H
#define MORPHEL_IO_BMP_FORMAT_P_H

#include <cstddef>

namespace morphel {

inline constexpr int kBmpFileHeaderSize = 14;
inline constexpr int kBmpInfoHeaderSize = 40;
inline constexpr int kBmpHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;
inline constexpr unsigned kBmpPixelsPerMetre = 2952;

// Bytes of one stored row: width x bits rounded up to whole bytes, then to a
// multiple of 4 (for 24 bits: 3 x width + width mod 4).
inline size_t BmpRowStride(long long width, int bitsPerPixel) {
  size_t bits = static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel);
  size_t bytes = (bits + 7) / 8;
  return (bytes + 3) / 4 * 4;
}

}  // namespace morphel

#endif  // MORPHEL_IO_BMP_FORMAT_P_H
