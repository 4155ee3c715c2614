// Memory sink and source, their library contexts, and the collection of encoded bytes.
#include "io/memory_channel_p.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/images.h"
#include "core/status.h"
#include "io/codec_p.h"

namespace morphel {

namespace {

// The largest encoding handed out: its length and one spare byte must fit the
// automation string and array sizes.
constexpr int64_t kMaxEncodedLength = INT_MAX - 1;

// Grows the sink's buffer to hold at least needed bytes, doubling so that the
// bytes already held are moved a bounded number of times; false when the
// length is past the largest encoding or memory is short.
bool GrowSink(MemorySink *sink, int64_t needed) {
  if (sink->growth == nullptr || needed > kMaxEncodedLength) return false;
  int64_t size = sink->capacity > 0 ? sink->capacity : kFirstPassCapacity;
  while (size < needed) size *= 2;
  if (size > kMaxEncodedLength) size = kMaxEncodedLength;
  if (!sink->growth->Resize(static_cast<size_t>(size))) return false;
  sink->buffer = sink->growth->data();
  sink->capacity = size;
  return true;
}

}  // namespace

void MemorySink::Offer(const unsigned char *bytes, int64_t n) {
  if (n <= 0) return;
  if (n > capacity - count && !overflow) GrowSink(this, count + n);
  int64_t room = capacity - count;
  if (room < 0) room = 0;
  int64_t stored = n < room ? n : room;
  if (stored > 0) std::memcpy(buffer + count, bytes, static_cast<size_t>(stored));
  if (stored < n) overflow = true;
  count += n;
}

size_t MemorySource::Take(unsigned char *out, size_t n) {
  size_t left = length - position;
  size_t taken = n < left ? n : left;
  if (taken > 0) std::memcpy(out, buffer + position, taken);
  position += taken;
  return taken;
}

namespace {

MemorySink *SinkOf(gdIOCtx *ctx) { return static_cast<MemorySink *>(ctx->data); }
MemorySource *SourceOf(gdIOCtx *ctx) { return static_cast<MemorySource *>(ctx->data); }

// A sink never refuses bytes: the count reported is always the count offered.
int SinkPutBuf(gdIOCtx *ctx, const void *buf, int size) {
  if (size <= 0) return 0;
  SinkOf(ctx)->Offer(static_cast<const unsigned char *>(buf), size);
  return size;
}

// The GIF and WBMP writers hand over one byte at a time.
void SinkPutC(gdIOCtx *ctx, int c) {
  MemorySink *sink = SinkOf(ctx);
  const auto byte = static_cast<unsigned char>(c);
  if (sink->count >= 0 && sink->count < sink->capacity) {
    sink->buffer[sink->count++] = byte;
  } else {
    sink->Offer(&byte, 1);
  }
}

long SinkTell(gdIOCtx *ctx) { return static_cast<long>(SinkOf(ctx)->count); }

int SourceGetBuf(gdIOCtx *ctx, void *buf, int size) {
  if (size <= 0) return 0;
  return static_cast<int>(SourceOf(ctx)->Take(static_cast<unsigned char *>(buf), size));
}

// End of data is EOF (-1), never 0: the WBMP reader depends on it.
int SourceGetC(gdIOCtx *ctx) {
  MemorySource *source = SourceOf(ctx);
  return source->position < source->length ? source->buffer[source->position++] : EOF;
}

int SourceSeek(gdIOCtx *ctx, const int position) {
  MemorySource *source = SourceOf(ctx);
  if (position < 0 || static_cast<size_t>(position) > source->length) return 0;
  source->position = static_cast<size_t>(position);
  return 1;
}

long SourceTell(gdIOCtx *ctx) { return static_cast<long>(SourceOf(ctx)->position); }

// The contexts live inside their owners; the library never frees them.
void KeepContext(gdIOCtx *) {}

}  // namespace

SinkContext::SinkContext(MemorySink *sink) {
  std::memset(&ctx_, 0, sizeof ctx_);
  ctx_.putBuf = SinkPutBuf;
  ctx_.putC = SinkPutC;
  ctx_.tell = SinkTell;
  ctx_.gd_free = KeepContext;
  ctx_.data = sink;
}

SourceContext::SourceContext(MemorySource *source) {
  std::memset(&ctx_, 0, sizeof ctx_);
  ctx_.getBuf = SourceGetBuf;
  ctx_.getC = SourceGetC;
  ctx_.seek = SourceSeek;
  ctx_.tell = SourceTell;
  ctx_.gd_free = KeepContext;
  ctx_.data = source;
}

ByteBuffer::~ByteBuffer() { Release(); }

bool ByteBuffer::Allocate(size_t size) {
  Release();
  data_ = static_cast<unsigned char *>(std::malloc(size > 0 ? size : 1));
  if (data_ == nullptr) return false;
  size_ = size;
  return true;
}

bool ByteBuffer::Resize(size_t size) {
  auto *grown = static_cast<unsigned char *>(std::realloc(data_, size > 0 ? size : 1));
  if (grown == nullptr) return false;
  data_ = grown;
  size_ = size;
  return true;
}

void ByteBuffer::Release() {
  std::free(data_);
  data_ = nullptr;
  size_ = 0;
}

namespace {

uint32_t BigEndian32(const unsigned char *p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t LittleEndian32(const unsigned char *p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// The signature, then whole chunks (length, type, data, check value), the
// first the header and the last the empty end chunk, ending the bytes.
bool PngIsWhole(const unsigned char *b, size_t n) {
  static const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  if (n < 8 || std::memcmp(b, kSignature, 8) != 0) return false;
  for (size_t pos = 8; n - pos >= 12;) {
    const uint32_t length = BigEndian32(b + pos);
    if (length > n - pos - 12) return false;
    const unsigned char *type = b + pos + 4;
    if (pos == 8 && std::memcmp(type, "IHDR", 4) != 0) return false;
    pos += 12 + size_t(length);
    if (std::memcmp(type, "IEND", 4) == 0) return length == 0 && pos == n;
  }
  return false;
}

// Start-of-image first, end-of-image last (the entropy-coded data stuffs every
// 0xFF it holds, so the end marker appears nowhere else at the end).
bool JpegIsWhole(const unsigned char *b, size_t n) {
  return n >= 4 && b[0] == 0xFF && b[1] == 0xD8 && b[n - 2] == 0xFF && b[n - 1] == 0xD9;
}

// Skips a run of data sub-blocks up to its empty block; false when the bytes
// end first.
bool SkipGifSubBlocks(const unsigned char *b, size_t n, size_t *pos) {
  while (*pos < n) {
    const size_t size = b[(*pos)++];
    if (size == 0) return true;
    *pos += size;
  }
  return false;
}

// Header, screen descriptor and colour table, then extensions and images
// made of whole sub-block runs, then the trailer as the last byte.
bool GifIsWhole(const unsigned char *b, size_t n) {
  if (n < 13 || std::memcmp(b, "GIF8", 4) != 0) return false;
  size_t pos = 13;
  if (b[10] & 0x80) pos += size_t(3) << ((b[10] & 7) + 1);
  while (pos < n) {
    const unsigned char block = b[pos++];
    if (block == 0x3B) return pos == n;
    if (block == 0x21) {
      ++pos;  // the extension's label
    } else if (block == 0x2C) {
      if (n - pos < 10) return false;
      const unsigned char flags = b[pos + 8];
      pos += 9;
      if (flags & 0x80) pos += size_t(3) << ((flags & 7) + 1);
      ++pos;  // the code size
    } else {
      return false;
    }
    if (!SkipGifSubBlocks(b, n, &pos)) return false;
  }
  return false;
}

// A multi-byte WBMP number: seven bits a byte, the high bit for "more".
bool ReadWbmpNumber(const unsigned char *b, size_t n, size_t *pos, uint64_t *value) {
  *value = 0;
  for (int i = 0; i < 5 && *pos < n; ++i) {
    const unsigned char byte = b[(*pos)++];
    *value = (*value << 7) | (byte & 0x7F);
    if (!(byte & 0x80)) return true;
  }
  return false;
}

// Type and header bytes, width and height, then exactly the rows of bits.
bool WbmpIsWhole(const unsigned char *b, size_t n) {
  size_t pos = 2;
  uint64_t width = 0, height = 0;
  if (n < 4 || b[0] != 0 || b[1] != 0 || !ReadWbmpNumber(b, n, &pos, &width) ||
      !ReadWbmpNumber(b, n, &pos, &height)) {
    return false;
  }
  return (width + 7) / 8 * height == n - pos;
}

// The two headers and exactly the pixel array their size field announces.
bool BmpIsWhole(const unsigned char *b, size_t n) {
  return n >= 54 && b[0] == 'B' && b[1] == 'M' && n - 54 == LittleEndian32(b + 34);
}

// libpng refuses images with a side over a million pixels.
constexpr int kPngMaxSide = 1000000;

// The message for an encoding that did not come out whole. Where the format
// cannot hold the image ("NO IMAGE!"): a palette image with no colour as PNG
// (the library writes nothing), a side longer than libpng takes (libpng gives
// up at the header). Otherwise the encoders, writing into memory that never
// refuses bytes, stop early only when their own allocations fail ("NO
// MEMORY!").
HRESULT ReportIncomplete(const Images &object, gdImagePtr im, size_t count) {
  if (object.imageType == kFormatPng) {
    const bool noColours = !gdImageTrueColor(im) && gdImageColorsTotal(im) == 0;
    const bool tooLong = gdImageSX(im) > kPngMaxSide || gdImageSY(im) > kPngMaxSide;
    if ((count == 0 && noColours) || tooLong) return ReportError(kMsgNoImage);
  }
  return ReportError(kMsgNoMemory);
}

}  // namespace

bool EncodingIsWhole(int format, const unsigned char *bytes, size_t length) {
  switch (format) {
    case kFormatPng:
      return PngIsWhole(bytes, length);
    case kFormatJpeg:
      return JpegIsWhole(bytes, length);
    case kFormatWbmp:
      return WbmpIsWhole(bytes, length);
    case kFormatGif:
      return GifIsWhole(bytes, length);
    case kFormatBmp:
      return BmpIsWhole(bytes, length);
    default:
      return false;
  }
}

HRESULT CollectEncodedBytes(const Images &object, gdImagePtr im, EncodedBytes *out) {
  out->passes = 0;
  if (!out->bytes.Allocate(kFirstPassCapacity)) return ReportError(kMsgNoMemory);
  ApplySaveAlphaRule(object, im);
  MemorySink sink;
  sink.buffer = out->bytes.data();
  sink.capacity = kFirstPassCapacity;
  sink.growth = &out->bytes;
  SinkContext ctx(&sink);
  const EncodeOutcome outcome = EncodeImage(object, im, ctx.get());
  out->passes = 1;
  // Bytes the buffer could not grow for are lost: the encoding is not handed out.
  if (sink.overflow) return ReportError(kMsgNoMemory);
  out->bytes.Truncate(static_cast<size_t>(sink.count));
  if (outcome == EncodeOutcome::kNoMemory) return ReportError(kMsgNoMemory);
  if (outcome == EncodeOutcome::kNotEncodable) return ReportError(kMsgNoImage);
  // The library's encoders give no sign of stopping part-way: what they wrote
  // is handed out only when it is a whole file of the format.
  if (!EncodingIsWhole(object.imageType, out->bytes.data(), out->bytes.size())) {
    return ReportIncomplete(object, im, out->bytes.size());
  }
  return S_OK;
}

}  // namespace morphel
