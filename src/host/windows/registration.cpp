// Self-registration: the class, its two programmatic identifiers and the type
// library. The entries of the registration script (resource REGISTRY 101) are
// written directly with the same keys, values and removal rules.
#include <string>

#include "host/module.h"
#include "host/windows/windows_p.h"
#include "morphel/morphel.h"

namespace morphel {
namespace {

const wchar_t kClassName[] = L"Images Class";
const wchar_t kProgId[] = L"Morphel.Images.1";
const wchar_t kIndependentProgId[] = L"Morphel.Images";

std::wstring Braced(const char *text) {
  std::wstring out = L"{";
  for (const char *p = text; *p != '\0'; ++p) out += static_cast<wchar_t>(*p);
  return out + L"}";
}

std::wstring ClassKey() { return L"CLSID\\" + Braced(MORPHEL_CLSID_IMAGES_TEXT); }

// Sets the default (name null) or a named value of HKCR\key, creating the key.
LONG SetValue(const std::wstring &key, const wchar_t *name, const std::wstring &value) {
  HKEY handle = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_WRITE, nullptr, &handle, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return rc;
}

LONG CreateEmptyKey(const std::wstring &key) {
  HKEY handle = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_WRITE, nullptr, &handle, nullptr);
  if (rc == ERROR_SUCCESS) RegCloseKey(handle);
  return rc;
}

void DeleteTree(const std::wstring &key) { RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str()); }

HRESULT WriteClassEntries() {
  const std::wstring clsid = Braced(MORPHEL_CLSID_IMAGES_TEXT);
  const std::wstring classKey = ClassKey();
  DeleteTree(classKey);  // nothing of an earlier registration survives in it
  LONG rc = ERROR_SUCCESS;
  auto set = [&rc](const std::wstring &key, const wchar_t *name, const std::wstring &value) {
    if (rc == ERROR_SUCCESS) rc = SetValue(key, name, value);
  };
  set(kProgId, nullptr, kClassName);
  set(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid);
  set(kIndependentProgId, nullptr, kClassName);
  set(std::wstring(kIndependentProgId) + L"\\CLSID", nullptr, clsid);
  set(std::wstring(kIndependentProgId) + L"\\CurVer", nullptr, kProgId);
  set(classKey, nullptr, kClassName);
  set(classKey + L"\\ProgID", nullptr, kProgId);
  set(classKey + L"\\VersionIndependentProgID", nullptr, kIndependentProgId);
  if (rc == ERROR_SUCCESS) rc = CreateEmptyKey(classKey + L"\\Programmable");
  set(classKey + L"\\InprocServer32", nullptr, ModuleFileName());
  set(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  set(classKey + L"\\TypeLib", nullptr, Braced(MORPHEL_LIBID_TEXT));
  return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

// The parent key CLSID is never deleted.
void RemoveClassEntries() {
  DeleteTree(kProgId);
  DeleteTree(kIndependentProgId);
  DeleteTree(ClassKey());
}

std::wstring DirectoryOf(const std::wstring &path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::wstring ModuleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(static_cast<HMODULE>(ModuleInstance()), path.data(),
                                      static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

HRESULT LoadModuleTypeLib(ITypeLib **library, std::wstring *path) {
  *path = ModuleFileName();
  HRESULT hr = LoadTypeLib(path->c_str(), library);
  if (SUCCEEDED(hr)) return hr;
  size_t dot = path->find_last_of(L'.');
  size_t slash = path->find_last_of(L"\\/");
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) path->resize(dot);
  *path += L".tlb";
  return LoadTypeLib(path->c_str(), library);
}

HRESULT RegisterServer() {
  HRESULT hr = WriteClassEntries();
  if (FAILED(hr)) return hr;
  ITypeLib *library = nullptr;
  std::wstring path;
  hr = LoadModuleTypeLib(&library, &path);
  if (FAILED(hr)) return hr;
  std::wstring directory = DirectoryOf(path);
  hr = RegisterTypeLib(library, path.data(), directory.empty() ? nullptr : directory.data());
  library->Release();
  return hr;
}

HRESULT UnregisterServer() {
  RemoveClassEntries();
  ITypeLib *library = nullptr;
  std::wstring path;
  if (SUCCEEDED(LoadModuleTypeLib(&library, &path))) {
    TLIBATTR *attributes = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&attributes))) {
      UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                        attributes->lcid, attributes->syskind);
      library->ReleaseTLibAttr(attributes);
    }
    library->Release();
  }
  return S_OK;
}

}  // namespace morphel
