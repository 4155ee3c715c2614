// A stack-held COM object for the platform tests: counts its references,
// answers IDispatch only when asked to, and serves a default value.
#ifndef MORPHEL_TESTS_PLATFORM_FAKE_OBJECT_H
#define MORPHEL_TESTS_PLATFORM_FAKE_OBJECT_H

#include <string>

#include "morphel/automation.h"

namespace morphel::test {

class FakeObject : public IDispatch {
 public:
  explicit FakeObject(bool dispatchable = true) : dispatchable_(dispatchable) {
    VariantInit(&defaultValue_);
  }
  ~FakeObject() { VariantClear(&defaultValue_); }
  FakeObject(const FakeObject &) = delete;
  FakeObject &operator=(const FakeObject &) = delete;

  ULONG references() const { return references_; }
  IUnknown *unknown() { return this; }
  IDispatch *dispatch() { return this; }
  void SetDefaultValue(const VARIANT &value) { VariantCopy(&defaultValue_, const_cast<VARIANT *>(&value)); }
  int invocations() const { return invocations_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (riid == IID_IUnknown || (dispatchable_ && riid == IID_IDispatch)) {
      *ppv = static_cast<IDispatch *>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS *params,
                                   VARIANT *result, EXCEPINFO *, UINT *) override {
    ++invocations_;
    if (member != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || params->cArgs != 0) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (V_VT(&defaultValue_) == VT_EMPTY) return DISP_E_MEMBERNOTFOUND;
    return VariantCopy(result, &defaultValue_);
  }

 private:
  ULONG references_ = 1;
  bool dispatchable_;
  int invocations_ = 0;
  VARIANT defaultValue_;
};

// An automation string made from ASCII or UTF-8-free text, freed on scope exit.
class TestBstr {
 public:
  explicit TestBstr(const char16_t *text) : value_(SysAllocString(text)) {}
  ~TestBstr() { SysFreeString(value_); }
  TestBstr(const TestBstr &) = delete;
  TestBstr &operator=(const TestBstr &) = delete;
  BSTR get() const { return value_; }

 private:
  BSTR value_;
};

inline std::u16string TextOf(BSTR text) { return std::u16string(text, SysStringLen(text)); }

}  // namespace morphel::test

#endif  // MORPHEL_TESTS_PLATFORM_FAKE_OBJECT_H
