// Output settings: format code, JPEG quality, interlacing and alpha saving.
#include "core/images.h"
#include "io/codec_p.h"

namespace morphel {

HRESULT Images::SetImageType(INT newVal) {
  if (newVal < 0 || newVal > kLastFormat) return E_INVALIDARG;
  imageType = newVal;
  return S_OK;
}

HRESULT Images::GetImageType(INT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = imageType;
  return S_OK;
}

// -1 leaves the choice of quality to the JPEG library.
HRESULT Images::SetJpegQuality(INT newVal) {
  if (newVal < -1 || newVal > 100) return E_INVALIDARG;
  jpegQuality = newVal;
  return S_OK;
}

HRESULT Images::GetJpegQuality(INT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = jpegQuality;
  return S_OK;
}

// The flag lives on the image and travels with it to the encoders.
HRESULT Images::SetInterlace(INT newVal) {
  if (newVal < 0 || newVal > 1) return E_INVALIDARG;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  gdImageInterlace(im, newVal);
  return S_OK;
}

HRESULT Images::GetInterlace(INT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  *pVal = gdImageGetInterlaced(im) ? 1 : 0;
  return S_OK;
}

// Takes effect at the next write (save-alpha rule); no image is touched now.
HRESULT Images::SetSaveAlpha(INT newVal) {
  saveAlphaOnWrite = newVal != 0 ? 1 : 0;
  return S_OK;
}

}  // namespace morphel
