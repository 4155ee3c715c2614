// Writing the current image to a file and reading a file into the current slot.
#include <cstdio>
#include <cstring>

#include "core/ansi_text.h"
#include "core/images.h"
#include "core/status.h"
#include "io/codec_p.h"
#include "io/memory_channel_p.h"

namespace morphel {

namespace {

// A library output context over an open file that remembers whether every
// byte reached the stream and how many were written.
class FileSinkContext {
 public:
  explicit FileSinkContext(FILE *file) : file_(file) {
    std::memset(&ctx_, 0, sizeof ctx_);
    ctx_.putBuf = PutBufToFile;
    ctx_.putC = PutCToFile;
    ctx_.gd_free = [](gdIOCtx *) {};
    ctx_.data = this;
  }
  gdIOCtx *get() { return &ctx_; }
  bool failed() const { return failed_; }
  size_t written() const { return written_; }

 private:
  static FileSinkContext *Of(gdIOCtx *ctx) { return static_cast<FileSinkContext *>(ctx->data); }

  // A short count makes the encoders that check it stop.
  static int PutBufToFile(gdIOCtx *ctx, const void *buf, int size) {
    FileSinkContext *self = Of(ctx);
    if (size <= 0) return 0;
    size_t n = std::fwrite(buf, 1, static_cast<size_t>(size), self->file_);
    self->written_ += n;
    if (n != static_cast<size_t>(size)) self->failed_ = true;
    return static_cast<int>(n);
  }

  static void PutCToFile(gdIOCtx *ctx, int c) {
    FileSinkContext *self = Of(ctx);
    if (std::fputc(static_cast<unsigned char>(c), self->file_) == EOF) {
      self->failed_ = true;
    } else {
      ++self->written_;
    }
  }

  gdIOCtx ctx_;
  FILE *file_;
  bool failed_ = false;
  size_t written_ = 0;
};

// The whole content of an open file.
enum class ReadResult { kRead, kReadError, kNoMemory };

// No image the component accepts encodes to more than a few hundred megabytes;
// a longer file (or an endless device) is not held in memory.
constexpr size_t kMaxFileBytes = size_t(512) << 20;

ReadResult ReadWholeFile(FILE *file, ByteBuffer *content) {
  constexpr size_t kStep = 1 << 16;
  size_t length = 0;
  if (!content->Allocate(kStep)) return ReadResult::kNoMemory;
  for (;;) {
    if (content->size() - length < kStep) {
      if (content->size() >= kMaxFileBytes || !content->Resize(content->size() * 2)) {
        return ReadResult::kNoMemory;
      }
    }
    size_t n = std::fread(content->data() + length, 1, content->size() - length, file);
    length += n;
    if (n == 0 || length < content->size()) break;
  }
  if (std::ferror(file)) return ReadResult::kReadError;
  content->Truncate(length);
  return ReadResult::kRead;
}

// Encodes im into an open file and closes it; every failure is reported.
HRESULT EncodeToFile(const Images &object, gdImagePtr im, FILE *file) {
  FileSinkContext sink(file);
  EncodeOutcome outcome = EncodeImage(object, im, sink.get());
  bool failed = sink.failed() || std::fflush(file) != 0 || std::ferror(file);
  failed = std::fclose(file) != 0 || failed;
  if (failed) return ReportError(kMsgNoFile);
  if (outcome == EncodeOutcome::kNoMemory) return ReportError(kMsgNoMemory);
  if (outcome == EncodeOutcome::kNotEncodable || sink.written() == 0) {
    return ReportError(kMsgNoImage);
  }
  return S_OK;
}

}  // namespace

HRESULT Images::WriteToFile(BSTR str) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  AnsiText path;
  if (!path.Convert(str)) return S_FALSE;
  ApplySaveAlphaRule(*this, im);
  FILE *file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return ReportError(kMsgNoFile);
  return EncodeToFile(*this, im, file);
}

// The file is read whole and decoded from memory, so its header can be checked
// before a decoder takes any pixel memory.
HRESULT Images::ReadFromFile(BSTR str) {
  EmptyCurrentSlot();
  AnsiText path;
  if (!path.Convert(str)) return S_FALSE;
  FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return ReportError(kMsgNoFile);
  ByteBuffer content;
  ReadResult result = ReadWholeFile(file, &content);
  std::fclose(file);
  if (result == ReadResult::kNoMemory) return ReportError(kMsgNoMemory);
  if (result == ReadResult::kReadError) return ReportError(kMsgNoFile);
  gdImagePtr im = DecodeImage(imageType, content.data(), content.size());
  if (im == nullptr) return ReportError(kMsgNoImage);
  PlaceImage(im);
  return S_OK;
}

}  // namespace morphel
