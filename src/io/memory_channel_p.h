// Per-call byte channels between the codecs and memory, and the collection of
// encoded bytes shared by the memory and database transfers.
#ifndef MORPHEL_IO_MEMORY_CHANNEL_P_H
#define MORPHEL_IO_MEMORY_CHANNEL_P_H

#include <gd.h>

#include <cstddef>
#include <cstdint>

#include "morphel/automation.h"

namespace morphel {

class Images;
class ByteBuffer;

// Size of the buffer an encoding starts with.
inline constexpr int kFirstPassCapacity = 50000;

// Destination of one encoding pass: stores what fits, counts everything offered
// and always accepts, so the encoder runs to its end and count is the full length.
// With growth set, buffer and capacity are those of that byte buffer, which
// grows (keeping what it holds) when bytes do not fit; only bytes it cannot
// grow for are dropped.
struct MemorySink {
  unsigned char *buffer = nullptr;
  int64_t capacity = 0;
  int64_t count = 0;
  bool overflow = false;
  ByteBuffer *growth = nullptr;

  void Offer(const unsigned char *bytes, int64_t n);
};

// Origin of one decoding pass over a buffer the caller owns.
struct MemorySource {
  const unsigned char *buffer = nullptr;
  size_t length = 0;
  size_t position = 0;

  // Copies up to n bytes to out and returns how many (0 at the end).
  size_t Take(unsigned char *out, size_t n);
};

// A library I/O context over a sink or a source, living for one codec call.
class SinkContext {
 public:
  explicit SinkContext(MemorySink *sink);
  gdIOCtx *get() { return &ctx_; }

 private:
  gdIOCtx ctx_;
};

class SourceContext {
 public:
  explicit SourceContext(MemorySource *source);
  gdIOCtx *get() { return &ctx_; }

 private:
  gdIOCtx ctx_;
};

// A malloc'ed byte buffer owned by one call.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ~ByteBuffer();
  ByteBuffer(const ByteBuffer &) = delete;
  ByteBuffer &operator=(const ByteBuffer &) = delete;
  // Replaces the contents with size uninitialised bytes; false when memory is short.
  bool Allocate(size_t size);
  // Changes the length, keeping the bytes that stay; false when memory is short
  // (the buffer is then unchanged).
  bool Resize(size_t size);
  void Release();
  unsigned char *data() const { return data_; }
  size_t size() const { return size_; }
  // Shrinks the recorded length (the allocation stays).
  void Truncate(size_t size) { size_ = size < size_ ? size : size_; }

 private:
  unsigned char *data_ = nullptr;
  size_t size_ = 0;
};

// Encoded bytes of one write, and how many encoding passes it took (always one:
// the buffer grows while the encoder runs).
struct EncodedBytes {
  ByteBuffer bytes;
  int passes = 0;
};

// Whether length bytes are a whole file of the format, as its structure says:
// PNG whole chunks from the header to the end chunk, JPEG start and end
// markers, GIF whole blocks up to the trailer, WBMP and BMP exactly the size
// their headers give. Nothing may follow the end.
bool EncodingIsWhole(int format, const unsigned char *bytes, size_t length);

// Encodes the object's current image im in its format: the save-alpha rule,
// then one pass into a buffer that starts at 50000 bytes and grows as the
// encoder writes. Succeeds only with a whole file of the format. Fails with
// "NO MEMORY!" when a buffer cannot be had or the encoder stopped part-way
// (the library's encoders do so only when their allocations fail), and with
// "NO IMAGE!" when the format cannot hold the image (too large, or a palette
// image without colours as PNG).
HRESULT CollectEncodedBytes(const Images &object, gdImagePtr im, EncodedBytes *out);

}  // namespace morphel

#endif  // MORPHEL_IO_MEMORY_CHANNEL_P_H
