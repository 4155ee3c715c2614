// A minimal host: loads libmorphel.so, gets the class factory, creates an
// Images object and creates, measures and destroys images through the vtable.
#include <dlfcn.h>

#include <cstdio>

#include "morphel/morphel.h"

int main() {
  void *library = dlopen(MORPHEL_LIBRARY_PATH, RTLD_NOW);
  if (library == nullptr) {
    std::printf("cannot load %s: %s\n", MORPHEL_LIBRARY_PATH, dlerror());
    return 1;
  }
  auto getClassObject =
      reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void **)>(dlsym(library, "DllGetClassObject"));
  auto *clsid = static_cast<const CLSID *>(dlsym(library, "CLSID_Images"));
  auto *iidFactory = static_cast<const IID *>(dlsym(library, "IID_IClassFactory"));
  auto *iidImages = static_cast<const IID *>(dlsym(library, "IID_IImages"));

  IClassFactory *factory = nullptr;
  IImages *images = nullptr;
  if (getClassObject(*clsid, *iidFactory, reinterpret_cast<void **>(&factory)) != S_OK ||
      factory->CreateInstance(nullptr, *iidImages, reinterpret_cast<void **>(&images)) != S_OK) {
    std::printf("cannot create an Images object\n");
    return 1;
  }
  factory->Release();

  const int sizes[][2] = {{200, 100}, {640, 480}, {6000, 6000}, {6001, 6000}};
  for (int slot = 0; slot < 4; ++slot) {
    images->SetImage(slot);
    HRESULT hr = images->CreateImage(sizes[slot][0], sizes[slot][1]);
    INT w = 0, h = 0;
    if (hr == S_OK && images->GetWidth(&w) == S_OK && images->GetHeight(&h) == S_OK) {
      std::printf("slot %d: %d x %d true-colour image\n", slot, w, h);
    } else {
      std::printf("slot %d: %d x %d refused (0x%08X)\n", slot, sizes[slot][0], sizes[slot][1],
                  static_cast<unsigned>(hr));
    }
  }
  LONG destroyed = 0;
  images->SetImage(0);
  images->DestroyImage(&destroyed);
  std::printf("slot 0 destroyed: %d\n", static_cast<int>(destroyed));
  images->DestroyAll();
  images->Release();
  return 0;
}
