// Operations of this subsystem that are not built yet: each answers E_NOTIMPL.
#include "core/images.h"

namespace morphel {

HRESULT Images::ReadFromDatabase(VARIANT) { return E_NOTIMPL; }
HRESULT Images::WriteToDatabase(VARIANT) { return E_NOTIMPL; }

}  // namespace morphel
