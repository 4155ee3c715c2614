// Font look-up: the process-wide search path, names to font files, and the
// system font directories.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

#include "text/truetype_p.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <new>
#endif

namespace morphel {

namespace {

// The search path is shared by every object in every thread: it is only
// touched under its lock, and readers take a copy.
std::mutex searchPathLock;
std::array<char, kFontPathCapacity + 1> searchPath{};

constexpr const char *kFontExtensions[] = {".ttf", ".pfa", ".pfb"};

// The readability test. A directory that happens to carry a font's name is
// passed over rather than taken and then failing to open.
bool IsReadableFile(const std::string &path) {
#if defined(_WIN32)
  struct _stat64 info;
  if (_stat64(path.c_str(), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return false;
  return _access(path.c_str(), 4) == 0;
#else
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return access(path.c_str(), R_OK) == 0;
#endif
}

// The library splits the name it is given at semicolons, so a path holding
// one cannot be handed over.
bool IsUsablePath(const std::string &path) {
  return path.find(';') == std::string::npos && IsReadableFile(path);
}

// Calls visit for each non-empty piece of text between separators, in order,
// until visit returns true; returns whether it did.
template <typename Visit>
bool ForEachPiece(std::string_view text, char separator, Visit visit) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start && visit(text.substr(start, end - start))) return true;
    start = end + 1;
  }
  return false;
}

// The first usable file for one name: the name itself when absolute, then each
// directory with each extension.
std::string FindOneName(std::string_view name, std::string_view directories) {
  if (IsAbsoluteFontName(name)) {
    std::string path(name);
    if (IsUsablePath(path)) return path;
  }
  std::string found;
  ForEachPiece(directories, ';', [&](std::string_view directory) {
    for (const char *extension : kFontExtensions) {
      std::string path;
      path.reserve(directory.size() + name.size() + 5);
      path.append(directory).append("/").append(name).append(extension);
      if (IsUsablePath(path)) {
        found = std::move(path);
        return true;
      }
    }
    return false;
  });
  return found;
}

}  // namespace

void SetFontSearchPath(std::string_view directories) {
  const size_t length = std::min(directories.size(), kFontPathCapacity);
  std::lock_guard<std::mutex> guard(searchPathLock);
  std::memcpy(searchPath.data(), directories.data(), length);
  searchPath[length] = '\0';
}

std::string FontSearchPath() {
  std::array<char, kFontPathCapacity + 1> copy;
  {
    std::lock_guard<std::mutex> guard(searchPathLock);
    copy = searchPath;
  }
  return std::string(copy.data());
}

bool IsAbsoluteFontName(std::string_view name) {
  if (!name.empty() && name[0] == '/') return true;
  return name.size() >= 3 && name[1] == ':' && (name[2] == '/' || name[2] == '\\');
}

std::string FindFontFile(std::string_view fontList, std::string_view directories) {
  std::string found;
  ForEachPiece(fontList, ' ', [&](std::string_view name) {
    found = FindOneName(name, directories);
    return !found.empty();
  });
  return found;
}

#if defined(_WIN32)

// The Windows directory followed by "\FONTS"; a failed query leaves the
// directory out, and a folder too long for the field leaves the path empty.
std::string SystemFontDirectories() {
  char windows[MAX_PATH + 1] = {};
  UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length >= sizeof windows) length = 0;
  std::string path(windows, length);
  path += "\\FONTS";
  return path.size() <= kFontPathCapacity ? path : std::string();
}

#else

namespace {

namespace fs = std::filesystem;

// Deep enough for any font tree; guards against pathological nesting.
constexpr int kMaxFontDirectoryDepth = 8;

bool HasFontExtension(const fs::path &file) {
  const std::string extension = file.extension().string();
  for (const char *known : kFontExtensions) {
    if (extension == known) return true;
  }
  return false;
}

// Collects font directories depth first, each directory before its
// subdirectories, siblings in name order; stops at the first directory that
// no longer fits. Symbolic links to directories are not followed.
class FontDirectoryCollector {
 public:
  explicit FontDirectoryCollector(size_t capacity) : capacity_(capacity) {}

  // Read with the C library's directory calls: the standard library's
  // directory iteration ends the process when memory runs out inside it.
  // Throws std::bad_alloc when memory runs out.
  void Visit(const std::string &directory, int depth) {
    if (full_ || depth > kMaxFontDirectoryDepth) return;
    std::vector<std::string> subdirectories;
    bool holdsFont = false;
    DIR *listing = opendir(directory.c_str());
    if (listing == nullptr) {
      if (errno == ENOMEM) throw std::bad_alloc();
      return;
    }
    std::unique_ptr<DIR, int (*)(DIR *)> closer(listing, closedir);
    while (const dirent *entry = readdir(listing)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      const std::string path = directory + "/" + entry->d_name;
      struct stat link, target;
      if (lstat(path.c_str(), &link) != 0) continue;
      if (S_ISDIR(link.st_mode)) {
        subdirectories.push_back(path);
      } else if (HasFontExtension(path) && stat(path.c_str(), &target) == 0 &&
                 S_ISREG(target.st_mode)) {
        holdsFont = true;
      }
    }
    if (holdsFont) Add(directory);
    std::sort(subdirectories.begin(), subdirectories.end());
    for (const std::string &sub : subdirectories) Visit(sub, depth + 1);
  }

  const std::string &Joined() const { return joined_; }

 private:
  void Add(const std::string &directory) {
    if (full_ || directory.find(';') != std::string::npos) return;
    const size_t needed = joined_.size() + (joined_.empty() ? 0 : 1) + directory.size();
    if (needed > capacity_) {
      full_ = true;
      return;
    }
    if (!joined_.empty()) joined_ += ';';
    joined_ += directory;
  }

  size_t capacity_;
  std::string joined_;
  bool full_ = false;
};

}  // namespace

std::string FontDirectoriesUnder(const std::vector<std::string> &roots, size_t capacity) {
  FontDirectoryCollector collector(capacity);
  for (const std::string &root : roots) collector.Visit(root, 0);
  return collector.Joined();
}

// Fonts installed by the administrator come before the distribution's, so
// that a local font of the same name wins.
std::string SystemFontDirectories() {
  return FontDirectoriesUnder({"/usr/local/share/fonts", "/usr/share/fonts"}, kFontPathCapacity);
}

#endif

}  // namespace morphel
