// A program that lives outside the build: it finds the installed library
// (CMake package or pkg-config), links against it, creates an Images object
// through the class factory, draws and writes a 64 x 32 PNG.
//   hello OUT.png
#include <morphel/morphel.h>

#include <cstdio>
#include <cstring>
#include <string>

static bool ok(HRESULT hr, const char *what) {
  if (hr != S_OK) std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
  return hr == S_OK;
}

static bool draw(IImages *images, const char *path) {
  std::u16string wide(path, path + std::strlen(path));  // the paths given here are ASCII
  BSTR file = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  bool done = ok(images->CreateImage(64, 32), "CreateImage") &&
              ok(images->SetColor(255, 0, 0), "SetColor") &&
              ok(images->DrawFilledRectangle(8, 8, 55, 23), "DrawFilledRectangle") &&
              ok(images->SetImageType(0), "SetImageType") &&
              ok(images->WriteToFile(file), "WriteToFile");
  SysFreeString(file);
  return done;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
    return 2;
  }
  IClassFactory *factory = nullptr;
  IImages *images = nullptr;
  if (!ok(DllGetClassObject(CLSID_Images, IID_IClassFactory, reinterpret_cast<void **>(&factory)),
          "DllGetClassObject"))
    return 1;
  HRESULT hr = factory->CreateInstance(nullptr, IID_IImages, reinterpret_cast<void **>(&images));
  factory->Release();
  if (!ok(hr, "CreateInstance")) return 1;
  bool done = draw(images, argv[1]);
  images->Release();
  if (done) std::printf("wrote %s\n", argv[1]);
  return done && DllCanUnloadNow() == S_OK ? 0 : 1;
}
