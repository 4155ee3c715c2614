// Operations of this subsystem that are not built yet: each answers E_NOTIMPL.
#include "core/images.h"

namespace morphel {

HRESULT Images::WriteToFile(BSTR) { return E_NOTIMPL; }
HRESULT Images::SetImageType(INT) { return E_NOTIMPL; }
HRESULT Images::GetImageType(INT *) { return E_NOTIMPL; }
HRESULT Images::SetJpegQuality(INT) { return E_NOTIMPL; }
HRESULT Images::GetJpegQuality(INT *) { return E_NOTIMPL; }
HRESULT Images::ReadFromFile(BSTR) { return E_NOTIMPL; }
HRESULT Images::ReadFromDatabase(VARIANT) { return E_NOTIMPL; }
HRESULT Images::WriteToDatabase(VARIANT) { return E_NOTIMPL; }
HRESULT Images::WriteToVariable(BSTR *) { return E_NOTIMPL; }
HRESULT Images::ReadFromVariable(BSTR *) { return E_NOTIMPL; }
HRESULT Images::SetInterlace(INT) { return E_NOTIMPL; }
HRESULT Images::GetInterlace(INT *) { return E_NOTIMPL; }
HRESULT Images::SetSaveAlpha(INT) { return E_NOTIMPL; }
HRESULT Images::WriteToVariableVariant(VARIANT *) { return E_NOTIMPL; }

}  // namespace morphel
