// Safe arrays. Each descriptor is preceded by 16 hidden bytes, as the platform
// lays them out: the element type in the last 4 of them for arrays flagged
// FADF_HAVEVARTYPE, the interface identifier in all 16 for FADF_HAVEIID. The
// bounds are stored last dimension first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/platform_p.h"

namespace {

constexpr size_t kHiddenBytes = sizeof(GUID);
// Largest data block an array may have; keeps every size computation far from
// overflow and refuses absurd requests before they reach the allocator.
constexpr uint64_t kMaxDataBytes = 0x7FFFFFFFu;
// Features a copy does not inherit: they describe where the original lives.
constexpr USHORT kPlacementFeatures = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE;
constexpr ULONG kMaxLocks = 0xFFFF;

size_t DescriptorBytes(UINT cDims) {
  return offsetof(SAFEARRAY, rgsabound) + static_cast<size_t>(cDims) * sizeof(SAFEARRAYBOUND);
}

char *BlockOf(SAFEARRAY *psa) { return reinterpret_cast<char *>(psa) - kHiddenBytes; }

void SetHiddenVartype(SAFEARRAY *psa, VARTYPE vt) {
  DWORD value = vt;
  std::memcpy(reinterpret_cast<char *>(psa) - sizeof value, &value, sizeof value);
}

DWORD HiddenVartype(SAFEARRAY *psa) {
  DWORD value;
  std::memcpy(&value, reinterpret_cast<char *>(psa) - sizeof value, sizeof value);
  return value;
}

void SetHiddenIid(SAFEARRAY *psa, const IID &iid) { std::memcpy(BlockOf(psa), &iid, sizeof iid); }

// Features and hidden type of a new array of element type vt.
void SetFeatures(SAFEARRAY *psa, VARTYPE vt) {
  switch (vt) {
    case VT_DISPATCH:
      psa->fFeatures = FADF_HAVEIID | FADF_DISPATCH;
      SetHiddenIid(psa, IID_IDispatch);
      break;
    case VT_UNKNOWN:
      psa->fFeatures = FADF_HAVEIID | FADF_UNKNOWN;
      SetHiddenIid(psa, IID_IUnknown);
      break;
    case VT_BSTR:
      psa->fFeatures = FADF_HAVEVARTYPE | FADF_BSTR;
      SetHiddenVartype(psa, vt);
      break;
    case VT_VARIANT:
      psa->fFeatures = FADF_HAVEVARTYPE | FADF_VARIANT;
      SetHiddenVartype(psa, vt);
      break;
    default:
      psa->fFeatures = FADF_HAVEVARTYPE;
      SetHiddenVartype(psa, vt);
      break;
  }
}

// A descriptor with zeroed bounds and no data, or null when memory is short.
SAFEARRAY *AllocateDescriptor(UINT cDims) {
  size_t bytes = kHiddenBytes + DescriptorBytes(cDims);
  char *block = static_cast<char *>(std::calloc(1, bytes));
  if (block == nullptr) return nullptr;
  SAFEARRAY *psa = reinterpret_cast<SAFEARRAY *>(block + kHiddenBytes);
  psa->cDims = static_cast<USHORT>(cDims);
  return psa;
}

// Number of elements over all dimensions; false when it does not fit the limit.
bool CountElements(const SAFEARRAY *psa, uint64_t *count) {
  uint64_t total = 1;
  for (USHORT i = 0; i < psa->cDims; ++i) {
    total *= psa->rgsabound[i].cElements;
    if (total > kMaxDataBytes) return false;
  }
  *count = total;
  return true;
}

bool DataBytes(const SAFEARRAY *psa, size_t *bytes) {
  uint64_t count;
  if (!CountElements(psa, &count)) return false;
  uint64_t total = count * psa->cbElements;
  if (psa->cbElements != 0 && total / psa->cbElements != count) return false;
  if (total > kMaxDataBytes) return false;
  *bytes = static_cast<size_t>(total);
  return true;
}

// Zeroed element storage for a new array; E_OUTOFMEMORY when it cannot be had.
HRESULT AllocateData(SAFEARRAY *psa) {
  size_t bytes;
  if (!DataBytes(psa, &bytes)) return E_OUTOFMEMORY;
  psa->pvData = std::calloc(bytes == 0 ? 1 : bytes, 1);
  return psa->pvData != nullptr ? S_OK : E_OUTOFMEMORY;
}

void FreeDescriptor(SAFEARRAY *psa) { std::free(BlockOf(psa)); }

// Releases what the elements own and leaves them zeroed.
void ReleaseElements(SAFEARRAY *psa) {
  uint64_t count;
  if (psa->pvData == nullptr || !CountElements(psa, &count)) return;
  if (psa->fFeatures & FADF_BSTR) {
    BSTR *items = static_cast<BSTR *>(psa->pvData);
    for (uint64_t i = 0; i < count; ++i) {
      SysFreeString(items[i]);
      items[i] = nullptr;
    }
  } else if (psa->fFeatures & FADF_VARIANT) {
    VARIANT *items = static_cast<VARIANT *>(psa->pvData);
    for (uint64_t i = 0; i < count; ++i) VariantClear(&items[i]);
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown **items = static_cast<IUnknown **>(psa->pvData);
    for (uint64_t i = 0; i < count; ++i) {
      if (items[i] != nullptr) items[i]->Release();
      items[i] = nullptr;
    }
  }
}

bool OwnsItsStorage(const SAFEARRAY *psa) {
  return (psa->fFeatures & (FADF_AUTO | FADF_STATIC | FADF_EMBEDDED)) == 0;
}

// Byte offset of the element at rgIndices (first index varies fastest); false
// when an index lies outside its dimension.
bool ElementOffset(const SAFEARRAY *psa, const LONG *rgIndices, size_t *offset) {
  uint64_t cell = 0;
  uint64_t stride = 1;
  for (USHORT dim = 0; dim < psa->cDims; ++dim) {
    const SAFEARRAYBOUND &bound = psa->rgsabound[psa->cDims - 1 - dim];
    int64_t position = static_cast<int64_t>(rgIndices[dim]) - bound.lLbound;
    if (position < 0 || position >= static_cast<int64_t>(bound.cElements)) return false;
    cell += static_cast<uint64_t>(position) * stride;
    stride *= bound.cElements;
  }
  *offset = static_cast<size_t>(cell * psa->cbElements);
  return true;
}

BSTR CopyString(BSTR text) {
  return SysAllocStringByteLen(reinterpret_cast<const char *>(text), SysStringByteLen(text));
}

// Stores the element pv points at (for strings and interfaces: the value pv) in
// the cell at dest, releasing what the cell held.
HRESULT StoreElement(SAFEARRAY *psa, void *dest, void *pv) {
  if (psa->fFeatures & FADF_VARIANT) {
    if (pv == nullptr) return E_INVALIDARG;
    return VariantCopy(static_cast<VARIANT *>(dest), static_cast<VARIANT *>(pv));
  }
  if (psa->fFeatures & FADF_BSTR) {
    BSTR copy = CopyString(static_cast<BSTR>(pv));
    if (copy == nullptr) return E_OUTOFMEMORY;
    BSTR *cell = static_cast<BSTR *>(dest);
    SysFreeString(*cell);
    *cell = copy;
    return S_OK;
  }
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown *item = static_cast<IUnknown *>(pv);
    IUnknown **cell = static_cast<IUnknown **>(dest);
    if (item != nullptr) item->AddRef();
    if (*cell != nullptr) (*cell)->Release();
    *cell = item;
    return S_OK;
  }
  if (pv == nullptr) return E_INVALIDARG;
  std::memcpy(dest, pv, psa->cbElements);
  return S_OK;
}

