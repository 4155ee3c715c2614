// Operations of this subsystem that are not built yet: each answers E_NOTIMPL.
#include "core/images.h"

namespace morphel {

HRESULT Images::CopyImage(INT, INT, INT, INT, INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::CopyImageResize(INT, INT, INT, INT, INT, INT, INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::CopyImageMerge(INT, INT, INT, INT, INT, INT, INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::CopyImageRotate(INT, INT, INT) { return E_NOTIMPL; }
HRESULT Images::CopyImageSimpleRotate(INT, INT, INT, INT, INT, INT, INT, INT, INT) { return E_NOTIMPL; }

}  // namespace morphel
