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
  if (outcome == EncodeOutcome::kNotEncodable || sink.count == 0) return ReportError(kMsgNoImage);
  return S_OK;
}

}  // namespace morphel
