// Conversion of a variant to another type, with the platform's rules: numbers
// round half to even and fail with DISP_E_OVERFLOW out of range, text is read
// and written in the invariant (US) form, objects are asked for interfaces or
// for their default value.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/number_p.h"
#include "platform/platform_p.h"

namespace {

using morphel::platform::Int128;
using morphel::platform::Number;

constexpr double kDateMin = -657434.0;  // 1 January 100
constexpr double kDateMax = 2958465.0;  // 31 December 9999
constexpr BYTE kDecimalNegative = 0x80;
constexpr BYTE kDecimalMaxScale = 28;

// Byte width of an integer type, 0 for other types.
int IntegerWidth(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      return 4;
    case VT_I8:
    case VT_UI8:
      return 8;
    default:
      return 0;
  }
}

bool IsSignedInteger(VARTYPE vt) {
  return vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_INT || vt == VT_I8;
}

// VT_INT and VT_UINT convert as VT_I4 and VT_UI4.
VARTYPE Canonical(VARTYPE vt) {
  if (vt == VT_INT) return VT_I4;
  if (vt == VT_UINT) return VT_UI4;
  return vt;
}

void IntegerRange(VARTYPE vt, Int128 *low, Int128 *high) {
  int bits = IntegerWidth(vt) * 8;
  if (IsSignedInteger(vt)) {
    *high = (static_cast<Int128>(1) << (bits - 1)) - 1;
    *low = -*high - 1;
  } else {
    *low = 0;
    *high = (static_cast<Int128>(1) << bits) - 1;
  }
}

// Integer value of an integer-typed variant.
Int128 IntegerValue(const VARIANT *v) {
  switch (V_VT(v)) {
    case VT_I1:
      return static_cast<signed char>(V_I1(v));
    case VT_I2:
      return V_I2(v);
    case VT_I4:
    case VT_INT:
      return V_I4(v);
    case VT_I8:
      return V_I8(v);
    case VT_UI1:
      return V_UI1(v);
    case VT_UI2:
      return V_UI2(v);
    case VT_UI4:
    case VT_UINT:
      return V_UI4(v);
    default:
      return static_cast<Int128>(V_UI8(v));
  }
}

// Stores the low bytes of value as the integer of width vt.
void StoreInteger(VARIANT *v, VARTYPE vt, Int128 value) {
  uint64_t bits = static_cast<uint64_t>(value);
  V_UI8(v) = 0;
  std::memcpy(&V_UI8(v), &bits, static_cast<size_t>(IntegerWidth(vt)));
}

// Characters of a string up to its first NUL, which ends the text the
// platform's parsers read.
UINT TextLength(BSTR text) {
  UINT length = SysStringLen(text);
  for (UINT i = 0; i < length; ++i) {
    if (text[i] == 0) return i;
  }
  return length;
}

HRESULT DecimalNumber(const DECIMAL &d, Number *out) {
  if (d.scale > kDecimalMaxScale || (d.sign & ~kDecimalNegative) != 0) return E_INVALIDARG;
  Int128 magnitude = (static_cast<Int128>(d.Hi32) << 64) | d.Lo64;
  *out = morphel::platform::ExactNumber(d.sign ? -magnitude : magnitude, d.scale);
  return S_OK;
}

