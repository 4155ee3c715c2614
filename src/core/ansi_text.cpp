#include "core/ansi_text.h"

#include "core/status.h"

namespace morphel {

HRESULT AnsiText::Convert(BSTR text) {
  text_.clear();
  int length = static_cast<int>(SysStringLen(text));
  if (length == 0) return S_OK;
  int needed = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return S_FALSE;
  try {
    text_.resize(static_cast<size_t>(needed));
  } catch (...) {
    return ReportError(kMsgNoMemory);
  }
  int written = WideCharToMultiByte(CP_ACP, 0, text, length, text_.data(), needed, nullptr, nullptr);
  if (written <= 0) {
    text_.clear();
    return S_FALSE;
  }
  text_.resize(static_cast<size_t>(written));
  return S_OK;
}

BSTR AnsiToBstr(const char *text, int length) {
  if (length <= 0) return SysAllocStringLen(nullptr, 0);
  int needed = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  if (needed <= 0) return nullptr;
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(needed));
  if (result == nullptr) return nullptr;
  MultiByteToWideChar(CP_ACP, 0, text, length, result, needed);
  return result;
}

}  // namespace morphel
