// The pen colour: setting it from channels or a palette entry, reading it back,
// the palette size, transparency, alpha blending and the border colour.
#include "core/status.h"
#include "draw/draw_p.h"

namespace morphel {

namespace {

bool IsChannel(int v) { return v >= 0 && v <= 255; }
bool IsAlpha(int v) { return v >= 0 && v <= 127; }

enum class Channel { kRed, kGreen, kBlue, kAlpha };

// One channel of the pen colour as it is used on im.
int PenChannel(const Images &obj, gdImagePtr im, Channel channel) {
  const int c = obj.penColor;
  if (gdImageTrueColor(im)) {
    switch (channel) {
      case Channel::kRed: return gdTrueColorGetRed(c);
      case Channel::kGreen: return gdTrueColorGetGreen(c);
      case Channel::kBlue: return gdTrueColorGetBlue(c);
      case Channel::kAlpha: return gdTrueColorGetAlpha(c);
    }
  }
  // A pen colour that names no entry of this palette (resolved against another
  // image, a packed true colour, or -1) reads as 0 in every channel: only
  // entries below the colour count are read.
  if (c < 0 || c >= gdImageColorsTotal(im)) return 0;
  switch (channel) {
    case Channel::kRed: return im->red[c];
    case Channel::kGreen: return im->green[c];
    case Channel::kBlue: return im->blue[c];
    case Channel::kAlpha: return im->alpha[c];
  }
  return 0;
}

}  // namespace

HRESULT ResolvePenColour(Images &obj, gdImagePtr im, int r, int g, int b, int a) {
  obj.penColor = gdImageColorAllocateAlpha(im, r, g, b, a);
  if (obj.penColor == -1) obj.penColor = gdImageColorClosestAlpha(im, r, g, b, a);
  if (obj.penColor == -1) return ReportError(kMsgNoColor);
  return S_OK;
}

HRESULT Images::SetColor(INT r, INT g, INT b) {
  if (!IsChannel(r) || !IsChannel(g) || !IsChannel(b)) return E_INVALIDARG;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  penRed = r;
  penGreen = g;
  penBlue = b;
  penAlpha = 0;
  return ResolvePenColour(*this, im, r, g, b, gdAlphaOpaque);
}

HRESULT Images::SetAlphaColor(INT r, INT g, INT b, INT a) {
  if (!IsChannel(r) || !IsChannel(g) || !IsChannel(b) || !IsAlpha(a)) return E_INVALIDARG;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  penRed = r;
  penGreen = g;
  penBlue = b;
  penAlpha = a;
  return ResolvePenColour(*this, im, r, g, b, a);
}

HRESULT Images::SetColorByIndex(INT newVal) {
  if (newVal < 0) return E_INVALIDARG;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  // A true-colour image has no palette entries, so every index is refused.
  const int total = gdImageTrueColor(im) ? 0 : gdImageColorsTotal(im);
  if (newVal >= total) return E_INVALIDARG;
  const int r = im->red[newVal], g = im->green[newVal], b = im->blue[newVal];
  const int a = im->alpha[newVal];
  if (!IsChannel(r) || !IsChannel(g) || !IsChannel(b) || !IsAlpha(a)) return E_INVALIDARG;
  penRed = r;
  penGreen = g;
  penBlue = b;
  penAlpha = a;
  return ResolvePenColour(*this, im, r, g, b, a);
}

namespace {

HRESULT GetPenChannel(const Images &obj, Channel channel, INT *out) {
  if (out == nullptr) return E_POINTER;
  gdImagePtr im;
  if (HRESULT hr = obj.LookUpImage(&im); FAILED(hr)) return hr;
  *out = PenChannel(obj, im, channel);
  return S_OK;
}

}  // namespace

HRESULT Images::GetColorRed(INT *r) { return GetPenChannel(*this, Channel::kRed, r); }
HRESULT Images::GetColorGreen(INT *g) { return GetPenChannel(*this, Channel::kGreen, g); }
HRESULT Images::GetColorBlue(INT *b) { return GetPenChannel(*this, Channel::kBlue, b); }
HRESULT Images::GetColorAlpha(INT *a) { return GetPenChannel(*this, Channel::kAlpha, a); }

HRESULT Images::GetColorTotal(INT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  *pVal = gdImageTrueColor(im) ? 0 : gdImageColorsTotal(im);
  return S_OK;
}

void SetTransparentColour(gdImagePtr im, int c) {
  if (gdImageTrueColor(im)) {
    gdImageColorTransparent(im, c);
    return;
  }
  // Palette images: done here, since the library's call writes in front of
  // the alpha table when no colour was transparent and leaves the old entry
  // transparent when it clears.
  if (c != -1 && (c < 0 || c >= gdMaxColors)) return;  // no such entry: ignored
  if (im->transparent >= 0 && im->transparent < gdMaxColors) {
    im->alpha[im->transparent] = gdAlphaOpaque;
  }
  if (c >= 0) im->alpha[c] = gdAlphaTransparent;
  im->transparent = c;
}

HRESULT Images::SetTransparent(INT newVal) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  SetTransparentColour(im, newVal != 0 ? penColor : -1);
  return S_OK;
}

HRESULT Images::GetTransparent(INT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  // -1 and 257 both stand for "no transparent colour".
  const int t = gdImageGetTransparent(im);
  *pVal = (t == -1 || t == 257) ? 0 : 1;
  return S_OK;
}

HRESULT Images::SetAlphaBlending(INT newVal) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  gdImageAlphaBlending(im, newVal != 0 ? 1 : 0);
  return S_OK;
}

HRESULT Images::SetBorderColor() {
  borderColor = penColor;
  return S_OK;
}

}  // namespace morphel
