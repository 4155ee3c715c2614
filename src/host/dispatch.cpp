// IDispatch of the Images object. By-name dispatch on this platform is not
// built yet: the calls through the interface table are the way in.
#include "core/images.h"

namespace morphel {

#if !defined(_WIN32)
HRESULT Images::GetTypeInfoCount(UINT *pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return E_NOTIMPL;
}

HRESULT Images::GetTypeInfo(UINT, LCID, ITypeInfo **ppTInfo) {
  if (ppTInfo == nullptr) return E_POINTER;
  *ppTInfo = nullptr;
  return E_NOTIMPL;
}

HRESULT Images::GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) { return E_NOTIMPL; }

HRESULT Images::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) {
  return E_NOTIMPL;
}
#endif

}  // namespace morphel
