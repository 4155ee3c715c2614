// The BMP reader: uncompressed 1, 4, 8 and 24-bit files with bottom-up rows.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "core/images.h"
#include "io/bmp_format_p.h"
#include "io/codec_p.h"

namespace morphel {

namespace {

// Reads from a context and counts what it consumed.
class CountingReader {
 public:
  explicit CountingReader(gdIOCtx *in) : in_(in) {}
  // Reads up to n bytes; returns how many arrived.
  size_t Read(unsigned char *out, size_t n) {
    size_t got = 0;
    while (got < n) {
      size_t chunk = n - got < kMaxCall ? n - got : kMaxCall;
      int r = GetBuf(in_, out + got, static_cast<int>(chunk));
      if (r <= 0) break;
      got += static_cast<size_t>(r);
      if (static_cast<size_t>(r) < chunk) break;
    }
    consumed_ += got;
    return got;
  }
  bool ReadAll(unsigned char *out, size_t n) { return Read(out, n) == n; }
  // Reads and drops n bytes; false when the data ended first.
  bool Skip(uint64_t n) {
    unsigned char scratch[kChunk];
    while (n > 0) {
      size_t chunk = n < kChunk ? static_cast<size_t>(n) : kChunk;
      if (!ReadAll(scratch, chunk)) return false;
      n -= chunk;
    }
    return true;
  }
  uint64_t consumed() const { return consumed_; }

