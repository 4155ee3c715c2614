// Operations of this subsystem that are not built yet: each answers E_NOTIMPL.
#include "core/images.h"

namespace morphel {

HRESULT Images::ConvertToPalette() { return E_NOTIMPL; }
HRESULT Images::ConvertToMonochromeAuto() { return E_NOTIMPL; }
HRESULT Images::ConvertToMonochrome(INT) { return E_NOTIMPL; }
HRESULT Images::ConvertToGrayScale() { return E_NOTIMPL; }
HRESULT Images::ConvertToPaletteNoAlpha() { return E_NOTIMPL; }

}  // namespace morphel
