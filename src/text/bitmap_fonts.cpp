// Text in the library's five built-in bitmap fonts.
#include <gdfontg.h>
#include <gdfontl.h>
#include <gdfontmb.h>
#include <gdfonts.h>
#include <gdfontt.h>

#include <climits>
#include <cmath>

#include "core/ansi_text.h"
#include "core/images.h"
#include "core/status.h"

namespace morphel {

namespace {

// Degrees to radians with 3.14 / 180, the factor text angles have always used.
constexpr double kTextRadiansPerDegree = 0.017444444444444446;

// Font codes: 0 and every code other than 1..4 is the small font. The codes do
// not follow the sizes (3 is the smallest).
gdFontPtr FontForCode(int code) {
  switch (code) {
    case 1: return gdFontGetMediumBold();  // 7 x 13
    case 2: return gdFontGetLarge();       // 8 x 16
    case 3: return gdFontGetTiny();        // 5 x 8
    case 4: return gdFontGetGiant();       // 9 x 15
    default: return gdFontGetSmall();      // 6 x 13
  }
}

// A position along the text line, truncated toward zero; kept inside the int
// range so that far-off glyphs are merely clipped.
int TruncatedPosition(double value) {
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

unsigned char *GlyphBytes(const char *text) {
  return reinterpret_cast<unsigned char *>(const_cast<char *>(text));
}

}  // namespace

HRESULT Images::SetFont(INT newVal) {
  builtinFontCode = newVal;
  builtinFont = FontForCode(newVal);
  return S_OK;
}

HRESULT Images::GetFont(INT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = builtinFontCode;
  return S_OK;
}

HRESULT Images::DrawText(INT x, INT y, BSTR str) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  AnsiText text;
  if (HRESULT hr = text.Convert(str); hr != S_OK) return hr;
  gdImageString(im, builtinFont, x, y, GlyphBytes(text.c_str()), penColor);
  return S_OK;
}

// Each byte is drawn upright on its own, its cell moved along the line by
// whole cell widths; glyphs are never rotated.
HRESULT Images::DrawTextAngle(INT x, INT y, INT angle, BSTR str) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  AnsiText text;
  if (HRESULT hr = text.Convert(str); hr != S_OK) return hr;
  const double radians = angle * kTextRadiansPerDegree;
  const double c = std::cos(radians), s = std::sin(radians);
  const int width = builtinFont->w;
  const char *bytes = text.c_str();
  for (long long i = 0; bytes[i] != '\0'; ++i) {
    const double d = static_cast<double>(i * width);
    const int xi = TruncatedPosition(x + d * c);
    const int yi = TruncatedPosition(y + d * s);
    char glyph[2] = {bytes[i], '\0'};
    gdImageString(im, builtinFont, xi, yi, GlyphBytes(glyph), penColor);
  }
  return S_OK;
}

}  // namespace morphel
