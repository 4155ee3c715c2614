// The BMP reader: uncompressed 1, 4, 8 and 24-bit files with bottom-up rows.
#include <cstdint>
#include <cstdlib>
#include <cstring>

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
      size_t chunk = n - got < kChunk ? n - got : kChunk;
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
  gdIOCtx *in_;
  uint64_t consumed_ = 0;
};

uint32_t Le16(const unsigned char *at) { return at[0] | (uint32_t(at[1]) << 8); }
uint32_t Le32(const unsigned char *at) { return Le16(at) | (Le16(at + 2) << 16); }

// The fields of the two headers that the reader uses.
struct BmpHeader {
  uint32_t pixelOffset = 0;
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
  header->width = static_cast<int32_t>(Le32(bytes + 18));
  header->height = static_cast<int32_t>(Le32(bytes + 22));
  header->bitsPerPixel = Le16(bytes + 28);
  header->compression = Le32(bytes + 30);
  header->coloursUsed = Le32(bytes + 46);
  return true;
}

// Uncompressed, a supported depth and an accepted positive size (checked
// before any pixel memory is taken).
bool IsSupported(const BmpHeader &header) {
  if (header.compression != 0) return false;
  uint32_t bits = header.bitsPerPixel;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
  return IsAcceptedSize(header.width, header.height);
}

struct Rgb {
  unsigned char red = 0, green = 0, blue = 0;
};

// Reads the colour table (blue, green, red, reserved entries). The table holds
// the 2^bits entries a pixel can index; further entries are read and dropped.
bool ReadColourTable(CountingReader *reader, const BmpHeader &header, Rgb *table) {
  const uint32_t room = 1u << header.bitsPerPixel;
  const uint32_t entries = header.coloursUsed != 0 ? header.coloursUsed : room;
  for (uint32_t i = 0; i < entries; ++i) {
    unsigned char entry[4];
    if (!reader->ReadAll(entry, 4)) return false;
    if (i < room) table[i] = Rgb{entry[2], entry[1], entry[0]};
  }
  return true;
}

// One 24-bit row: a short read leaves the rest of the row black.
void ReadTrueColourRow(CountingReader *reader, unsigned char *rgb, int width, unsigned char *row) {
  size_t got = reader->Read(row, size_t(width) * 3);
  size_t whole = got / 3;
  for (size_t x = 0; x < whole; ++x) {
    rgb[x * 3] = row[x * 3 + 2];
    rgb[x * 3 + 1] = row[x * 3 + 1];
    rgb[x * 3 + 2] = row[x * 3];
  }
}

// One palette row, most significant bits first; false when the data ends.
bool ReadPaletteRow(CountingReader *reader, const BmpHeader &header, const Rgb *table,
                    unsigned char *rgb, unsigned char *row) {
  const unsigned bits = header.bitsPerPixel;
  const size_t rowBytes = (size_t(header.width) * bits + 7) / 8;
  if (!reader->ReadAll(row, rowBytes)) return false;
  const unsigned mask = (1u << bits) - 1;
  for (int32_t x = 0; x < header.width; ++x) {
    size_t bit = size_t(x) * bits;
    unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
    const Rgb &c = table[(row[bit / 8] >> shift) & mask];
    rgb[size_t(x) * 3] = c.red;
    rgb[size_t(x) * 3 + 1] = c.green;
    rgb[size_t(x) * 3 + 2] = c.blue;
  }
  return true;
}

// Fills rgb (top row first) from the pixel array, bottom row first; each row
// is followed by padding up to a multiple of 4 bytes from the array's start.
bool ReadPixelArray(CountingReader *reader, const BmpHeader &header, const Rgb *table,
                    unsigned char *rgb) {
  const size_t rowBytes = size_t(header.width) * 3;
  auto *row = static_cast<unsigned char *>(std::malloc(rowBytes));
  if (row == nullptr) return false;
  const uint64_t start = reader->consumed();
  bool ok = true;
  for (int32_t y = header.height - 1; ok && y >= 0; --y) {
    unsigned char *target = rgb + size_t(y) * rowBytes;
    if (header.bitsPerPixel == 24) {
      ReadTrueColourRow(reader, target, header.width, row);
    } else {
      ok = ReadPaletteRow(reader, header, table, target, row);
    }
    uint64_t misalign = (reader->consumed() - start) % 4;
    if (ok && misalign != 0) ok = reader->Skip(4 - misalign);
  }
  std::free(row);
  return ok;
}

// Every pixel is opaque and blending is off, so storing the packed colour is
// what setting each pixel to its allocated colour does, without a library
// call per pixel (up to 36,000,000 of them).
gdImagePtr MakeImage(const BmpHeader &header, const unsigned char *rgb) {
  gdImagePtr im = gdImageCreateTrueColor(header.width, header.height);
  if (im == nullptr) return nullptr;
  SetNewImageFlags(im);
  for (int32_t y = 0; y < header.height; ++y) {
    const unsigned char *at = rgb + size_t(y) * size_t(header.width) * 3;
    int *row = im->tpixels[y];
    for (int32_t x = 0; x < header.width; ++x, at += 3) row[x] = gdTrueColor(at[0], at[1], at[2]);
  }
  return im;
}

}  // namespace

gdImagePtr BmpDecode(gdIOCtx *in) {
  CountingReader reader(in);
  BmpHeader header;
  if (!ReadHeader(&reader, &header) || !IsSupported(header)) return nullptr;
  Rgb table[256];
  if (header.bitsPerPixel != 24 && !ReadColourTable(&reader, header, table)) return nullptr;
  if (header.pixelOffset < reader.consumed()) return nullptr;
  // Data that ends before the pixel array shows up as short pixel reads.
  reader.Skip(header.pixelOffset - reader.consumed());
  const size_t size = size_t(header.width) * size_t(header.height) * 3;
  auto *rgb = static_cast<unsigned char *>(std::calloc(size, 1));
  if (rgb == nullptr) return nullptr;
  gdImagePtr im = ReadPixelArray(&reader, header, table, rgb) ? MakeImage(header, rgb) : nullptr;
  std::free(rgb);
  return im;
}

}  // namespace morphel
