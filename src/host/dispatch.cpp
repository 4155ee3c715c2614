// IDispatch of the Images object on platforms without type libraries: names
// and dispatch identifiers come from the operation table, and Invoke converts
// the arguments as the platform's type information would (see dispatch_table).
#include "core/images.h"
#include "core/status.h"
#include "host/dispatch_table.h"

namespace morphel {

#if !defined(_WIN32)

namespace {

DISPID FindParameter(const OperationInfo &op, const OLECHAR *name) {
  for (size_t i = 0; i < op.params.size(); ++i) {
    const char *candidate = op.params[i].name;
    size_t k = 0;
    for (; candidate[k] != '\0' && name[k] != 0; ++k) {
      char16_t a = static_cast<unsigned char>(candidate[k]), b = name[k];
      if ((a | 0x20) != (b | 0x20)) break;
    }
    if (candidate[k] == '\0' && name[k] == 0) return static_cast<DISPID>(i);
  }
  return DISPID_UNKNOWN;
}

}  // namespace

// No type information exists on this platform.
HRESULT Images::GetTypeInfoCount(UINT *pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT Images::GetTypeInfo(UINT, LCID, ITypeInfo **ppTInfo) {
  if (ppTInfo == nullptr) return E_POINTER;
  *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

// Exact-case match first, then ignoring letter case; further names are the
// operation's parameter names.
HRESULT Images::GetIDsOfNames(REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID,
                              DISPID *rgDispId) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (cNames == 0) return S_OK;
  if (rgszNames == nullptr || rgDispId == nullptr) return E_POINTER;
  const OperationInfo *op = FindOperationByName(rgszNames[0]);
  HRESULT hr = S_OK;
  rgDispId[0] = op != nullptr ? op->id : DISPID_UNKNOWN;
  if (op == nullptr) hr = DISP_E_UNKNOWNNAME;
  for (UINT i = 1; i < cNames; ++i) {
    rgDispId[i] = op != nullptr && rgszNames[i] != nullptr ? FindParameter(*op, rgszNames[i])
                                                           : DISPID_UNKNOWN;
    if (rgDispId[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT Images::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                       DISPPARAMS *pDispParams, VARIANT *pVarResult, EXCEPINFO *pExcepInfo,
                       UINT *puArgErr) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  const OperationInfo *op = FindOperation(dispIdMember);
  if (op == nullptr || (wFlags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if (pDispParams == nullptr) return E_INVALIDARG;
  if (pDispParams->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  if (pDispParams->cArgs > 0 && pDispParams->rgvarg == nullptr) return E_INVALIDARG;
  if (pVarResult != nullptr) VariantInit(pVarResult);
  HRESULT status = S_OK;
  HRESULT hr = op->invoke(this, pDispParams, pVarResult, puArgErr, &status);
  if (FAILED(hr)) return hr;  // the arguments did not fit the operation
  return FAILED(status) ? ExceptionFromErrorInfo(status, pExcepInfo) : status;
}

#endif

}  // namespace morphel
