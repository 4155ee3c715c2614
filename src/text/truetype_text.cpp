// TrueType text: font settings, horizontal and angled text, and measuring.
#include <gd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "core/ansi_text.h"
#include "core/images.h"
#include "core/status.h"
#include "text/truetype_p.h"

namespace morphel {

namespace {

// Degrees to radians with 3.1415 / 180, the factor TrueType angles have always
// used (not pi / 180).
constexpr double kTrueTypeRadiansPerDegree = 0.01745277777777778;
constexpr int kMaxFontSize = 500;
constexpr char kFontError[] = "font error";
static_assert(sizeof Images::ttfFontName == kFontListCapacity + 1);
static_assert(sizeof Images::ttfFontPath == kFontPathCapacity + 1);

// The library's texts that the caller sees under another name: a font that
// cannot be found or opened is a "font error", and a glyph that fails to load
// while the text is laid out (before anything is drawn) is reported as such.
constexpr struct {
  const char *library;
  const char *reported;
} kRenamedTexts[] = {
    {"Could not find/open font", kFontError},
    {"Could not read font", kFontError},
    {"font_path() returned an empty font pathname", kFontError},
    {"Problem doing text layout", "Problem loading glyph"},
};

const char *ReportedText(const char *libraryText) {
  for (const auto &text : kRenamedTexts) {
    if (std::strcmp(text.library, libraryText) == 0) return text.reported;
  }
  return libraryText;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The largest value the library decodes from a decimal reference: it reads at
// most five digits.
constexpr long kLargestShortReference = 99999;

// When text[at] starts "&#" + decimal digits + ";", its length and value
// (values above kLargestShortReference are capped there plus one); else 0.
size_t DecimalReferenceLength(std::string_view text, size_t at, long *value) {
  size_t i = at + 2;
  if (i > text.size() || text[at + 1] != '#') return 0;
  *value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    *value = std::min(*value * 10 + (text[i] - '0'), kLargestShortReference + 1);
  }
  return i > at + 2 && i < text.size() && text[i] == ';' ? i + 1 - at : 0;
}

// Decimal character references are decoded by the library, but only up to
// five digits, so leading zeros are dropped ("&#00065;" draws "A"); a value
// beyond five digits stays as it was written. The library would decode
// hexadecimal and named references too, so every other ampersand goes over as
// the reference for an ampersand and is drawn as itself.
std::string EscapeReferences(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    long value = 0;
    const size_t length = text[i] == '&' ? DecimalReferenceLength(text, i, &value) : 0;
    if (length > 0) {
      escaped += value <= kLargestShortReference ? "&#" + std::to_string(value) + ";"
                                                 : std::string(text.substr(i, length));
      i += length - 1;
    } else if (text[i] == '&') {
      escaped += "&#38;";
    } else {
      escaped += text[i];
    }
  }
  return escaped;
}

// One call of the library's text function.
struct TextCall {
  gdImagePtr image;  // null: measure only
  int *corners;      // eight integers, or null
  int colour;
  double radians;
  int x;
  int y;
};

// Guards the library's font state, which every call below sets up and tears
// down again. The library holds its own lock for the whole of a text call, so
// this costs no parallelism.
std::mutex fontStateLock;

// The library keeps the fonts it opened, by path, and reads them again on the
// next call without looking at the file: a font replaced on disk would still
// be drawn, and one overwritten in place is read past its new end, which
// crashes the process. So each call opens its font afresh and closes it again
// (the set-up is redone lazily, under the lock, by the next call); the
// library's texts are constants and outlive the tear-down.
const char *CallLibrary(const Images &object, const TextCall &call, const std::string &font,
                        const std::string &text) {
  std::lock_guard<std::mutex> guard(fontStateLock);
  const char *message =
      gdImageStringFT(call.image, call.corners, call.colour, font.c_str(), object.ttfFontSize,
                      call.radians, call.x, call.y, text.c_str());
  gdFontCacheShutdown();
  return message;
}

// Looks the font up (afresh on every call, so that a new search path applies
// at once) and hands the library its absolute path.
HRESULT RunTextCall(const Images &object, const TextCall &call, const AnsiText &text) {
  try {
    const std::string font = FindFontFile(object.ttfFontName, FontSearchPath());
    if (font.empty()) return ReportErrorText(kFontError);
    const char *message = CallLibrary(object, call, font, EscapeReferences(text.c_str()));
    return message == nullptr ? S_OK : ReportErrorText(ReportedText(message));
  } catch (...) {
    return ReportError(kMsgNoMemory);
  }
}

// A variant array of four VT_I4 variants, lower bound 0; null when memory is
// short.
SAFEARRAY *MakeRectangleArray(const int (&values)[4]) {
  SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 0, 4);
  if (array == nullptr) return nullptr;
  for (LONG i = 0; i < 4; ++i) {
    VARIANT element;
    VariantInit(&element);
    V_VT(&element) = VT_I4;
    V_I4(&element) = values[i];
    if (FAILED(SafeArrayPutElement(array, &i, &element))) {
      SafeArrayDestroy(array);
      return nullptr;
    }
  }
  return array;
}

