// Error information: the record made by CreateErrorInfo and the calling
// thread's current record (SetErrorInfo / GetErrorInfo).
#include <atomic>
#include <new>

#include "morphel/automation.h"

namespace {

// One object answers both the writer's and the reader's interface.
class ErrorRecord final : public ICreateErrorInfo, public IErrorInfo {
 public:
  ErrorRecord() = default;
  ErrorRecord(const ErrorRecord &) = delete;
  ErrorRecord &operator=(const ErrorRecord &) = delete;

  // IUnknown (reached through either base)
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override;

  // ICreateErrorInfo
  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override;
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) override;
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) override;
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) override;
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) override;

  // IErrorInfo
  HRESULT STDMETHODCALLTYPE GetGUID(GUID *pGUID) override;
  HRESULT STDMETHODCALLTYPE GetSource(BSTR *pBstrSource) override;
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR *pBstrDescription) override;
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR *pBstrHelpFile) override;
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD *pdwHelpContext) override;

 private:
  ~ErrorRecord();

  std::atomic<ULONG> references_{1};
  GUID guid_ = IID_NULL;
  BSTR source_ = nullptr;
  BSTR description_ = nullptr;
  BSTR helpFile_ = nullptr;
  DWORD helpContext_ = 0;
};

ErrorRecord::~ErrorRecord() {
  SysFreeString(source_);
  SysFreeString(description_);
  SysFreeString(helpFile_);
}

HRESULT ErrorRecord::QueryInterface(REFIID riid, void **ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
    *ppv = static_cast<IErrorInfo *>(this);
  } else if (riid == IID_ICreateErrorInfo) {
    *ppv = static_cast<ICreateErrorInfo *>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG ErrorRecord::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

// Replaces *field with a copy of text (null clears it).
HRESULT StoreText(BSTR *field, const OLECHAR *text) {
  BSTR copy = SysAllocString(text);
  if (text != nullptr && copy == nullptr) return E_OUTOFMEMORY;
  SysFreeString(*field);
  *field = copy;
  return S_OK;
}

// Hands out a copy of text (null when there is none).
HRESULT CopyText(BSTR text, BSTR *out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = text == nullptr ? nullptr : SysAllocStringLen(text, SysStringLen(text));
  return text != nullptr && *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT ErrorRecord::SetGUID(REFGUID rguid) {
  guid_ = rguid;
  return S_OK;
}

HRESULT ErrorRecord::SetSource(LPOLESTR szSource) { return StoreText(&source_, szSource); }

HRESULT ErrorRecord::SetDescription(LPOLESTR szDescription) {
  return StoreText(&description_, szDescription);
}

HRESULT ErrorRecord::SetHelpFile(LPOLESTR szHelpFile) { return StoreText(&helpFile_, szHelpFile); }

HRESULT ErrorRecord::SetHelpContext(DWORD dwHelpContext) {
  helpContext_ = dwHelpContext;
  return S_OK;
}

HRESULT ErrorRecord::GetGUID(GUID *pGUID) {
  if (pGUID == nullptr) return E_INVALIDARG;
  *pGUID = guid_;
  return S_OK;
}

HRESULT ErrorRecord::GetSource(BSTR *pBstrSource) { return CopyText(source_, pBstrSource); }

HRESULT ErrorRecord::GetDescription(BSTR *pBstrDescription) {
  return CopyText(description_, pBstrDescription);
}

HRESULT ErrorRecord::GetHelpFile(BSTR *pBstrHelpFile) { return CopyText(helpFile_, pBstrHelpFile); }

HRESULT ErrorRecord::GetHelpContext(DWORD *pdwHelpContext) {
  if (pdwHelpContext == nullptr) return E_INVALIDARG;
  *pdwHelpContext = helpContext_;
  return S_OK;
}

// The calling thread's current error information; released when the thread ends.
class ThreadErrorSlot {
 public:
  ThreadErrorSlot() = default;
  ThreadErrorSlot(const ThreadErrorSlot &) = delete;
  ThreadErrorSlot &operator=(const ThreadErrorSlot &) = delete;
  ~ThreadErrorSlot() { Replace(nullptr); }

  void Replace(IErrorInfo *info) {
    IErrorInfo *previous = current_;
    current_ = info;
    if (previous != nullptr) previous->Release();
  }
  IErrorInfo *Take() {
    IErrorInfo *info = current_;
    current_ = nullptr;
    return info;
  }

 private:
  IErrorInfo *current_ = nullptr;
};

thread_local ThreadErrorSlot threadErrorSlot;

}  // namespace

MORPHEL_API HRESULT CreateErrorInfo(ICreateErrorInfo **pperrinfo) {
  if (pperrinfo == nullptr) return E_INVALIDARG;
  ErrorRecord *record = new (std::nothrow) ErrorRecord();
  *pperrinfo = record;
  return record != nullptr ? S_OK : E_OUTOFMEMORY;
}

MORPHEL_API HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo *perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  if (perrinfo != nullptr) perrinfo->AddRef();
  threadErrorSlot.Replace(perrinfo);
  return S_OK;
}

MORPHEL_API HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo **pperrinfo) {
  if (pperrinfo == nullptr) return E_INVALIDARG;
  *pperrinfo = nullptr;
  if (dwReserved != 0) return E_INVALIDARG;
  *pperrinfo = threadErrorSlot.Take();
  return *pperrinfo != nullptr ? S_OK : S_FALSE;
}
