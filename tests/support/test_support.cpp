#include "support/test_support.h"

#include <vector>

namespace morphel::test {

std::string ToUtf8(BSTR text) {
  int length = static_cast<int>(SysStringLen(text));
  if (length == 0) return {};
  int needed = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), needed, nullptr, nullptr);
  return out;
}

Bstr::Bstr(const std::string &utf8) {
  int length = static_cast<int>(utf8.size());
  int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  value_ = SysAllocStringLen(nullptr, static_cast<UINT>(needed));
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, value_, needed);
}

ErrorText TakeErrorInfo() {
  ErrorText result;
  IErrorInfo *info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return result;
  result.present = true;
  BSTR text = nullptr;
  info->GetSource(&text);
  result.source = ToUtf8(text);
  SysFreeString(text);
  text = nullptr;
  info->GetDescription(&text);
  result.description = ToUtf8(text);
  SysFreeString(text);
  info->GetGUID(&result.guid);
  info->Release();
  return result;
}

void ClearErrorInfo() { SetErrorInfo(0, nullptr); }

}  // namespace morphel::test
