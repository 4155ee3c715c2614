// The BMP writer: 24 bits per pixel, bottom-up rows, no compression.
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "io/bmp_format_p.h"
#include "io/codec_p.h"

namespace morphel {

namespace {

void PutLe16(unsigned char *at, uint32_t value) {
  at[0] = static_cast<unsigned char>(value);
  at[1] = static_cast<unsigned char>(value >> 8);
}

void PutLe32(unsigned char *at, uint32_t value) {
  PutLe16(at, value);
  PutLe16(at + 2, value >> 16);
}

// The 14-byte file header and the 40-byte information header. The file-size
// field stays 0.
void FillHeaders(unsigned char *header, int width, int height, uint32_t pixelBytes) {
  for (int i = 0; i < kBmpHeadersSize; ++i) header[i] = 0;
  header[0] = 'B';
  header[1] = 'M';
  PutLe32(header + 10, kBmpHeadersSize);
  PutLe32(header + 14, kBmpInfoHeaderSize);
  PutLe32(header + 18, static_cast<uint32_t>(width));
  PutLe32(header + 22, static_cast<uint32_t>(height));
  PutLe16(header + 26, 1);
  PutLe16(header + 28, 24);
  PutLe32(header + 34, pixelBytes);
  PutLe32(header + 38, kBmpPixelsPerMetre);
  PutLe32(header + 42, kBmpPixelsPerMetre);
}

// Red, green and blue of every pixel, top row first; alpha is dropped.
unsigned char *CollectRgb(gdImagePtr im, int width, int height) {
  auto *rgb = static_cast<unsigned char *>(std::malloc(size_t(width) * size_t(height) * 3));
  if (rgb == nullptr) return nullptr;
  unsigned char *at = rgb;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int c = gdImageGetTrueColorPixel(im, x, y);
      *at++ = static_cast<unsigned char>(gdTrueColorGetRed(c));
      *at++ = static_cast<unsigned char>(gdTrueColorGetGreen(c));
      *at++ = static_cast<unsigned char>(gdTrueColorGetBlue(c));
    }
  }
  return rgb;
}

// The pixel array: bottom row first, blue-green-red, rows padded with zeros.
void FillPixelArray(unsigned char *pixels, const unsigned char *rgb, int width, int height,
                    size_t stride) {
  for (int row = 0; row < height; ++row) {
    const unsigned char *from = rgb + size_t(height - 1 - row) * size_t(width) * 3;
    unsigned char *to = pixels + size_t(row) * stride;
    for (int x = 0; x < width; ++x, from += 3, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
}

}  // namespace

EncodeOutcome BmpEncode(gdImagePtr im, gdIOCtx *out) {
  const int width = gdImageSX(im);
  const int height = gdImageSY(im);
  const size_t stride = BmpRowStride(width, 24);
  const size_t pixelBytes = stride * size_t(height);
  if (pixelBytes > size_t(INT_MAX)) return EncodeOutcome::kNoMemory;
  unsigned char *rgb = CollectRgb(im, width, height);
  if (rgb == nullptr) return EncodeOutcome::kNoMemory;
  unsigned char header[kBmpHeadersSize];
  FillHeaders(header, width, height, static_cast<uint32_t>(pixelBytes));
  PutBuf(out, header, kBmpHeadersSize);
  auto *pixels = static_cast<unsigned char *>(std::calloc(pixelBytes, 1));
  if (pixels == nullptr) {
    std::free(rgb);
    return EncodeOutcome::kNoMemory;
  }
  FillPixelArray(pixels, rgb, width, height, stride);
  PutBuf(out, pixels, static_cast<int>(pixelBytes));
  std::free(pixels);
  std::free(rgb);
  return EncodeOutcome::kComplete;
}

}  // namespace morphel
