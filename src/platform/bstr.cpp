// Automation strings: a 4-byte byte count in front of the text, the text, and a
// two-byte NUL after it. The block carries 4 further bytes in front of the count
// so that the text starts on an 8-byte boundary, as on the 64-bit platform.
#include <cstdlib>
#include <cstring>

#include "morphel/automation.h"

namespace {

constexpr size_t kHeaderBytes = 8;  // 4 bytes padding, then the 4-byte byte count
constexpr size_t kTailBytes = 4;    // the NUL, plus room for an odd byte count
// Largest byte count accepted: count, header and tail must stay within 32 bits.
constexpr UINT kMaxByteLength = 0xFFFFFFFFu - kHeaderBytes - kTailBytes;

char *BlockOf(BSTR bstr) { return reinterpret_cast<char *>(bstr) - kHeaderBytes; }

UINT StoredByteLength(BSTR bstr) {
  UINT length;
  std::memcpy(&length, reinterpret_cast<char *>(bstr) - sizeof(UINT), sizeof length);
  return length;
}

// A new string of byteLength bytes, copied from bytes when given, else zeroed.
BSTR AllocateBytes(const void *bytes, UINT byteLength) {
  if (byteLength > kMaxByteLength) return nullptr;
  size_t total = kHeaderBytes + static_cast<size_t>(byteLength) + kTailBytes;
  char *block = static_cast<char *>(std::malloc(total));
  if (block == nullptr) return nullptr;
  std::memset(block, 0, kHeaderBytes - sizeof(UINT));
  std::memcpy(block + kHeaderBytes - sizeof(UINT), &byteLength, sizeof byteLength);
  char *text = block + kHeaderBytes;
  if (bytes != nullptr) {
    std::memcpy(text, bytes, byteLength);
  } else {
    std::memset(text, 0, byteLength);
  }
  std::memset(text + byteLength, 0, kTailBytes);
  return reinterpret_cast<BSTR>(text);
}

UINT CharacterCount(const OLECHAR *psz) {
  size_t count = 0;
  while (psz[count] != 0) ++count;
  return count > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<UINT>(count);
}

BSTR AllocateCharacters(const OLECHAR *pch, UINT cch) {
  if (cch > kMaxByteLength / sizeof(OLECHAR)) return nullptr;
  return AllocateBytes(pch, cch * static_cast<UINT>(sizeof(OLECHAR)));
}

}  // namespace

MORPHEL_API BSTR SysAllocString(const OLECHAR *psz) {
  if (psz == nullptr) return nullptr;
  return AllocateCharacters(psz, CharacterCount(psz));
}

MORPHEL_API BSTR SysAllocStringLen(const OLECHAR *pch, UINT cch) {
  return AllocateCharacters(pch, cch);
}

MORPHEL_API BSTR SysAllocStringByteLen(const char *psz, UINT len) {
  return AllocateBytes(psz, len);
}

MORPHEL_API int SysReAllocString(BSTR *pbstr, const OLECHAR *psz) {
  if (pbstr == nullptr) return FALSE;
  BSTR replacement = SysAllocString(psz);
  if (psz != nullptr && replacement == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = replacement;
  return TRUE;
}

MORPHEL_API int SysReAllocStringLen(BSTR *pbstr, const OLECHAR *psz, UINT len) {
  if (pbstr == nullptr) return FALSE;
  BSTR replacement = SysAllocStringLen(psz, len);
  if (replacement == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = replacement;
  return TRUE;
}

MORPHEL_API void SysFreeString(BSTR bstr) {
  if (bstr != nullptr) std::free(BlockOf(bstr));
}

MORPHEL_API UINT SysStringLen(BSTR bstr) {
  return bstr == nullptr ? 0 : StoredByteLength(bstr) / sizeof(OLECHAR);
}

MORPHEL_API UINT SysStringByteLen(BSTR bstr) {
  return bstr == nullptr ? 0 : StoredByteLength(bstr);
}
