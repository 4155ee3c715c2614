// The class table, the cached class factory and DllGetClassObject.
#include <atomic>
#include <mutex>
#include <new>

#include "core/images.h"
#include "host/module.h"

namespace morphel {
namespace {

// The factory of the Images class. The module's cached pointer is its first
// reference; a client holding it (count 1 -> 2) keeps the module locked, the
// cached reference alone does not.
class ImagesFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory *>(this);
    AddRef();
    return S_OK;
  }

  ULONG STDMETHODCALLTYPE AddRef() override {
    std::lock_guard<std::mutex> guard(lock_);
    ULONG count = ++refs_;
    if (count == 2) ModuleLock();
    return count;
  }

  ULONG STDMETHODCALLTYPE Release() override {
    ULONG count;
    {
      std::lock_guard<std::mutex> guard(lock_);
      count = --refs_;
      if (count == 1) ModuleUnlock();
    }
    if (count == 0) delete this;
    return count;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return CreateImagesObject(outer, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ModuleLock();
    } else {
      ModuleUnlock();
    }
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{0};
  std::mutex lock_;
};

struct ClassEntry {
  const CLSID *clsid;
  IClassFactory *(*createFactory)();
  IClassFactory *cachedFactory;
};

IClassFactory *NewImagesFactory() { return new (std::nothrow) ImagesFactory(); }

ClassEntry classTable[] = {{&CLSID_Images, NewImagesFactory, nullptr}};
std::mutex factoryLock;

// The factory is made at most once per module load.
IClassFactory *CachedFactory(ClassEntry &entry) {
  std::lock_guard<std::mutex> guard(factoryLock);
  if (entry.cachedFactory == nullptr) {
    IClassFactory *factory = entry.createFactory();
    if (factory != nullptr) {
      factory->AddRef();  // the cached reference
      entry.cachedFactory = factory;
    }
  }
  return entry.cachedFactory;
}

}  // namespace

HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void **ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  for (ClassEntry &entry : classTable) {
    if (*entry.clsid != rclsid) continue;
    IClassFactory *factory = CachedFactory(entry);
    if (factory == nullptr) return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

void ReleaseClassFactories() {
  std::lock_guard<std::mutex> guard(factoryLock);
  for (ClassEntry &entry : classTable) {
    if (entry.cachedFactory != nullptr) entry.cachedFactory->Release();
    entry.cachedFactory = nullptr;
  }
}

}  // namespace morphel

#if !defined(_WIN32)
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv) {
  return morphel::GetClassObject(rclsid, riid, ppv);
}
#endif
