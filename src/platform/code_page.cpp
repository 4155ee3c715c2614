// Conversions between UTF-16 and the narrow code pages: UTF-8, and
// Windows-1252 for hosts that ask for it as their ANSI code page.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/platform_p.h"

namespace {

constexpr UINT kWindows1252 = 1252;
constexpr UINT kThreadAcp = 3;  // CP_THREAD_ACP: the same page as CP_ACP here
constexpr DWORD kWcNoBestFitChars = 0x0400;
constexpr DWORD kMbPrecomposed = 0x0001;
constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the five bytes the page leaves undefined map
// to the C1 control of the same value, as the platform maps them.
constexpr char16_t kHighControls1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

thread_local DWORD threadLastError = 0;

UINT ProcessAnsiCodePage() {
  static const UINT codePage = morphel::platform::AnsiCodePageFor(std::getenv("MORPHEL_ACP"));
  return codePage;
}

// Collects converted units, counting them always and storing them only when a
// buffer was given; notes when the buffer (or an int count) runs out.
template <typename Unit>
class Output {
 public:
  Output(Unit *buffer, int capacity) : buffer_(buffer), capacity_(capacity) {}

  void Put(Unit unit) {
    if (count_ == INT_MAX) {
      tooLong_ = true;
      return;
    }
    if (buffer_ != nullptr) {
      if (count_ >= capacity_) {
        full_ = true;
        return;
      }
      buffer_[count_] = unit;
    }
    ++count_;
  }
  // The conversion's result: the unit count, or 0 with the thread's last error.
  int Result() const {
    if (tooLong_) return morphel::platform::FailWithLastError(ERROR_INVALID_PARAMETER);
    if (full_) return morphel::platform::FailWithLastError(ERROR_INSUFFICIENT_BUFFER);
    return count_;
  }

 private:
  Unit *buffer_;
  int capacity_;
  int count_ = 0;
  bool full_ = false;
  bool tooLong_ = false;
};

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Reads one code point from wide at *index; -1 for a lone surrogate.
long NextCodePoint(const OLECHAR *wide, int count, int *index) {
  char16_t unit = wide[*index];
  ++*index;
  if (IsHighSurrogate(unit) && *index < count && IsLowSurrogate(wide[*index])) {
    char16_t low = wide[*index];
    ++*index;
    return 0x10000 + ((static_cast<long>(unit) - 0xD800) << 10) + (low - 0xDC00);
  }
  if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) return -1;
  return unit;
}

void PutUtf8(Output<char> &out, long codePoint) {
  auto put = [&out](long byte) { out.Put(static_cast<char>(static_cast<unsigned char>(byte))); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
}

int WideToUtf8(DWORD flags, const OLECHAR *wide, int count, Output<char> &out, BOOL *replaced) {
  int index = 0;
  while (index < count) {
    long codePoint = NextCodePoint(wide, count, &index);
    if (codePoint < 0) {
      if (flags & WC_ERR_INVALID_CHARS) {
        return morphel::platform::FailWithLastError(ERROR_NO_UNICODE_TRANSLATION);
      }
      if (replaced != nullptr) *replaced = TRUE;
      codePoint = kReplacement;
    }
    PutUtf8(out, codePoint);
  }
  return out.Result();
}

// The 1252 byte for a code point, or -1 when the page has none.
int Windows1252Byte(long codePoint) {
  if (codePoint < 0) return -1;
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<int>(codePoint);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls1252[i] == codePoint) return 0x80 + i;
  }
  return -1;
}

int WideTo1252(const OLECHAR *wide, int count, Output<char> &out, char defaultChar,
               BOOL *usedDefault) {
  int index = 0;
  while (index < count) {
    int byte = Windows1252Byte(NextCodePoint(wide, count, &index));
    if (byte < 0) {
      if (usedDefault != nullptr) *usedDefault = TRUE;
      out.Put(defaultChar);
    } else {
      out.Put(static_cast<char>(static_cast<unsigned char>(byte)));
    }
  }
  return out.Result();
}

