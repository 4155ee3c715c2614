// IDispatch of the Images object on Windows: bound to the registered type
// information of IImages, loaded once per module load.
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "core/images.h"
#include "host/windows/windows_p.h"

namespace morphel {
namespace {

struct NameEntry {
  std::wstring name;
  DISPID id;
};

struct TypeInfoCache {
  ITypeInfo *info = nullptr;
  std::vector<NameEntry> names;  // every function's name and dispatch identifier
};

std::mutex typeInfoLock;
TypeInfoCache *cache = nullptr;

void ReleaseTypeInfoCache(void *argument) {
  auto *entry = static_cast<TypeInfoCache *>(argument);
  if (entry->info != nullptr) entry->info->Release();
  delete entry;
  cache = nullptr;
}

std::vector<NameEntry> ReadNames(ITypeInfo *info) {
  std::vector<NameEntry> names;
  TYPEATTR *attributes = nullptr;
  if (FAILED(info->GetTypeAttr(&attributes))) return names;
  for (UINT i = 0; i < attributes->cFuncs; ++i) {
    FUNCDESC *function = nullptr;
    if (FAILED(info->GetFuncDesc(i, &function))) continue;
    BSTR name = nullptr;
    UINT count = 0;
    if (SUCCEEDED(info->GetNames(function->memid, &name, 1, &count)) && count == 1) {
      names.push_back({std::wstring(name, SysStringLen(name)), function->memid});
    }
    SysFreeString(name);
    info->ReleaseFuncDesc(function);
  }
  info->ReleaseTypeAttr(attributes);
  return names;
}

// The type information of IImages from the registered library; a failure is
// returned to the caller and a later call tries again.
HRESULT LoadTypeInfo(LCID lcid, TypeInfoCache **result) {
  std::lock_guard<std::mutex> guard(typeInfoLock);
  if (cache == nullptr) {
    ITypeLib *library = nullptr;
    HRESULT hr = LoadRegTypeLib(LIBID_MORPHELLib, 1, 0, lcid, &library);
    if (FAILED(hr)) return hr;
    ITypeInfo *info = nullptr;
    hr = library->GetTypeInfoOfGuid(IID_IImages, &info);
    library->Release();
    if (FAILED(hr)) return hr;
    try {  // no exception leaves the interface
      cache = new TypeInfoCache{info, ReadNames(info)};
    } catch (const std::bad_alloc &) {
      cache = nullptr;
    }
    if (cache == nullptr) {
      info->Release();
      return E_OUTOFMEMORY;
    }
    AddModuleCleanUp(ReleaseTypeInfoCache, cache);
  }
  *result = cache;
  return S_OK;
}

}  // namespace

HRESULT Images::GetTypeInfoCount(UINT *pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

HRESULT Images::GetTypeInfo(UINT, LCID lcid, ITypeInfo **ppTInfo) {
  if (ppTInfo == nullptr) return E_POINTER;
  *ppTInfo = nullptr;
  TypeInfoCache *entry = nullptr;
  HRESULT hr = LoadTypeInfo(lcid, &entry);
  if (FAILED(hr)) return hr;
  entry->info->AddRef();
  *ppTInfo = entry->info;
  return S_OK;
}

// An exact-case match in the name table first, then the type information,
// which ignores letter case.
HRESULT Images::GetIDsOfNames(REFIID, LPOLESTR *rgszNames, UINT cNames, LCID lcid,
                              DISPID *rgDispId) {
  if (cNames == 0) return S_OK;
  if (rgszNames == nullptr || rgDispId == nullptr) return E_POINTER;
  TypeInfoCache *entry = nullptr;
  HRESULT hr = LoadTypeInfo(lcid, &entry);
  if (FAILED(hr)) return hr;
  for (UINT i = 0; i < cNames; ++i) {
    if (rgszNames[i] == nullptr) {
      rgDispId[i] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    bool found = false;
    for (const NameEntry &name : entry->names) {
      if (name.name == rgszNames[i]) {
        rgDispId[i] = name.id;
        found = true;
        break;
      }
    }
    if (found) continue;
    hr = entry->info->GetIDsOfNames(&rgszNames[i], 1, &rgDispId[i]);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT Images::Invoke(DISPID dispIdMember, REFIID, LCID lcid, WORD wFlags,
                       DISPPARAMS *pDispParams, VARIANT *pVarResult, EXCEPINFO *pExcepInfo,
                       UINT *puArgErr) {
  if (pDispParams == nullptr) return E_INVALIDARG;  // the platform's Invoke may not check it
  TypeInfoCache *entry = nullptr;
  HRESULT hr = LoadTypeInfo(lcid, &entry);
  if (FAILED(hr)) return hr;
  return entry->info->Invoke(static_cast<IImages *>(this), dispIdMember, wFlags, pDispParams,
                             pVarResult, pExcepInfo, puArgErr);
}

// ---- Clean-up list ------------------------------------------------------------

namespace {
struct CleanUp {
  void (*function)(void *);
  void *argument;
  CleanUp *next;
};
CleanUp *cleanUpList = nullptr;
}  // namespace

void AddModuleCleanUp(void (*function)(void *), void *argument) {
  auto *node = new (std::nothrow) CleanUp{function, argument, cleanUpList};
  if (node != nullptr) cleanUpList = node;  // callers hold the type-information lock
}

void RunModuleCleanUp() {
  while (cleanUpList != nullptr) {
    CleanUp *node = cleanUpList;
    cleanUpList = node->next;
    node->function(node->argument);
    delete node;
  }
}

}  // namespace morphel
