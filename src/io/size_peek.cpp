// Image sizes read from the headers of encoded bytes, before any decoder runs.
#include <cstdint>
#include <cstring>

#include "core/images.h"
#include "io/codec_p.h"

namespace morphel {

namespace {

// Bounds-checked reading over the encoded bytes.
class ByteCursor {
 public:
  ByteCursor(const unsigned char *bytes, size_t length) : bytes_(bytes), length_(length) {}
  bool Has(size_t n) const { return length_ - position_ >= n; }
  int Next() { return Has(1) ? bytes_[position_++] : -1; }
  bool Skip(size_t n) {
    if (!Has(n)) return false;
    position_ += n;
    return true;
  }
  const unsigned char *At() const { return bytes_ + position_; }

 private:
  const unsigned char *bytes_;
  size_t length_;
  size_t position_ = 0;
};

uint32_t Be16(const unsigned char *at) { return (uint32_t(at[0]) << 8) | at[1]; }
uint32_t Be32(const unsigned char *at) { return (Be16(at) << 16) | Be16(at + 2); }
uint32_t Le16(const unsigned char *at) { return at[0] | (uint32_t(at[1]) << 8); }
uint32_t Le32(const unsigned char *at) { return Le16(at) | (Le16(at + 2) << 16); }

// PNG: the signature, then the IHDR chunk with width and height (bytes 16 to 23).
bool PeekPng(const unsigned char *bytes, size_t length, long long *w, long long *h) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (length < 24 || std::memcmp(bytes, kSignature, 8) != 0) return false;
  if (std::memcmp(bytes + 12, "IHDR", 4) != 0) return false;
  *w = Be32(bytes + 16);
  *h = Be32(bytes + 20);
  return true;
}

// JPEG markers that carry the frame size: SOF0 to SOF15 except DHT, JPG and DAC.
bool IsFrameMarker(int marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers without a length field: TEM and RST0 to RST7.
bool IsBareMarker(int marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

// The next marker code, skipping stray bytes and fill bytes as the JPEG
// library's own marker reader does; -1 at the end of the data.
int NextJpegMarker(ByteCursor *cursor) {
  int c;
  do {
    do {
      c = cursor->Next();
    } while (c >= 0 && c != 0xFF);
    do {
      c = cursor->Next();
    } while (c == 0xFF);
  } while (c == 0x00);
  return c;
}

// JPEG: SOI, then marker segments up to the first frame header.
bool PeekJpeg(const unsigned char *bytes, size_t length, long long *w, long long *h) {
  if (length < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
  ByteCursor cursor(bytes + 2, length - 2);
  for (;;) {
    int marker = NextJpegMarker(&cursor);
    if (marker < 0 || marker == 0xD9 || marker == 0xDA || marker == 0xD8) return false;
    if (IsBareMarker(marker)) continue;
    if (!cursor.Has(2)) return false;
    uint32_t segment = Be16(cursor.At());
    if (IsFrameMarker(marker)) {
      if (!cursor.Has(7)) return false;
      *h = Be16(cursor.At() + 3);
      *w = Be16(cursor.At() + 5);
      return true;
    }
    if (segment < 2 || !cursor.Skip(segment)) return false;
  }
}

// One GIF sub-block; its size, or -1 when the data ends inside it.
int SkipGifSubBlock(ByteCursor *cursor) {
  int size = cursor->Next();
  if (size < 0 || !cursor->Skip(size)) return -1;
  return size;
}

// An extension after its introducer, walked as the library's reader walks it:
// a graphic control extension (label 0xF9) always takes one sub-block first,
// even an empty one, then sub-blocks up to an empty one follow.
bool SkipGifExtension(ByteCursor *cursor) {
  int label = cursor->Next();
  if (label < 0) return false;
  if (label == 0xF9 && SkipGifSubBlock(cursor) < 0) return false;
  int size;
  do {
    size = SkipGifSubBlock(cursor);
  } while (size > 0);
  return size == 0;
}

// GIF: the first image descriptor, found the way the library's reader walks
// the blocks (extensions skipped, stray bytes ignored).
bool PeekGifFrame(ByteCursor *cursor, long long *w, long long *h) {
  for (;;) {
    int c = cursor->Next();
    if (c < 0 || c == ';') return false;
    if (c == '!') {
      if (!SkipGifExtension(cursor)) return false;
    } else if (c == ',') {
      if (!cursor->Has(9)) return false;
      *w = Le16(cursor->At() + 4);
      *h = Le16(cursor->At() + 6);
      return true;
    }
  }
}

// The frame must lie within the logical screen, so a screen of accepted size
// is enough; otherwise the first frame decides.
bool PeekGif(const unsigned char *bytes, size_t length, long long *w, long long *h) {
  if (length < 13 || std::memcmp(bytes, "GIF", 3) != 0) return false;
  if (std::memcmp(bytes + 3, "87a", 3) != 0 && std::memcmp(bytes + 3, "89a", 3) != 0) return false;
  *w = Le16(bytes + 6);
  *h = Le16(bytes + 8);
  if (IsAcceptedSize(*w, *h)) return true;
  ByteCursor cursor(bytes + 13, length - 13);
  if ((bytes[10] & 0x80) != 0 && !cursor.Skip(3u << ((bytes[10] & 0x07) + 1))) return false;
  return PeekGifFrame(&cursor, w, h);
}

// A WBMP multi-byte integer: 7 bits a byte, most significant first. Values
// beyond 2^40 are held at 2^40 (far above any accepted size).
bool ReadMultiByte(ByteCursor *cursor, long long *value) {
  constexpr long long kCeiling = 1LL << 40;
  long long v = 0;
  int c;
  do {
    c = cursor->Next();
    if (c < 0) return false;
    v = (v << 7) | (c & 0x7F);
    if (v > kCeiling) v = kCeiling;
  } while ((c & 0x80) != 0);
  *value = v;
  return true;
}

// WBMP: type 0, a header field of continuation bytes, then width and height.
bool PeekWbmp(const unsigned char *bytes, size_t length, long long *w, long long *h) {
  ByteCursor cursor(bytes, length);
  if (cursor.Next() != 0) return false;
  long long fixHeader;
  return ReadMultiByte(&cursor, &fixHeader) && ReadMultiByte(&cursor, w) &&
         ReadMultiByte(&cursor, h);
}

// BMP: width and height of the information header.
bool PeekBmp(const unsigned char *bytes, size_t length, long long *w, long long *h) {
  if (length < 26 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  *w = static_cast<int32_t>(Le32(bytes + 18));
  *h = static_cast<int32_t>(Le32(bytes + 22));
  return true;
}

}  // namespace

bool PeekImageSize(int format, const unsigned char *bytes, size_t length, long long *width,
                   long long *height) {
  if (bytes == nullptr) return false;
  switch (format) {
    case kFormatPng:
      return PeekPng(bytes, length, width, height);
    case kFormatJpeg:
      return PeekJpeg(bytes, length, width, height);
    case kFormatWbmp:
      return PeekWbmp(bytes, length, width, height);
    case kFormatGif:
      return PeekGif(bytes, length, width, height);
    case kFormatBmp:
      return PeekBmp(bytes, length, width, height);
    default:
      return false;
  }
}

}  // namespace morphel