void PutUtf16(Output<OLECHAR> &out, long codePoint) {
  if (codePoint < 0x10000) {
    out.Put(static_cast<OLECHAR>(codePoint));
  } else {
    out.Put(static_cast<OLECHAR>(0xD800 + ((codePoint - 0x10000) >> 10)));
    out.Put(static_cast<OLECHAR>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
  }
}

// Range of the second byte of a UTF-8 sequence led by lead, and the sequence
// length; length 0 for a byte that cannot lead.
void Utf8LeadShape(unsigned char lead, int *length, unsigned char *low, unsigned char *high) {
  *low = 0x80;
  *high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    *length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    *length = 3;
    if (lead == 0xE0) *low = 0xA0;   // no overlong forms
    if (lead == 0xED) *high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    *length = 4;
    if (lead == 0xF0) *low = 0x90;
    if (lead == 0xF4) *high = 0x8F;  // nothing above U+10FFFF
  } else {
    *length = 0;
  }
}

// Decodes one UTF-8 sequence at *index; -1 for an ill-formed one, after which
// *index has moved past its longest well-formed beginning (at least one byte).
long NextUtf8CodePoint(const unsigned char *bytes, int count, int *index) {
  unsigned char lead = bytes[*index];
  ++*index;
  if (lead < 0x80) return lead;
  int length;
  unsigned char low, high;
  Utf8LeadShape(lead, &length, &low, &high);
  if (length == 0) return -1;
  long codePoint = lead & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    if (*index >= count) return -1;
    unsigned char byte = bytes[*index];
    if (byte < low || byte > high) return -1;
    low = 0x80;
    high = 0xBF;
    codePoint = (codePoint << 6) | (byte & 0x3F);
    ++*index;
  }
  return codePoint;
}

int Utf8ToWide(DWORD flags, const char *narrow, int count, Output<OLECHAR> &out) {
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(narrow);
  int index = 0;
  while (index < count) {
    long codePoint = NextUtf8CodePoint(bytes, count, &index);
    if (codePoint < 0) {
      if (flags & MB_ERR_INVALID_CHARS) {
        return morphel::platform::FailWithLastError(ERROR_NO_UNICODE_TRANSLATION);
      }
      codePoint = kReplacement;
    }
    PutUtf16(out, codePoint);
  }
  return out.Result();
}

int Windows1252ToWide(const char *narrow, int count, Output<OLECHAR> &out) {
  for (int i = 0; i < count; ++i) {
    unsigned char byte = static_cast<unsigned char>(narrow[i]);
    bool high = byte >= 0x80 && byte <= 0x9F;
    out.Put(high ? kHighControls1252[byte - 0x80] : static_cast<OLECHAR>(byte));
  }
  return out.Result();
}

// The page a caller's code page stands for; 0 for one this layer lacks.
UINT ResolveCodePage(UINT codePage) {
  if (codePage == CP_ACP || codePage == kThreadAcp) return ProcessAnsiCodePage();
  if (codePage == CP_UTF8 || codePage == kWindows1252) return codePage;
  return 0;
}

int WideLength(const OLECHAR *wide) {
  size_t length = 0;
  while (wide[length] != 0) ++length;
  return length >= INT_MAX ? -1 : static_cast<int>(length) + 1;
}

int NarrowLength(const char *narrow) {
  size_t length = std::strlen(narrow);
  return length >= INT_MAX ? -1 : static_cast<int>(length) + 1;
}

}  // namespace

