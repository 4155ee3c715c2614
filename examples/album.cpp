// An album in a SQLite database: loads libmorphel.so, stores each gallery
// picture (gallery-*.png in the directory given as the first argument, default
// out/) as a row of album.db there, then reads every row back through the
// component and writes it as album-<name>.png beside the originals.
#include <dirent.h>
#include <dlfcn.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "morphel/morphel.h"

namespace {

struct Library {
  BSTR (*sysAllocStringLen)(const OLECHAR *, UINT) = nullptr;
  void (*sysFreeString)(BSTR) = nullptr;
  HRESULT (*openField)(const char *, const char *, const char *, long long, IDispatch **) = nullptr;
};
Library api;

// Calls an operation that takes a file name.
HRESULT WithPath(IImages *images, HRESULT (IImages::*operation)(BSTR), const std::string &path) {
  std::u16string wide(path.begin(), path.end());
  BSTR name = api.sysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  HRESULT hr = (images->*operation)(name);
  api.sysFreeString(name);
  return hr;
}

// Runs WriteToDatabase or ReadFromDatabase on the image column of one row.
HRESULT WithField(IImages *images, HRESULT (IImages::*operation)(VARIANT), const std::string &db,
                  long long row) {
  IDispatch *field = nullptr;
  HRESULT hr = api.openField(db.c_str(), "pictures", "image", row, &field);
  if (FAILED(hr)) return hr;
  VARIANT argument{};
  V_VT(&argument) = VT_DISPATCH;
  V_DISPATCH(&argument) = field;
  hr = (images->*operation)(argument);
  field->Release();
  return hr;
}

std::vector<std::string> GalleryPictures(const std::string &directory) {
  std::vector<std::string> names;
  if (DIR *dir = opendir(directory.c_str())) {
    while (dirent *entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.rfind("gallery-", 0) == 0 && name.size() > 4 && name.ends_with(".png")) {
        names.push_back(name);
      }
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A fresh album.db with one row, named but still without image, per picture.
bool MakeAlbum(const std::string &db, const std::vector<std::string> &names) {
  std::remove(db.c_str());
  sqlite3 *album = nullptr;
  bool ok = sqlite3_open(db.c_str(), &album) == SQLITE_OK &&
            sqlite3_exec(album, "CREATE TABLE pictures (id INTEGER PRIMARY KEY, name TEXT, image BLOB)",
                         nullptr, nullptr, nullptr) == SQLITE_OK;
  for (size_t i = 0; ok && i < names.size(); ++i) {
    char *sql = sqlite3_mprintf("INSERT INTO pictures (id, name) VALUES (%d, %Q)",
                                static_cast<int>(i + 1), names[i].c_str());
    ok = sql != nullptr && sqlite3_exec(album, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_free(sql);
  }
  sqlite3_close(album);
  return ok;
}

IImages *CreateImages(void *library) {
  auto getClassObject =
      reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void **)>(dlsym(library, "DllGetClassObject"));
  auto *clsid = static_cast<const CLSID *>(dlsym(library, "CLSID_Images"));
  auto *iidFactory = static_cast<const IID *>(dlsym(library, "IID_IClassFactory"));
  auto *iidImages = static_cast<const IID *>(dlsym(library, "IID_IImages"));
  IClassFactory *factory = nullptr;
  IImages *images = nullptr;
  if (getClassObject == nullptr || clsid == nullptr || iidFactory == nullptr || iidImages == nullptr ||
      getClassObject(*clsid, *iidFactory, reinterpret_cast<void **>(&factory)) != S_OK) {
    return nullptr;
  }
  factory->CreateInstance(nullptr, *iidImages, reinterpret_cast<void **>(&images));
  factory->Release();
  return images;
}

// Stores picture i as row i + 1, reads the row back and saves it; false on a failure.
bool StoreAndReadBack(IImages *images, const std::string &directory, const std::string &name,
                      long long row) {
  const std::string db = directory + "/album.db";
  images->SetImageType(0);
  images->SetImage(0);
  HRESULT hr = WithPath(images, &IImages::ReadFromFile, directory + "/" + name);
  if (SUCCEEDED(hr)) hr = WithField(images, &IImages::WriteToDatabase, db, row);
  std::printf("%s stored as row %lld: 0x%08X\n", name.c_str(), row, static_cast<unsigned>(hr));
  if (FAILED(hr)) return false;
  images->SetImage(1);
  hr = WithField(images, &IImages::ReadFromDatabase, db, row);
  INT w = 0, h = 0;
  images->GetWidth(&w);
  images->GetHeight(&h);
  const std::string copy = directory + "/album-" + name.substr(8);
  if (SUCCEEDED(hr)) hr = WithPath(images, &IImages::WriteToFile, copy);
  std::printf("row %lld read back, %d x %d, as %s: 0x%08X\n", row, w, h, copy.c_str(),
              static_cast<unsigned>(hr));
  return SUCCEEDED(hr);
}

}  // namespace

int main(int argc, char **argv) {
  const std::string directory = argc > 1 ? argv[1] : "out";
  void *library = dlopen(MORPHEL_LIBRARY_PATH, RTLD_NOW);
  if (library == nullptr) {
    std::printf("cannot load %s: %s\n", MORPHEL_LIBRARY_PATH, dlerror());
    return 1;
  }
  api.sysAllocStringLen = reinterpret_cast<decltype(api.sysAllocStringLen)>(dlsym(library, "SysAllocStringLen"));
  api.sysFreeString = reinterpret_cast<decltype(api.sysFreeString)>(dlsym(library, "SysFreeString"));
  api.openField = reinterpret_cast<decltype(api.openField)>(dlsym(library, "MorphelOpenSqliteField"));
  IImages *images = CreateImages(library);
  if (api.sysAllocStringLen == nullptr || api.sysFreeString == nullptr || api.openField == nullptr ||
      images == nullptr) {
    std::printf("the library lacks what the album needs\n");
    return 1;
  }
  const std::vector<std::string> names = GalleryPictures(directory);
  if (names.empty()) std::printf("no gallery-*.png in %s: run the gallery first\n", directory.c_str());
  bool ok = !names.empty() && MakeAlbum(directory + "/album.db", names);
  for (size_t i = 0; ok && i < names.size(); ++i) {
    ok = StoreAndReadBack(images, directory, names[i], static_cast<long long>(i + 1));
  }
  images->Release();
  return ok ? 0 : 2;
}
