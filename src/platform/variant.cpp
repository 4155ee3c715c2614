// Variant life cycle: initialise, clear, copy, copy through a reference.
#include <cstring>

#include "platform/platform_p.h"

namespace morphel::platform {

HRESULT ValidateVariantType(VARTYPE vt) {
  if (vt & (kVtVector | kVtReserved)) return DISP_E_BADVARTYPE;
  VARTYPE base = vt & VT_TYPEMASK;
  if (base >= VT_VOID || base == 15) return DISP_E_BADVARTYPE;
  if ((vt & (VT_BYREF | VT_ARRAY)) && base <= VT_NULL) return DISP_E_BADVARTYPE;
  return S_OK;
}

}  // namespace morphel::platform

namespace {

using morphel::platform::ValidateVariantType;

BSTR DuplicateString(BSTR text) {
  return SysAllocStringByteLen(reinterpret_cast<const char *>(text), SysStringByteLen(text));
}

// Makes dest own its own copy of what the by-value variant src holds; dest
// already carries src's bits.
HRESULT DuplicateOwnedValue(VARIANT *dest, const VARIANT *src) {
  VARTYPE vt = V_VT(src);
  if (vt & VT_ARRAY) {
    V_ARRAY(dest) = nullptr;
    return morphel::platform::SafeArrayCopy(V_ARRAY(src), &V_ARRAY(dest));
  }
  if (vt == VT_BSTR && V_BSTR(src) != nullptr) {
    V_BSTR(dest) = DuplicateString(V_BSTR(src));
    return V_BSTR(dest) != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && V_UNKNOWN(src) != nullptr) {
    V_UNKNOWN(src)->AddRef();
  }
  return S_OK;
}

// The by-reference types a reference may be followed for.
bool CanDereference(VARTYPE vt) {
  if (vt & (morphel::platform::kVtVector | morphel::platform::kVtReserved)) return false;
  if (vt & VT_ARRAY) return true;
  VARTYPE base = vt & VT_TYPEMASK;
  return base > VT_NULL && base != 15 && base < VT_VOID;
}

// Copies the value a by-reference variant src points at into the empty dest.
HRESULT CopyReferencedValue(VARIANT *dest, const VARIANT *src) {
  VARTYPE vt = V_VT(src);
  VARTYPE plain = vt & ~VT_BYREF;
  if (vt & VT_ARRAY) {
    V_ARRAY(dest) = nullptr;
    HRESULT hr = morphel::platform::SafeArrayCopy(*V_ARRAYREF(src), &V_ARRAY(dest));
    if (SUCCEEDED(hr)) V_VT(dest) = plain;
    return hr;
  }
  switch (plain) {
    case VT_BSTR: {
      BSTR text = *V_BSTRREF(src);
      V_BSTR(dest) = text == nullptr ? nullptr : DuplicateString(text);
      if (text != nullptr && V_BSTR(dest) == nullptr) return E_OUTOFMEMORY;
      break;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN:
      V_UNKNOWN(dest) = *V_UNION(src, ppunkVal);
      if (V_UNKNOWN(dest) != nullptr) V_UNKNOWN(dest)->AddRef();
      break;
    case VT_VARIANT: {
      const VARIANT *inner = V_VARIANTREF(src);
      if (V_VT(inner) == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
      return VariantCopyInd(dest, const_cast<VARIANT *>(inner));
    }
    case VT_DECIMAL:
      V_DECIMAL(dest) = *V_UNION(src, pdecVal);
      break;
    default:
      std::memcpy(&V_BYREF(dest), V_BYREF(src), morphel::platform::SafeArrayElementSize(plain));  // a scalar's size
      break;
  }
  V_VT(dest) = plain;
  return S_OK;
}

}  // namespace

MORPHEL_API void VariantInit(VARIANT *pvarg) {
  if (pvarg != nullptr) V_VT(pvarg) = VT_EMPTY;
}

MORPHEL_API HRESULT VariantClear(VARIANT *pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  HRESULT hr = ValidateVariantType(V_VT(pvarg));
  if (FAILED(hr)) return hr;
  VARTYPE vt = V_VT(pvarg);
  if (!(vt & VT_BYREF)) {
    if ((vt & VT_ARRAY) || vt == morphel::platform::kVtSafeArray) {
      if (V_ARRAY(pvarg) != nullptr) hr = SafeArrayDestroy(V_ARRAY(pvarg));
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR) {
      SysFreeString(V_BSTR(pvarg));
    } else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && V_UNKNOWN(pvarg) != nullptr) {
      V_UNKNOWN(pvarg)->Release();
    }
  }
  V_VT(pvarg) = VT_EMPTY;
  return S_OK;
}

MORPHEL_API HRESULT VariantCopy(VARIANT *pvargDest, VARIANT *pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  HRESULT hr = ValidateVariantType(V_VT(pvargSrc));
  if (FAILED(hr) || pvargDest == pvargSrc) return hr;
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  *pvargDest = *pvargSrc;
  if (V_VT(pvargSrc) & VT_BYREF) return S_OK;
  hr = DuplicateOwnedValue(pvargDest, pvargSrc);
  if (FAILED(hr)) V_VT(pvargDest) = VT_EMPTY;
  return hr;
}

MORPHEL_API HRESULT VariantCopyInd(VARIANT *pvarDest, VARIANT *pvargSrc) {
  if (pvarDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (!(V_VT(pvargSrc) & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
  if (!CanDereference(V_VT(pvargSrc)) || V_BYREF(pvargSrc) == nullptr) return E_INVALIDARG;
  // The reference is read from a private copy, so that dest may be src.
  VARIANT reference = *pvargSrc;
  if (pvarDest != pvargSrc) {
    HRESULT hr = VariantClear(pvarDest);
    if (FAILED(hr)) return hr;
  }
  V_VT(pvarDest) = VT_EMPTY;
  HRESULT hr = CopyReferencedValue(pvarDest, &reference);
  if (FAILED(hr)) V_VT(pvarDest) = VT_EMPTY;
  return hr;
}