namespace morphel::platform {

int FailWithLastError(DWORD code) {
  threadLastError = code;
  return 0;
}

UINT AnsiCodePageFor(const char *environmentValue) {
  if (environmentValue != nullptr && std::strcmp(environmentValue, "1252") == 0) return kWindows1252;
  return CP_UTF8;
}

int WideToMultiByte(UINT codePage, bool viaAcp, DWORD flags, const OLECHAR *wide, int wideCount,
                    char *narrow, int narrowSize, const char *defaultChar, BOOL *usedDefaultChar) {
  if (wide == nullptr || wideCount == 0 || wideCount < -1 || narrowSize < 0 ||
      (narrowSize > 0 && narrow == nullptr) ||
      static_cast<const void *>(wide) == static_cast<const void *>(narrow)) {
    return FailWithLastError(ERROR_INVALID_PARAMETER);
  }
  if (wideCount == -1) wideCount = WideLength(wide);
  if (wideCount < 0) return FailWithLastError(ERROR_INVALID_PARAMETER);
  Output<char> out(narrowSize > 0 ? narrow : nullptr, narrowSize);
  if (codePage == CP_UTF8) {
    if (flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) return FailWithLastError(ERROR_INVALID_FLAGS);
    if (!viaAcp && (defaultChar != nullptr || usedDefaultChar != nullptr)) {
      return FailWithLastError(ERROR_INVALID_PARAMETER);
    }
    if (usedDefaultChar != nullptr) *usedDefaultChar = FALSE;
    return WideToUtf8(flags, wide, wideCount, out, usedDefaultChar);
  }
  if (codePage == kWindows1252) {
    if (flags & ~kWcNoBestFitChars) return FailWithLastError(ERROR_INVALID_FLAGS);
    if (usedDefaultChar != nullptr) *usedDefaultChar = FALSE;
    char fallback = defaultChar != nullptr ? *defaultChar : '?';
    return WideTo1252(wide, wideCount, out, fallback, usedDefaultChar);
  }
  return FailWithLastError(ERROR_INVALID_PARAMETER);
}

int MultiByteToWide(UINT codePage, DWORD flags, const char *narrow, int narrowCount,
                    OLECHAR *wide, int wideSize) {
  if (narrow == nullptr || narrowCount == 0 || narrowCount < -1 || wideSize < 0 ||
      (wideSize > 0 && wide == nullptr) ||
      static_cast<const void *>(wide) == static_cast<const void *>(narrow)) {
    return FailWithLastError(ERROR_INVALID_PARAMETER);
  }
  if (narrowCount == -1) narrowCount = NarrowLength(narrow);
  if (narrowCount < 0) return FailWithLastError(ERROR_INVALID_PARAMETER);
  Output<OLECHAR> out(wideSize > 0 ? wide : nullptr, wideSize);
  if (codePage == CP_UTF8) {
    if (flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) return FailWithLastError(ERROR_INVALID_FLAGS);
    return Utf8ToWide(flags, narrow, narrowCount, out);
  }
  if (codePage == kWindows1252) {
    if (flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS | kMbPrecomposed)) {
      return FailWithLastError(ERROR_INVALID_FLAGS);
    }
    return Windows1252ToWide(narrow, narrowCount, out);
  }
  return FailWithLastError(ERROR_INVALID_PARAMETER);
}

}  // namespace morphel::platform

MORPHEL_API int WideCharToMultiByte(UINT codePage, DWORD dwFlags, const OLECHAR *lpWideCharStr,
                                    int cchWideChar, char *lpMultiByteStr, int cbMultiByte,
                                    const char *lpDefaultChar, BOOL *lpUsedDefaultChar) {
  UINT resolved = ResolveCodePage(codePage);
  if (resolved == 0) return morphel::platform::FailWithLastError(ERROR_INVALID_PARAMETER);
  bool viaAcp = resolved != codePage;
  return morphel::platform::WideToMultiByte(resolved, viaAcp, dwFlags, lpWideCharStr, cchWideChar,
                                            lpMultiByteStr, cbMultiByte, lpDefaultChar,
                                            lpUsedDefaultChar);
}

MORPHEL_API int MultiByteToWideChar(UINT codePage, DWORD dwFlags, const char *lpMultiByteStr,
                                    int cbMultiByte, OLECHAR *lpWideCharStr, int cchWideChar) {
  UINT resolved = ResolveCodePage(codePage);
  if (resolved == 0) return morphel::platform::FailWithLastError(ERROR_INVALID_PARAMETER);
  return morphel::platform::MultiByteToWide(resolved, dwFlags, lpMultiByteStr, cbMultiByte,
                                            lpWideCharStr, cchWideChar);
}

MORPHEL_API UINT GetACP(void) { return ProcessAnsiCodePage(); }

MORPHEL_API DWORD GetLastError(void) { return threadLastError; }

MORPHEL_API void SetLastError(DWORD dwErrCode) { threadLastError = dwErrCode; }