 private:
  static constexpr size_t kChunk = 4096;
  static constexpr size_t kMaxCall = size_t(1) << 30;
  gdIOCtx *in_;
  uint64_t consumed_ = 0;
};

uint32_t Le16(const unsigned char *at) { return at[0] | (uint32_t(at[1]) << 8); }
uint32_t Le32(const unsigned char *at) { return Le16(at) | (Le16(at + 2) << 16); }

// The fields of the two headers that the reader uses.
struct BmpHeader {
  uint32_t pixelOffset = 0;
  uint32_t infoHeaderSize = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t bitsPerPixel = 0;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
};

bool ReadHeader(CountingReader *reader, BmpHeader *header) {
  unsigned char bytes[kBmpHeadersSize];
  if (!reader->ReadAll(bytes, 2) || bytes[0] != 'B' || bytes[1] != 'M') return false;
  if (!reader->ReadAll(bytes + 2, kBmpHeadersSize - 2)) return false;
  header->pixelOffset = Le32(bytes + 10);
  header->infoHeaderSize = Le32(bytes + 14);
  header->width = static_cast<int32_t>(Le32(bytes + 18));
  header->height = static_cast<int32_t>(Le32(bytes + 22));
  header->bitsPerPixel = Le16(bytes + 28);
  header->compression = Le32(bytes + 30);
  header->coloursUsed = Le32(bytes + 46);
  return true;
}

// An information header of at least 40 bytes (longer ones begin with the same
// fields), uncompressed, a supported depth and an accepted positive size
// (checked before any pixel memory is taken).
bool IsSupported(const BmpHeader &header) {
  if (header.infoHeaderSize < uint32_t(kBmpInfoHeaderSize)) return false;
  if (header.compression != 0) return false;
  uint32_t bits = header.bitsPerPixel;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
  return IsAcceptedSize(header.width, header.height);
}

// Reads the colour table (blue, green, red, reserved entries) as packed
// opaque colours. The table holds the 2^bits entries a pixel can index, black
// until read; further entries are read and dropped.
bool ReadColourTable(CountingReader *reader, const BmpHeader &header, int *table) {
  const uint32_t room = 1u << header.bitsPerPixel;
  const uint32_t entries = header.coloursUsed != 0 ? header.coloursUsed : room;
  for (uint32_t i = 0; i < entries; ++i) {
    unsigned char entry[4];
    if (!reader->ReadAll(entry, 4)) return false;
    if (i < room) table[i] = gdTrueColor(entry[2], entry[1], entry[0]);
  }
  return true;
}

// Stored pixels of one row into packed colours.
void DecodeTrueColourPixels(const unsigned char *from, size_t pixels, int *to) {
  for (size_t x = 0; x < pixels; ++x, from += 3) {
    to[x] = gdTrueColor(from[2], from[1], from[0]);
  }
}

// Palette pixels of one row, most significant bits first.
void DecodePalettePixels(const unsigned char *from, const BmpHeader &header, const int *table,
                         int *to) {
  const unsigned bits = header.bitsPerPixel;
  if (bits == 8) {
    for (int32_t x = 0; x < header.width; ++x) to[x] = table[from[x]];
    return;
  }
  const unsigned mask = (1u << bits) - 1;
  for (int32_t x = 0; x < header.width; ++x) {
    const size_t bit = size_t(x) * bits;
    const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
    to[x] = table[(from[bit / 8] >> shift) & mask];
  }
}

// Where the data ends inside a row (available bytes of it, fewer than the
// stride): a 24-bit row keeps its whole pixels and the rest of the image stays
// black, as long as the bytes taken end on a multiple of 4 from the start of
// the pixel array and inside the pixels; a palette row, or one whose padding
// is cut short, gives no image.
bool DecodeCutRow(const unsigned char *from, size_t available, const BmpHeader &header,
                  int *to) {
  const size_t pixelBytes = size_t(header.width) * 3;
  if (header.bitsPerPixel != 24 || available > pixelBytes || available % 4 != 0) return false;
  DecodeTrueColourPixels(from, available / 3, to);
  return true;
}

// Fills the image rows from the pixel array, bottom row first, reading many
// stored rows (each padded to a multiple of 4 bytes) at a time.
bool ReadPixelArray(CountingReader *reader, const BmpHeader &header, const int *table,
                    gdImagePtr im) {
  constexpr size_t kBlockBytes = size_t(1) << 16;
  const size_t stride = BmpRowStride(header.width, static_cast<int>(header.bitsPerPixel));
  const size_t rowsPerBlock = stride >= kBlockBytes ? 1 : kBlockBytes / stride;
  auto *block = static_cast<unsigned char *>(std::malloc(rowsPerBlock * stride));
  if (block == nullptr) return false;
  bool ok = true;
  int32_t y = header.height - 1;
  while (ok && y >= 0) {
    const size_t rows = std::min(rowsPerBlock, size_t(y) + 1);
    const size_t got = reader->Read(block, rows * stride);
    for (size_t r = 0; ok && r < rows; ++r, --y) {
      const unsigned char *from = block + r * stride;
      const size_t offset = r * stride;
      if (got >= offset + stride) {
        if (header.bitsPerPixel == 24) {
          DecodeTrueColourPixels(from, size_t(header.width), im->tpixels[y]);
        } else {
          DecodePalettePixels(from, header, table, im->tpixels[y]);
        }
        continue;
      }
      ok = DecodeCutRow(from, got > offset ? got - offset : 0, header, im->tpixels[y]);
      y = -1;  // the data has ended: the rows not read stay black
      break;
    }
  }
  std::free(block);
  return ok;
}

}  // namespace

gdImagePtr BmpDecode(gdIOCtx *in) {
  CountingReader reader(in);
  BmpHeader header;
  if (!ReadHeader(&reader, &header) || !IsSupported(header)) return nullptr;
  // The colour table follows the information header, whatever its length.
  if (!reader.Skip(header.infoHeaderSize - uint32_t(kBmpInfoHeaderSize))) return nullptr;
  int table[256] = {};
  if (header.bitsPerPixel != 24 && !ReadColourTable(&reader, header, table)) return nullptr;
  if (header.pixelOffset < reader.consumed()) return nullptr;
  // Data that ends before the pixel array shows up as short pixel reads.
  reader.Skip(header.pixelOffset - reader.consumed());
  // Every pixel is opaque and blending is off, so the packed colours are
  // stored as they are.
  gdImagePtr im = gdImageCreateTrueColor(header.width, header.height);
  if (im == nullptr) return nullptr;
  SetNewImageFlags(im);
  if (!ReadPixelArray(&reader, header, table, im)) {
    gdImageDestroy(im);
    return nullptr;
  }
  return im;
}

}  // namespace morphel
