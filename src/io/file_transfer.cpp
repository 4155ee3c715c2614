// Writing the current image to a file and reading a file into the current slot.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/ansi_text.h"
#include "core/images.h"
#include "core/status.h"
#include "io/codec_p.h"
#include "io/memory_channel_p.h"

namespace morphel {

namespace {

// Platform file services for writing a file whole or not at all.
#if defined(_WIN32)
constexpr int kExclusiveCreate = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY;

FILE *CreateExclusive(const std::string &name) {
  const int fd = _open(name.c_str(), kExclusiveCreate, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  FILE *file = _fdopen(fd, "wb");
  if (file == nullptr) {
    _close(fd);
    _unlink(name.c_str());
    errno = ENOMEM;
  }
  return file;
}

// A plain file (or none yet), which may be replaced by another.
bool IsReplaceable(const char *path, bool *exists) {
  const DWORD attributes = GetFileAttributesA(path);
  *exists = attributes != INVALID_FILE_ATTRIBUTES;
  return !*exists || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool MoveIntoPlace(const std::string &from, const char *to) {
  return MoveFileExA(from.c_str(), to, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool IsSeparator(char c) {
  return c == '/' || c == '\\' || c == ':';
}

unsigned long ProcessNumber() {
  return GetCurrentProcessId();
}

void KeepMode(FILE *, const char *) {}
#else
FILE *CreateExclusive(const std::string &name) {
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE *file = fdopen(fd, "wb");
  if (file == nullptr) {
    close(fd);
    unlink(name.c_str());
    errno = ENOMEM;
  }
  return file;
}

// A regular file with one name (or none yet), which may be replaced by
// another: links, devices and files with other names are written in place.
bool IsReplaceable(const char *path, bool *exists) {
  struct stat st;
  *exists = lstat(path, &st) == 0;
  return !*exists || (S_ISREG(st.st_mode) && st.st_nlink == 1);
}

bool MoveIntoPlace(const std::string &from, const char *to) {
  return std::rename(from.c_str(), to) == 0;
}

bool IsSeparator(char c) {
  return c == '/';
}

unsigned long ProcessNumber() {
  return static_cast<unsigned long>(getpid());
}

// The new file takes the permissions of the one it replaces.
void KeepMode(FILE *file, const char *path) {
  struct stat st;
  if (stat(path, &st) == 0) fchmod(fileno(file), st.st_mode & 07777);
}
#endif

// Writes all bytes and closes the file; false when any of it failed.
bool WriteAndClose(FILE *file, const ByteBuffer &bytes) {
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fflush(file) == 0 && ok;
  return std::fclose(file) == 0 && ok;
}

// A free name beside path ("dir/.name.<process>.<n>.tmp"), created empty and
// opened; null when the directory takes no new file (errno tells why).
FILE *CreateBeside(const char *path, std::string *name) {
  // Only makes names differ (objects on several threads may write at once);
  // a clash with any other file is retried.
  static std::atomic<unsigned> counter{0};
  const std::string full(path);
  size_t cut = full.size();
  while (cut > 0 && !IsSeparator(full[cut - 1])) --cut;
  for (int attempt = 0; attempt < 16; ++attempt) {
    *name = full.substr(0, cut) + "." + full.substr(cut) + "." + std::to_string(ProcessNumber()) +
            "." + std::to_string(counter.fetch_add(1) + 1) + ".tmp";
    if (FILE *file = CreateExclusive(*name)) return file;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

// Writes over the file at path itself; a file this call created is removed
// again when the write fails.
HRESULT WriteInPlace(const char *path, bool existed, const ByteBuffer &bytes) {
  errno = 0;
  FILE *file = std::fopen(path, "wb");
  if (file == nullptr) return ReportError(errno == ENOMEM ? kMsgNoMemory : kMsgNoFile);
  if (WriteAndClose(file, bytes)) return S_OK;
  if (!existed) std::remove(path);
  return ReportError(kMsgNoFile);
}

// Stores the bytes as the file at path, whole or not at all: a plain file is
// written under a new name beside it and then renamed over it, so that a
// failed write leaves the old file (or none) as it was. Where that cannot be
// (a device, a link, a directory that takes no new file) the file is written
// in place.
HRESULT StoreFile(const char *path, const ByteBuffer &bytes) {
  bool existed = false;
  if (!IsReplaceable(path, &existed)) return WriteInPlace(path, existed, bytes);
  std::string temporary;
  FILE *file = nullptr;
  try {
    errno = 0;
    file = CreateBeside(path, &temporary);
  } catch (const std::bad_alloc &) {
    return ReportError(kMsgNoMemory);
  }
  // Memory short for the new file's stream: the old file is not risked.
  if (file == nullptr && errno == ENOMEM) return ReportError(kMsgNoMemory);
  if (file == nullptr) return WriteInPlace(path, existed, bytes);
  if (existed) KeepMode(file, path);
  if (WriteAndClose(file, bytes) && MoveIntoPlace(temporary, path)) return S_OK;
  std::remove(temporary.c_str());
  return ReportError(kMsgNoFile);
}

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

}  // namespace

HRESULT Images::WriteToFile(BSTR str) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  AnsiText path;
  if (HRESULT hr = path.Convert(str); hr != S_OK) return hr;
  // The image is encoded whole before the file is touched.
  EncodedBytes encoded;
  if (HRESULT hr = CollectEncodedBytes(*this, im, &encoded); FAILED(hr)) return hr;
  return StoreFile(path.c_str(), encoded.bytes);
}

// The file is read whole and decoded from memory, so its header can be checked
// before a decoder takes any pixel memory.
HRESULT Images::ReadFromFile(BSTR str) {
  EmptyCurrentSlot();
  AnsiText path;
  if (HRESULT hr = path.Convert(str); hr != S_OK) return hr;
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