// The number a by-value variant holds, or DISP_E_TYPEMISMATCH.
HRESULT SourceNumber(const VARIANT *src, Number *out) {
  VARTYPE vt = V_VT(src);
  if (IntegerWidth(vt) != 0) {
    *out = morphel::platform::ExactNumber(IntegerValue(src), 0);
    return S_OK;
  }
  switch (vt) {
    case VT_EMPTY:
      *out = morphel::platform::ExactNumber(0, 0);
      return S_OK;
    case VT_BOOL:
      *out = morphel::platform::ExactNumber(V_BOOL(src), 0);
      return S_OK;
    case VT_R4:
      *out = morphel::platform::RealNumber(V_R4(src));
      return S_OK;
    case VT_R8:
      *out = morphel::platform::RealNumber(V_R8(src));
      return S_OK;
    case VT_DATE:
      *out = morphel::platform::RealNumber(V_DATE(src));
      return S_OK;
    case VT_CY:
      *out = morphel::platform::ExactNumber(V_CY(src).int64, 4);
      return S_OK;
    case VT_DECIMAL:
      return DecimalNumber(V_DECIMAL(src), out);
    case VT_BSTR: {
      BSTR text = V_BSTR(src);
      return morphel::platform::ParseNumber(text, TextLength(text), out) ? S_OK : DISP_E_TYPEMISMATCH;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToInteger(VARIANT *result, const VARIANT *src, VARTYPE vt) {
  VARTYPE from = V_VT(src);
  // A boolean is a 16-bit -1 or 0, extended and cut to the target's width.
  // Integers of the same width change signedness bit for bit.
  bool sameWidthFlip = IntegerWidth(from) == IntegerWidth(vt) && IsSignedInteger(from) != IsSignedInteger(vt);
  if (from == VT_BOOL || sameWidthFlip) {
    Int128 value = from == VT_BOOL ? static_cast<Int128>(V_BOOL(src)) : IntegerValue(src);
    StoreInteger(result, vt, value);
    return S_OK;
  }
  Number number;
  HRESULT hr = SourceNumber(src, &number);
  if (FAILED(hr)) return hr;
  Int128 low, high, value;
  IntegerRange(vt, &low, &high);
  if (!morphel::platform::RoundToInteger(number, low, high, &value)) return DISP_E_OVERFLOW;
  StoreInteger(result, vt, value);
  return S_OK;
}

HRESULT ToReal(VARIANT *result, const VARIANT *src, VARTYPE vt) {
  if (vt == VT_DATE && V_VT(src) == VT_BSTR) return DISP_E_TYPEMISMATCH;  // dates as text: not read
  Number number;
  HRESULT hr = SourceNumber(src, &number);
  if (FAILED(hr)) return hr;
  double x = number.real;
  if (V_VT(src) == VT_BSTR && std::isinf(x)) return DISP_E_OVERFLOW;
  if (vt == VT_R4) {
    if (x > FLT_MAX || x < -FLT_MAX) return DISP_E_OVERFLOW;
    V_R4(result) = static_cast<float>(x);
  } else if (vt == VT_R8) {
    V_R8(result) = x;
  } else {
    if (!(x > kDateMin - 1.0 && x < kDateMax + 1.0)) return DISP_E_OVERFLOW;
    V_DATE(result) = x;
  }
  return S_OK;
}

bool EqualsIgnoringCase(const OLECHAR *text, UINT length, const char *word) {
  size_t wordLength = std::strlen(word);
  if (length != wordLength) return false;
  for (UINT i = 0; i < length; ++i) {
    OLECHAR c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<OLECHAR>(c - u'A' + u'a');
    if (c != static_cast<OLECHAR>(word[i])) return false;
  }
  return true;
}

// "True" or "False" in any case, with blanks around; -1 when neither.
int BooleanWord(BSTR text) {
  UINT begin = 0;
  UINT end = TextLength(text);
  while (begin < end && (text[begin] == u' ' || text[begin] == u'\t')) ++begin;
  while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t')) --end;
  if (EqualsIgnoringCase(text + begin, end - begin, "true")) return 1;
  if (EqualsIgnoringCase(text + begin, end - begin, "false")) return 0;
  return -1;
}

HRESULT ToBoolean(VARIANT *result, const VARIANT *src) {
  if (V_VT(src) == VT_BSTR) {
    int word = BooleanWord(V_BSTR(src));
    if (word >= 0) {
      V_BOOL(result) = word ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
  }
  Number number;
  HRESULT hr = SourceNumber(src, &number);
  if (FAILED(hr)) return hr;
  bool nonZero = number.exact ? number.mantissa != 0 : number.real != 0.0;
  V_BOOL(result) = nonZero ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT ToCurrency(VARIANT *result, const VARIANT *src) {
  Number number;
  HRESULT hr = SourceNumber(src, &number);
  if (FAILED(hr)) return hr;
  LONGLONG value;
  if (!morphel::platform::ToCurrency(number, &value)) return DISP_E_OVERFLOW;
  V_CY(result).int64 = value;
  return S_OK;
}

HRESULT ToDecimal(VARIANT *result, const VARIANT *src) {
  Number number;
  if (V_VT(src) == VT_BOOL) {
    // The platform's variant conversion gives 1, not -1, for true here.
    number = morphel::platform::ExactNumber(V_BOOL(src) ? 1 : 0, 0);
  } else {
    HRESULT hr = SourceNumber(src, &number);
    if (FAILED(hr)) return hr;
  }
  DECIMAL value;
  if (!morphel::platform::ToDecimal(number, &value)) return DISP_E_OVERFLOW;
  V_DECIMAL(result) = value;  // the type word is written afterwards
  return S_OK;
}

BSTR WordText(const char *word) {
  size_t length = std::strlen(word);
  BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (text == nullptr) return nullptr;
  for (size_t i = 0; i < length; ++i) text[i] = static_cast<OLECHAR>(word[i]);
  return text;
}

// The text form of a by-value variant; E_OUTOFMEMORY or DISP_E_TYPEMISMATCH.
HRESULT ToText(VARIANT *result, const VARIANT *src, USHORT flags) {
  VARTYPE vt = V_VT(src);
  BSTR text = nullptr;
  if (IntegerWidth(vt) != 0) {
    text = morphel::platform::IntegerText(IntegerValue(src));
  } else if (vt == VT_EMPTY) {
    text = SysAllocStringLen(nullptr, 0);
  } else if (vt == VT_BOOL) {
    bool words = (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) != 0;
    text = words ? WordText(V_BOOL(src) ? "True" : "False") : morphel::platform::IntegerText(V_BOOL(src));
  } else if (vt == VT_R4) {
    text = morphel::platform::RealText(V_R4(src), 7);
  } else if (vt == VT_R8) {
    text = morphel::platform::RealText(V_R8(src), 15);
  } else if (vt == VT_CY) {
    text = morphel::platform::ScaledText(V_CY(src).int64, 4);
  } else if (vt == VT_DATE) {
    HRESULT hr = morphel::platform::DateText(V_DATE(src), &text);
    if (FAILED(hr)) return hr;
  } else if (vt == VT_DECIMAL) {
    Number number;
    HRESULT hr = DecimalNumber(V_DECIMAL(src), &number);
    if (FAILED(hr)) return hr;
    text = morphel::platform::ScaledText(number.mantissa, number.scale);
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  if (text == nullptr) return E_OUTOFMEMORY;
  V_BSTR(result) = text;
  return S_OK;
}

HRESULT ToInterface(VARIANT *result, const VARIANT *src, VARTYPE vt) {
  VARTYPE from = V_VT(src);
  if (vt == VT_UNKNOWN && from == VT_DISPATCH) {
    V_UNKNOWN(result) = nullptr;
    if (V_DISPATCH(src) == nullptr) return S_OK;
    return V_DISPATCH(src)->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&V_UNKNOWN(result)));
  }
  if (vt == VT_DISPATCH && from == VT_UNKNOWN) {
    V_DISPATCH(result) = nullptr;
    if (V_UNKNOWN(src) == nullptr) return S_OK;
    return V_UNKNOWN(src)->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&V_DISPATCH(result)));
  }
  return DISP_E_TYPEMISMATCH;
}

// Empty and null targets take any plain value but errors (and null to empty).
HRESULT ToNothing(VARIANT *result, VARTYPE from, VARTYPE vt) {
  if (vt == VT_EMPTY && from == VT_NULL) return DISP_E_TYPEMISMATCH;
  if (from > VT_UINT || from == 15 || from == VT_ERROR) return DISP_E_TYPEMISMATCH;
  V_VT(result) = VT_EMPTY;
  return S_OK;
}

HRESULT ChangeType(VARIANT *dest, const VARIANT *src, LCID lcid, USHORT flags, VARTYPE vt);

// Converts the default value (DISPID_VALUE) of an object.
HRESULT FromDefaultValue(VARIANT *result, IDispatch *object, LCID lcid, USHORT flags, VARTYPE vt) {
  if (object == nullptr) return DISP_E_TYPEMISMATCH;
  VARIANT value;
  VariantInit(&value);
  DISPPARAMS noArguments = {nullptr, nullptr, 0, 0};
  HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_PROPERTYGET, &noArguments, &value,
                              nullptr, nullptr);
  if (SUCCEEDED(hr)) hr = ChangeType(result, &value, lcid, flags | VARIANT_NOVALUEPROP, vt);
  VariantClear(&value);
  return hr;
}

// Converts the by-value, non-array src into the empty result.
HRESULT Coerce(VARIANT *result, const VARIANT *src, LCID lcid, USHORT flags, VARTYPE vt) {
  VARTYPE from = V_VT(src);
  if (Canonical(from) == Canonical(vt)) return VariantCopy(result, const_cast<VARIANT *>(src));
  if ((flags & VARIANT_NOVALUEPROP) && from == VT_DISPATCH && vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
  if (vt == VT_EMPTY || vt == VT_NULL) return ToNothing(result, from, vt);
  if (from == VT_DISPATCH && vt != VT_UNKNOWN) {
    return FromDefaultValue(result, V_DISPATCH(src), lcid, flags, vt);
  }
  if (IntegerWidth(vt) != 0) return ToInteger(result, src, vt);
  switch (vt) {
    case VT_R4:
    case VT_R8:
    case VT_DATE:
      return ToReal(result, src, vt);
    case VT_BOOL:
      return ToBoolean(result, src);
    case VT_CY:
      return ToCurrency(result, src);
    case VT_DECIMAL:
      return ToDecimal(result, src);
    case VT_BSTR:
      return ToText(result, src, flags);
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return ToInterface(result, src, vt);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT BytesToText(VARIANT *result, SAFEARRAY *bytes) {
  if (bytes == nullptr || bytes->cDims != 1) return E_INVALIDARG;
  BSTR text = SysAllocStringByteLen(static_cast<const char *>(bytes->pvData), bytes->rgsabound[0].cElements);
  if (text == nullptr) return E_OUTOFMEMORY;
  V_BSTR(result) = text;
  return S_OK;
}

HRESULT TextToBytes(VARIANT *result, BSTR text) {
  UINT length = SysStringByteLen(text);
  SAFEARRAY *bytes = SafeArrayCreateVector(VT_UI1, 0, length);
  if (bytes == nullptr) return E_OUTOFMEMORY;
  if (length != 0) std::memcpy(bytes->pvData, text, length);
  V_ARRAY(result) = bytes;
  return S_OK;
}

// Arrays convert only to arrays of the same type, and byte arrays to and from text.
HRESULT CoerceArray(VARIANT *result, const VARIANT *src, VARTYPE vt) {
  VARTYPE from = V_VT(src);
  if (vt == VT_BSTR && from == (VT_ARRAY | VT_UI1)) return BytesToText(result, V_ARRAY(src));
  if (from == VT_BSTR && vt == (VT_ARRAY | VT_UI1)) return TextToBytes(result, V_BSTR(src));
  if (from == vt) return morphel::platform::SafeArrayCopy(V_ARRAY(src), &V_ARRAY(result));
  return DISP_E_TYPEMISMATCH;
}

HRESULT ChangeType(VARIANT *dest, const VARIANT *src, LCID lcid, USHORT flags, VARTYPE vt) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  HRESULT hr = morphel::platform::ValidateVariantType(V_VT(src));
  if (SUCCEEDED(hr)) hr = morphel::platform::ValidateVariantType(vt);
  if (FAILED(hr)) return hr;
  if ((V_VT(src) & VT_BYREF) && V_BYREF(src) == nullptr) return DISP_E_TYPEMISMATCH;
  // Work on a dereferenced copy, so that dest may be src.
  VARIANT value;
  VariantInit(&value);
  hr = VariantCopyInd(&value, const_cast<VARIANT *>(src));
  if (FAILED(hr)) return hr;
  VARIANT result;
  VariantInit(&result);
  V_UI8(&result) = 0;
  if ((V_VT(&value) & VT_ARRAY) || (vt & VT_ARRAY)) {
    hr = CoerceArray(&result, &value, vt);
  } else {
    hr = Coerce(&result, &value, lcid, flags, vt);
  }
  VariantClear(&value);
  if (SUCCEEDED(hr)) {
    V_VT(&result) = vt;
    hr = VariantClear(dest);
    if (SUCCEEDED(hr)) {
      *dest = result;
      return S_OK;
    }
  }
  if (V_VT(&result) == vt) VariantClear(&result);
  return hr;
}

}  // namespace

MORPHEL_API HRESULT VariantChangeTypeEx(VARIANT *pvargDest, VARIANT *pvarSrc, LCID lcid,
                                        USHORT wFlags, VARTYPE vt) {
  return ChangeType(pvargDest, pvarSrc, lcid, wFlags, vt);
}

MORPHEL_API HRESULT VariantChangeType(VARIANT *pvargDest, VARIANT *pvarSrc, USHORT wFlags,
                                      VARTYPE vt) {
  return ChangeType(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}
