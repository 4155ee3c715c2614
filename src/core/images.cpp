// The Images object's identity: construction, reference counting, the interface
// table and the error-information answer.
#include "core/images.h"

#include <gdfonts.h>

#include <new>

#include "core/module_lock.h"

namespace morphel {

Images::Images(IUnknown *outer) : outer_(outer) {
  builtinFont = gdFontGetSmall();  // the font of code 0
  ModuleLock();
}

Images::~Images() {
  DestroyAll();  // final release: the images the object owns
  ModuleUnlock();
}

HRESULT Images::InnerQueryInterface(REFIID riid, void **ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IImages || riid == IID_IDispatch || riid == IID_IUnknown) {
    *ppv = static_cast<IImages *>(this);
  } else if (riid == IID_ISupportErrorInfo) {
    *ppv = static_cast<ISupportErrorInfo *>(this);
  } else if (riid == kIidImagesObject) {
    *ppv = this;
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

// Never registered nor exported: it only lets the library recognise its own objects.
// {5B0E4C1A-7D2F-4E8B-9A61-3C94D0F2B7E5}
const IID kIidImagesObject = {
    0x5b0e4c1a, 0x7d2f, 0x4e8b, {0x9a, 0x61, 0x3c, 0x94, 0xd0, 0xf2, 0xb7, 0xe5}};

Images *ImagesFromInterface(IUnknown *object) {
  void *found = nullptr;
  if (object == nullptr || FAILED(object->QueryInterface(kIidImagesObject, &found))) {
    return nullptr;
  }
  auto *images = static_cast<Images *>(found);
  images->Release();  // the caller's reference keeps the object alive
  return images;
}

HRESULT Images::QueryInterface(REFIID riid, void **ppv) {
  if (outer_ != nullptr) return outer_->QueryInterface(riid, ppv);
  return InnerQueryInterface(riid, ppv);
}

// A plain counter: the object is called by one apartment only.
ULONG Images::AddRef() {
  if (outer_ != nullptr) return outer_->AddRef();
  return ++refs_;
}

ULONG Images::Release() {
  if (outer_ != nullptr) return outer_->Release();
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT Images::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == IID_IImages ? S_OK : S_FALSE;
}

namespace {

// The controlling-unknown side of an aggregated object: answers IUnknown with
// itself and everything else through the inner object's interface table.
class AggregatedImages final : public IUnknown {
 public:
  explicit AggregatedImages(IUnknown *outer) : inner_(outer) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown *>(this);
      AddRef();
      return S_OK;
    }
    return inner_.InnerQueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  Images inner_;
  ULONG refs_ = 0;
};

HRESULT HandOut(IUnknown *object, REFIID riid, void **ppv) {
  object->AddRef();  // hold the object through the query
  HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();  // a failed query destroys it again
  return hr;
}

}  // namespace

HRESULT CreateImagesObject(IUnknown *outer, REFIID riid, void **ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (outer == nullptr) {
    auto *object = new (std::nothrow) Images(nullptr);
    if (object == nullptr) return E_OUTOFMEMORY;
    return HandOut(static_cast<IImages *>(object), riid, ppv);
  }
  auto *wrapper = new (std::nothrow) AggregatedImages(outer);
  if (wrapper == nullptr) return E_OUTOFMEMORY;
  return HandOut(wrapper, riid, ppv);
}

}  // namespace morphel
