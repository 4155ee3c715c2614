// ReportError and ReportErrorText: the thread's error information for failures
// a script author should read, and the recording they share.
#include <cstring>

#include "core/ansi_text.h"
#include "core/status.h"

namespace morphel {
namespace {

const OLECHAR kErrorSource[] = OLESTR("Morphel");

}  // namespace

void RecordErrorInfo(REFGUID guid, const OLECHAR *source, BSTR description) {
  ICreateErrorInfo *create = nullptr;
  if (FAILED(CreateErrorInfo(&create)) || create == nullptr) return;
  IErrorInfo *info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)))) {
    create->SetGUID(guid);
    create->SetSource(const_cast<LPOLESTR>(source));
    create->SetDescription(description);
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

HRESULT ExceptionFromErrorInfo(HRESULT status, EXCEPINFO *exception) {
  if (exception == nullptr) return status;
  *exception = EXCEPINFO{};
  exception->scode = status;
  IErrorInfo *info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    info->GetSource(&exception->bstrSource);
    info->GetDescription(&exception->bstrDescription);
    info->GetHelpFile(&exception->bstrHelpFile);
    info->GetHelpContext(&exception->dwHelpContext);
    info->Release();
  }
  return DISP_E_EXCEPTION;
}

ImageStatus ReportError(UINT id) {
  char message[512];
  int length = LoadMessage(id, message, sizeof message);
  BSTR description = length > 0 ? AnsiToBstr(message, length) : nullptr;
  RecordErrorInfo(IID_IUnknown, kErrorSource, description);
  SysFreeString(description);
  return E_FAIL;
}

ImageStatus ReportErrorText(const char *text) {
  BSTR description =
      text != nullptr ? AnsiToBstr(text, static_cast<int>(std::strlen(text))) : nullptr;
  RecordErrorInfo(IID_IUnknown, kErrorSource, description);
  SysFreeString(description);
  return E_FAIL;
}

}  // namespace morphel