// Copies the element in the cell at src out to pv, which the caller owns after.
HRESULT FetchElement(SAFEARRAY *psa, const void *src, void *pv) {
  if (psa->fFeatures & FADF_VARIANT) {
    VARIANT *out = static_cast<VARIANT *>(pv);
    VariantInit(out);
    return VariantCopy(out, static_cast<VARIANT *>(const_cast<void *>(src)));
  }
  if (psa->fFeatures & FADF_BSTR) {
    BSTR text = *static_cast<const BSTR *>(src);
    BSTR *out = static_cast<BSTR *>(pv);
    *out = text == nullptr ? nullptr : CopyString(text);
    return text != nullptr && *out == nullptr ? E_OUTOFMEMORY : S_OK;
  }
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown *item = *static_cast<IUnknown *const *>(src);
    if (item != nullptr) item->AddRef();
    *static_cast<IUnknown **>(pv) = item;
    return S_OK;
  }
  std::memcpy(pv, src, psa->cbElements);
  return S_OK;
}

// Fills the zeroed data of copy with duplicates of the elements of source.
HRESULT CopyElements(SAFEARRAY *source, SAFEARRAY *copy) {
  uint64_t count;
  if (!CountElements(source, &count)) return E_OUTOFMEMORY;
  if (source->fFeatures & (FADF_VARIANT | FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH)) {
    char *from = static_cast<char *>(source->pvData);
    char *to = static_cast<char *>(copy->pvData);
    for (uint64_t i = 0; i < count; ++i) {
      size_t offset = static_cast<size_t>(i) * source->cbElements;
      HRESULT hr = FetchElement(source, from + offset, to + offset);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }
  size_t bytes;
  if (!DataBytes(source, &bytes)) return E_OUTOFMEMORY;
  std::memcpy(copy->pvData, source->pvData, bytes);
  return S_OK;
}

SAFEARRAY *CreateArray(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND *boundsInOrder) {
  ULONG size = morphel::platform::SafeArrayElementSize(vt);
  if (size == 0 || cDims == 0 || cDims > 0xFFFF || boundsInOrder == nullptr) return nullptr;
  SAFEARRAY *psa = AllocateDescriptor(cDims);
  if (psa == nullptr) return nullptr;
  SetFeatures(psa, vt);
  psa->cbElements = size;
  for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = boundsInOrder[i];
  if (FAILED(AllocateData(psa))) {
    FreeDescriptor(psa);
    return nullptr;
  }
  return psa;
}

}  // namespace

