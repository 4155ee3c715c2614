// Class factory, interface table, aggregation and the module's lock count.
#include <gtest/gtest.h>

#include "host/module.h"
#include "support/test_support.h"

namespace morphel {
namespace {

const IID kIID_IPersist = {0x0000010C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

IClassFactory *GetFactory() {
  IClassFactory *factory = nullptr;
  EXPECT_EQ(DllGetClassObject(CLSID_Images, IID_IClassFactory, reinterpret_cast<void **>(&factory)),
            S_OK);
  return factory;
}

TEST(ClassFactory, UnknownClassIsNotAvailable) {
  void *p = reinterpret_cast<void *>(1);
  EXPECT_EQ(DllGetClassObject(IID_IImages, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(DllGetClassObject(CLSID_Images, IID_IClassFactory, nullptr), E_POINTER);
}

TEST(ClassFactory, SameFactoryEachTime) {
  IClassFactory *a = GetFactory();
  IClassFactory *b = GetFactory();
  EXPECT_EQ(a, b);
  void *p = nullptr;
  EXPECT_EQ(a->QueryInterface(IID_IDispatch, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  a->Release();
  b->Release();
}

TEST(ClassFactory, LockCountFollowsObjectsFactoryAndLockServer) {
  ASSERT_EQ(DllCanUnloadNow(), S_OK);
  IClassFactory *factory = GetFactory();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // a client holds the factory
  IImages *images = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IImages, reinterpret_cast<void **>(&images)), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(images->Release(), 0u);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // LockServer(TRUE) still holds
  factory = GetFactory();
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(ClassFactory, InterfaceTableAnswersThreeInterfaces) {
  IImages *images = nullptr;
  ASSERT_EQ(CreateImagesObject(nullptr, IID_IImages, reinterpret_cast<void **>(&images)), S_OK);
  void *p = nullptr;
  EXPECT_EQ(images->QueryInterface(IID_IDispatch, &p), S_OK);
  EXPECT_EQ(p, images);
  static_cast<IUnknown *>(p)->Release();
  EXPECT_EQ(images->QueryInterface(IID_IUnknown, &p), S_OK);
  EXPECT_EQ(p, images);
  static_cast<IUnknown *>(p)->Release();
  ISupportErrorInfo *support = nullptr;
  EXPECT_EQ(images->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void **>(&support)), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IImages), S_OK);
  support->Release();
  p = reinterpret_cast<void *>(1);
  EXPECT_EQ(images->QueryInterface(kIID_IPersist, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(images->QueryInterface(IID_IImages, nullptr), E_POINTER);
  EXPECT_EQ(images->Release(), 0u);
}

TEST(ClassFactory, FailedQueryDestroysTheNewObject) {
  long before = ModuleLockCount();
  void *p = nullptr;
  EXPECT_EQ(CreateImagesObject(nullptr, kIID_IPersist, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(ModuleLockCount(), before);
}

// A minimal controlling object for aggregation.
class Outer final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  IUnknown *inner = nullptr;
  ULONG refs = 1;
};

TEST(ClassFactory, AggregationNeedsIUnknown) {
  IClassFactory *factory = GetFactory();
  Outer outer;
  void *p = reinterpret_cast<void *>(1);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void **>(&outer.inner)),
            S_OK);
  IImages *images = nullptr;
  ASSERT_EQ(outer.QueryInterface(IID_IImages, reinterpret_cast<void **>(&images)), S_OK);
  EXPECT_EQ(outer.refs, 2u);  // the inner interface counts on the outer object
  EXPECT_EQ(images->CreateImage(5, 6), S_OK);
  IUnknown *viaInner = nullptr;
  EXPECT_EQ(images->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&viaInner)), S_OK);
  EXPECT_EQ(viaInner, &outer);  // identity is the outer object's
  viaInner->Release();
  images->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(outer.inner->Release(), 0u);
  factory->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace morphel
