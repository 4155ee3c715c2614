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

// One stored row from image row y: blue, green, red for each pixel, alpha
// dropped; the padding bytes of row are left as they are (zero).
void FillTrueColourRow(gdImagePtr im, int y, unsigned char *row) {
  const int *from = im->tpixels[y];
  for (int x = 0; x < gdImageSX(im); ++x, row += 3) {
    const int c = from[x];
    row[0] = static_cast<unsigned char>(gdTrueColorGetBlue(c));
    row[1] = static_cast<unsigned char>(gdTrueColorGetGreen(c));
    row[2] = static_cast<unsigned char>(gdTrueColorGetRed(c));
  }
}

// Blue, green and red of each palette entry, as the packed true colour of
// that entry gives them.
struct PaletteBgr {
  unsigned char bgr[256][3];

  explicit PaletteBgr(gdImagePtr im) {
    for (int i = 0; i < 256; ++i) {
      const int c = gdTrueColorAlpha(im->red[i], im->green[i], im->blue[i], 0);
      bgr[i][0] = static_cast<unsigned char>(gdTrueColorGetBlue(c));
      bgr[i][1] = static_cast<unsigned char>(gdTrueColorGetGreen(c));
      bgr[i][2] = static_cast<unsigned char>(gdTrueColorGetRed(c));
    }
  }
};

void FillPaletteRow(gdImagePtr im, const PaletteBgr &palette, int y, unsigned char *row) {
  const unsigned char *from = im->pixels[y];
  for (int x = 0; x < gdImageSX(im); ++x, row += 3) {
    const unsigned char *bgr = palette.bgr[from[x]];
    row[0] = bgr[0];
    row[1] = bgr[1];
    row[2] = bgr[2];
  }
}

// The pixel array, bottom row first, one context call per row; stops early
// when the context takes less than a row.
void PutPixelArray(gdImagePtr im, gdIOCtx *out, unsigned char *row, size_t stride) {
  const bool trueColour = gdImageTrueColor(im);
  const PaletteBgr palette(im);
  for (int y = gdImageSY(im) - 1; y >= 0; --y) {
    if (trueColour) {
      FillTrueColourRow(im, y, row);
    } else {
      FillPaletteRow(im, palette, y, row);
    }
    if (PutBuf(out, row, static_cast<int>(stride)) < static_cast<int>(stride)) break;
  }
}

}  // namespace

EncodeOutcome BmpEncode(gdImagePtr im, gdIOCtx *out) {
  const int width = gdImageSX(im);
  const int height = gdImageSY(im);
  const size_t stride = BmpRowStride(width, 24);
  const size_t pixelBytes = stride * size_t(height);
  if (pixelBytes > size_t(INT_MAX)) return EncodeOutcome::kNoMemory;
  auto *row = static_cast<unsigned char *>(std::calloc(stride, 1));
  if (row == nullptr) return EncodeOutcome::kNoMemory;
  unsigned char header[kBmpHeadersSize];
  FillHeaders(header, width, height, static_cast<uint32_t>(pixelBytes));
  PutBuf(out, header, kBmpHeadersSize);
  PutPixelArray(im, out, row, stride);
  std::free(row);
  return EncodeOutcome::kComplete;
}

}  // namespace morphel