namespace morphel::platform {

ULONG SafeArrayElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(void *);
    case VT_DECIMAL:
      return sizeof(DECIMAL);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

HRESULT SafeArrayCopy(SAFEARRAY *psa, SAFEARRAY **ppsaOut) {
  if (ppsaOut == nullptr) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (psa == nullptr) return S_OK;
  if (psa->cDims == 0) return E_INVALIDARG;
  SAFEARRAY *copy = AllocateDescriptor(psa->cDims);
  if (copy == nullptr) return E_OUTOFMEMORY;
  // The hidden bytes exist only when the features say so: arrays made by a host
  // (on its stack, say) may have nothing in front of the descriptor.
  if (psa->fFeatures & (FADF_HAVEIID | FADF_HAVEVARTYPE)) {
    std::memcpy(BlockOf(copy), BlockOf(psa), kHiddenBytes);
  }
  std::memcpy(copy, psa, DescriptorBytes(psa->cDims));
  copy->fFeatures = static_cast<USHORT>(psa->fFeatures & ~kPlacementFeatures);
  copy->cLocks = 0;
  copy->pvData = nullptr;
  if (psa->pvData != nullptr) {
    HRESULT hr = AllocateData(copy);
    if (SUCCEEDED(hr)) hr = CopyElements(psa, copy);
    if (FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

}  // namespace morphel::platform

MORPHEL_API SAFEARRAY *SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND *rgsabound) {
  return CreateArray(vt, cDims, rgsabound);
}

MORPHEL_API SAFEARRAY *SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound = {cElements, lLbound};
  return CreateArray(vt, 1, &bound);
}

MORPHEL_API HRESULT SafeArrayDestroy(SAFEARRAY *psa) {
  if (psa == nullptr) return S_OK;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  ReleaseElements(psa);
  if (!OwnsItsStorage(psa)) return S_OK;
  std::free(psa->pvData);
  psa->pvData = nullptr;
  FreeDescriptor(psa);
  return S_OK;
}

MORPHEL_API UINT SafeArrayGetDim(SAFEARRAY *psa) { return psa == nullptr ? 0 : psa->cDims; }

MORPHEL_API UINT SafeArrayGetElemsize(SAFEARRAY *psa) {
  return psa == nullptr ? 0 : psa->cbElements;
}

MORPHEL_API HRESULT SafeArrayGetLBound(SAFEARRAY *psa, UINT nDim, LONG *plLbound) {
  if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

MORPHEL_API HRESULT SafeArrayGetUBound(SAFEARRAY *psa, UINT nDim, LONG *plUbound) {
  if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND &bound = psa->rgsabound[psa->cDims - nDim];
  int64_t upper = static_cast<int64_t>(bound.lLbound) + bound.cElements - 1;
  *plUbound = static_cast<LONG>(static_cast<uint32_t>(upper));
  return S_OK;
}

MORPHEL_API HRESULT SafeArrayGetVartype(SAFEARRAY *psa, VARTYPE *pvt) {
  if (psa == nullptr || pvt == nullptr) return E_INVALIDARG;
  if ((psa->fFeatures & (FADF_HAVEIID | FADF_DISPATCH)) == (FADF_HAVEIID | FADF_DISPATCH)) {
    *pvt = VT_DISPATCH;
  } else if (psa->fFeatures & FADF_HAVEIID) {
    *pvt = VT_UNKNOWN;
  } else if (psa->fFeatures & FADF_HAVEVARTYPE) {
    *pvt = static_cast<VARTYPE>(HiddenVartype(psa));
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

MORPHEL_API HRESULT SafeArrayLock(SAFEARRAY *psa) {
  if (psa == nullptr) return E_INVALIDARG;
  ULONG locks = __atomic_add_fetch(&psa->cLocks, 1u, __ATOMIC_ACQ_REL);
  if (locks > kMaxLocks) {
    __atomic_sub_fetch(&psa->cLocks, 1u, __ATOMIC_ACQ_REL);
    return E_UNEXPECTED;
  }
  return S_OK;
}

MORPHEL_API HRESULT SafeArrayUnlock(SAFEARRAY *psa) {
  if (psa == nullptr) return E_INVALIDARG;
  ULONG locks = __atomic_load_n(&psa->cLocks, __ATOMIC_ACQUIRE);
  do {
    if (locks == 0) return E_UNEXPECTED;
  } while (!__atomic_compare_exchange_n(&psa->cLocks, &locks, locks - 1, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE));
  return S_OK;
}

MORPHEL_API HRESULT SafeArrayAccessData(SAFEARRAY *psa, void **ppvData) {
  if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
  return hr;
}

MORPHEL_API HRESULT SafeArrayUnaccessData(SAFEARRAY *psa) { return SafeArrayUnlock(psa); }

MORPHEL_API HRESULT SafeArrayPtrOfIndex(SAFEARRAY *psa, LONG *rgIndices, void **ppvData) {
  if (psa == nullptr || rgIndices == nullptr || ppvData == nullptr) return E_INVALIDARG;
  size_t offset;
  if (psa->cDims == 0 || !ElementOffset(psa, rgIndices, &offset)) return DISP_E_BADINDEX;
  if (psa->pvData == nullptr) return E_UNEXPECTED;
  *ppvData = static_cast<char *>(psa->pvData) + offset;
  return S_OK;
}

MORPHEL_API HRESULT SafeArrayPutElement(SAFEARRAY *psa, LONG *rgIndices, void *pv) {
  if (psa == nullptr || rgIndices == nullptr) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  void *cell = nullptr;
  hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
  if (SUCCEEDED(hr)) hr = StoreElement(psa, cell, pv);
  SafeArrayUnlock(psa);
  return hr;
}

MORPHEL_API HRESULT SafeArrayGetElement(SAFEARRAY *psa, LONG *rgIndices, void *pv) {
  if (psa == nullptr || rgIndices == nullptr || pv == nullptr) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  void *cell = nullptr;
  hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
  if (SUCCEEDED(hr)) hr = FetchElement(psa, cell, pv);
  SafeArrayUnlock(psa);
  return hr;
}
