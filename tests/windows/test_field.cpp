// A test-only in-process server whose one class, "Morphel.TestField", is an
// in-memory database field, so that scripts under Wine (whose record sets have
// no GetChunk or AppendChunk) can hand the component a field. tools/windows/
// test.sh registers it in the Wine prefix with reg add.
#include "memory_field.h"

namespace {

// {C0A389E4-65BA-4A8D-B6E9-8AC8943D796A}
const CLSID kClsidTestField = {
    0xC0A389E4, 0x65BA, 0x4A8D, {0xB6, 0xE9, 0x8A, 0xC8, 0x94, 0x3D, 0x79, 0x6A}};

class FieldFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory *>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto *field = new MemoryField();
    field->DeleteAtLastRelease();
    HRESULT hr = field->QueryInterface(riid, ppv);
    field->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

FieldFactory factory;

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void **ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (clsid != kClsidTestField) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

// The test server stays loaded as long as its process runs.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
