// Operations of this subsystem that are not built yet: each answers E_NOTIMPL.
#include "core/images.h"

namespace morphel {

HRESULT Images::DrawTextTTF(INT, INT, BSTR) { return E_NOTIMPL; }
HRESULT Images::SetFontTTF(BSTR) { return E_NOTIMPL; }
HRESULT Images::SetFontSizeTTF(INT) { return E_NOTIMPL; }
HRESULT Images::SetFontPathTTF(BSTR) { return E_NOTIMPL; }
HRESULT Images::DrawTextAngleTTF(INT, INT, INT, BSTR) { return E_NOTIMPL; }
HRESULT Images::SetFontPathTTFAuto() { return E_NOTIMPL; }
HRESULT Images::GetTextTTFRectangle(INT, INT, BSTR, VARIANT *) { return E_NOTIMPL; }
HRESULT Images::SetTextAntialias(INT) { return E_NOTIMPL; }

}  // namespace morphel
