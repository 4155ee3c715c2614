// The two conversions of a true-colour image into a palette image, by the
// component's colour-only and alpha-aware quantisers.
#include "core/images.h"
#include "core/status.h"
#include "transform/alpha_quantiser_p.h"

namespace morphel {

namespace {

// Converts the current image with quantise; a palette image stays as it is.
// A true-colour transparent colour is a packed colour, meaningless as a
// palette index: it is dropped before quantising and stays unset. When the quantiser runs out of
// memory the image is left as it was and "NO MEMORY!" reported.
HRESULT ConvertToPaletteWith(const Images &obj, bool (*quantise)(gdImagePtr)) {
  gdImagePtr im;
  if (HRESULT hr = obj.LookUpImage(&im); FAILED(hr)) return hr;
  if (!gdImageTrueColor(im)) return S_OK;
  const int transparent = im->transparent;
  im->transparent = -1;
  if (!quantise(im)) {
    im->transparent = transparent;
    return ReportError(kMsgNoMemory);
  }
  return S_OK;
}

}  // namespace

HRESULT Images::ConvertToPalette() {
  return ConvertToPaletteWith(*this, QuantiseWithAlpha);
}

HRESULT Images::ConvertToPaletteNoAlpha() {
  return ConvertToPaletteWith(*this, QuantiseColourOnly);
}

}  // namespace morphel
