// Single pixels: painting one in the pen colour and reading its channels.
#include "core/status.h"
#include "draw/draw_p.h"

namespace morphel {

// Built here rather than by the library's true-colour read, which reports a
// palette entry's stored alpha where the transparent-index rule is wanted.
int PackedPixel(gdImagePtr im, int x, int y) {
  const int p = gdImageGetPixel(im, x, y);  // 0 outside the image
  if (gdImageTrueColor(im)) return p;
  const int alpha = p == gdImageGetTransparent(im) ? gdAlphaTransparent : gdAlphaOpaque;
  return gdTrueColorAlpha(im->red[p], im->green[p], im->blue[p], alpha);
}

HRESULT Images::SetPixel(INT x, INT y) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  gdImageSetPixel(im, x, y, penColor);
  return S_OK;
}

namespace {

HRESULT GetPixelChannel(const Images &obj, int x, int y, int shift, int mask, INT *out) {
  if (out == nullptr) return E_POINTER;
  gdImagePtr im;
  if (HRESULT hr = obj.LookUpImage(&im); FAILED(hr)) return hr;
  *out = (PackedPixel(im, x, y) >> shift) & mask;
  return S_OK;
}

}  // namespace

HRESULT Images::GetPixelRed(INT x, INT y, INT *pVal) {
  return GetPixelChannel(*this, x, y, 16, 0xFF, pVal);
}

HRESULT Images::GetPixelGreen(INT x, INT y, INT *pVal) {
  return GetPixelChannel(*this, x, y, 8, 0xFF, pVal);
}

HRESULT Images::GetPixelBlue(INT x, INT y, INT *pVal) {
  return GetPixelChannel(*this, x, y, 0, 0xFF, pVal);
}

HRESULT Images::GetPixelAlpha(INT x, INT y, INT *pVal) {
  return GetPixelChannel(*this, x, y, 24, 0x7F, pVal);
}

}  // namespace morphel