// Copies converted text into a fixed field; longer text is refused rather
// than cut, since a cut font list can silently name another font.
template <size_t N>
HRESULT StoreText(BSTR str, char (&field)[N]) {
  AnsiText text;
  if (HRESULT hr = text.Convert(str); hr != S_OK) return hr;
  if (text.size() >= N) return E_INVALIDARG;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return S_OK;
}

}  // namespace

HRESULT Images::SetFontTTF(BSTR str) { return StoreText(str, ttfFontName); }

HRESULT Images::SetFontSizeTTF(INT sz_font) {
  if (sz_font < 0 || sz_font > kMaxFontSize) return E_INVALIDARG;
  ttfFontSize = sz_font;
  return S_OK;
}

HRESULT Images::SetFontPathTTF(BSTR str) {
  HRESULT hr = StoreText(str, ttfFontPath);
  if (hr == S_OK) SetFontSearchPath(ttfFontPath);
  return hr;
}

HRESULT Images::SetFontPathTTFAuto() {
  try {
    const std::string directories = SystemFontDirectories();
    std::memcpy(ttfFontPath, directories.c_str(), directories.size() + 1);
  } catch (...) {
    return ReportError(kMsgNoMemory);
  }
  SetFontSearchPath(ttfFontPath);
  return S_OK;
}

HRESULT Images::SetTextAntialias(INT newVal) {
  textAntialias = newVal != 0 ? 1 : 0;
  return S_OK;
}

// Only a palette image honours the switch: the library draws a negative
// colour without anti-aliasing there (index 0 stays 0, so stays smoothed).
HRESULT Images::DrawTextTTF(INT x, INT y, BSTR str) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  AnsiText text;
  if (HRESULT hr = text.Convert(str); hr != S_OK) return hr;
  const int colour = !gdImageTrueColor(im) && textAntialias == 0 ? -penColor : penColor;
  return RunTextCall(*this, {im, nullptr, colour, 0.0, x, y}, text);
}

// Positive angles turn counter-clockwise; always anti-aliased.
HRESULT Images::DrawTextAngleTTF(INT x, INT y, INT angle, BSTR str) {
  gdImagePtr im;
  if (HRESULT hr = LookUpImage(&im); FAILED(hr)) return hr;
  AnsiText text;
  if (HRESULT hr = text.Convert(str); hr != S_OK) return hr;
  const double radians = angle * kTrueTypeRadiansPerDegree;
  return RunTextCall(*this, {im, nullptr, penColor, radians, x, y}, text);
}

// The box of horizontal text at (x, y) in image coordinates; needs no image.
HRESULT Images::GetTextTTFRectangle(INT x, INT y, BSTR str, VARIANT *pVal) {
  if (pVal == nullptr) return E_POINTER;
  AnsiText text;
  if (HRESULT hr = text.Convert(str); hr != S_OK) return hr;
  int corners[8] = {};
  if (HRESULT hr = RunTextCall(*this, {nullptr, corners, penColor, 0.0, x, y}, text); FAILED(hr)) {
    return hr;
  }
  const int xs[4] = {corners[0], corners[2], corners[4], corners[6]};
  const int ys[4] = {corners[1], corners[3], corners[5], corners[7]};
  const int box[4] = {*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
                      *std::max_element(xs, xs + 4), *std::max_element(ys, ys + 4)};
  SAFEARRAY *array = MakeRectangleArray(box);
  if (array == nullptr) return ReportError(kMsgNoMemory);
  VariantInit(pVal);
  V_VT(pVal) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(pVal) = array;
  return S_OK;
}

}  // namespace morphel
