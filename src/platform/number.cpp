// Numbers in transit between variant types: rounding, range checks, text.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/number_p.h"

namespace morphel::platform {
namespace {

constexpr int kMaxExactScale = 37;
constexpr int kMaxExactDigits = 38;
constexpr int kMaxDecimalScale = 28;
constexpr BYTE kDecimalNegative = 0x80;

constexpr Int128 PowerOfTen(int exponent) {
  Int128 value = 1;
  for (int i = 0; i < exponent; ++i) value *= 10;
  return value;
}

Int128 Magnitude(Int128 value) { return value < 0 ? -value : value; }

double ExactToReal(Int128 mantissa, int scale) {
  return static_cast<double>(mantissa) / std::pow(10.0, scale);
}

// mantissa / 10^digits rounded half to even (digits 1..37).
Int128 DivideRoundingHalfEven(Int128 mantissa, int digits) {
  Int128 divisor = PowerOfTen(digits);
  Int128 quotient = mantissa / divisor;
  Int128 twiceRest = Magnitude(mantissa % divisor) * 2;
  if (twiceRest > divisor || (twiceRest == divisor && (quotient & 1) != 0)) {
    quotient += mantissa < 0 ? -1 : 1;
  }
  return quotient;
}

bool IsBlank(OLECHAR c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsDigit(OLECHAR c) { return c >= u'0' && c <= u'9'; }

// The parts of a number written in text.
struct WrittenNumber {
  bool negative = false;
  char digits[64] = {};   // significant digits, integer part then fraction, capped
  int digitCount = 0;     // digits kept in digits[]
  int droppedDigits = 0;  // significant digits beyond the cap
  int fractionDigits = 0; // of the kept digits, how many follow the point
  long exponent = 0;
};

void AddDigit(WrittenNumber *n, OLECHAR c, bool inFraction) {
  if (n->digitCount == 0 && c == u'0') {
    // leading zeros carry no digits, but fraction ones still scale the value
    if (inFraction) ++n->fractionDigits;
    return;
  }
  if (n->digitCount < kMaxExactDigits + 1) {
    n->digits[n->digitCount++] = static_cast<char>(c);
    if (inFraction) ++n->fractionDigits;
  } else if (!inFraction) {
    ++n->droppedDigits;
  }
}

// Reads [sign] digits [, digits] [. digits] [e [sign] digits]; false on anything else.
bool ReadWritten(const OLECHAR *s, UINT begin, UINT end, WrittenNumber *n) {
  UINT i = begin;
  if (i < end && (s[i] == u'+' || s[i] == u'-')) n->negative = s[i++] == u'-';
  int mantissaDigits = 0;
  for (; i < end && (IsDigit(s[i]) || (s[i] == u',' && mantissaDigits > 0)); ++i) {
    if (s[i] == u',') continue;
    AddDigit(n, s[i], false);
    ++mantissaDigits;
  }
  if (i < end && s[i] == u'.') {
    for (++i; i < end && IsDigit(s[i]); ++i) {
      AddDigit(n, s[i], true);
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return false;
  if (i < end && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
    ++i;
    bool negativeExponent = false;
    if (i < end && (s[i] == u'+' || s[i] == u'-')) negativeExponent = s[i++] == u'-';
    if (i >= end || !IsDigit(s[i])) return false;
    for (; i < end && IsDigit(s[i]); ++i) {
      if (n->exponent < 100000) n->exponent = n->exponent * 10 + (s[i] - u'0');
    }
    if (negativeExponent) n->exponent = -n->exponent;
  }
  return i == end;
}

int WriteMagnitude(Int128 value, char *buffer);

// The exact form of a written number when it has one within 38 digits.
bool WrittenToExact(const WrittenNumber &n, Number *out) {
  if (n.digitCount == 0) {
    out->mantissa = 0;
    out->scale = 0;
    return true;
  }
  if (n.digitCount > kMaxExactDigits || n.droppedDigits > 0) return false;
  Int128 mantissa = 0;
  for (int i = 0; i < n.digitCount; ++i) mantissa = mantissa * 10 + (n.digits[i] - '0');
  long scale = n.fractionDigits - n.exponent;
  if (scale < 0) {
    if (n.digitCount - scale > kMaxExactDigits) return false;
    mantissa *= PowerOfTen(static_cast<int>(-scale));
    scale = 0;
  }
  if (scale > kMaxExactScale) return false;
  out->mantissa = n.negative ? -mantissa : mantissa;
  out->scale = static_cast<int>(scale);
  return true;
}

// The nearest double: the kept digits, scaled by the power of ten they stand for.
double WrittenToReal(const WrittenNumber &n) {
  if (n.digitCount == 0) return n.negative ? -0.0 : 0.0;
  char text[80];
  int length = 0;
  if (n.negative) text[length++] = '-';
  std::memcpy(text + length, n.digits, static_cast<size_t>(n.digitCount));
  length += n.digitCount;
  long power = n.exponent + n.droppedDigits - n.fractionDigits;
  text[length++] = 'e';
  if (power < 0) text[length++] = '-';
  length += WriteMagnitude(power, text + length);
  double value = 0.0;
  auto parsed = std::from_chars(text, text + length, value);
  if (parsed.ec == std::errc::result_out_of_range) {
    value = power + n.digitCount > 0 ? HUGE_VAL : 0.0;
    if (n.negative) value = -value;
  }
  return value;
}

BSTR AsciiToBstr(const char *text, size_t length) {
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (result == nullptr) return nullptr;
  for (size_t i = 0; i < length; ++i) result[i] = static_cast<OLECHAR>(text[i]);
  return result;
}

// Writes |value| in decimal into buffer (at least 40 chars); returns the length.
int WriteMagnitude(Int128 value, char *buffer) {
  char reversed[48];
  int count = 0;
  unsigned __int128 magnitude =
      value < 0 ? static_cast<unsigned __int128>(-(value + 1)) + 1 : static_cast<unsigned __int128>(value);
  do {
    reversed[count++] = static_cast<char>('0' + static_cast<int>(magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  for (int i = 0; i < count; ++i) buffer[i] = reversed[count - 1 - i];
  return count;
}

}  // namespace

Number ExactNumber(Int128 value, int scale) {
  Number number;
  number.exact = true;
  number.mantissa = value;
  number.scale = scale;
  number.real = ExactToReal(value, scale);
  return number;
}

Number RealNumber(double value) {
  Number number;
  number.exact = false;
  number.real = value;
  return number;
}

bool RoundToInteger(const Number &number, Int128 low, Int128 high, Int128 *out) {
  Int128 value;
  if (number.exact) {
    value = number.scale == 0 ? number.mantissa : DivideRoundingHalfEven(number.mantissa, number.scale);
  } else {
    double x = number.real;
    if (std::isnan(x)) return false;
    if (x < static_cast<double>(low) - 0.5 || x >= static_cast<double>(high) + 0.5) return false;
    value = static_cast<Int128>(std::nearbyint(x));
  }
  if (value < low || value > high) return false;
  *out = value;
  return true;
}

bool ToCurrency(const Number &number, LONGLONG *out) {
  Int128 value;
  bool fits;
  if (!number.exact) {
    fits = RoundToInteger(RealNumber(number.real * 10000.0), INT64_MIN, INT64_MAX, &value);
  } else if (number.scale >= 4) {
    fits = RoundToInteger(ExactNumber(number.mantissa, number.scale - 4), INT64_MIN, INT64_MAX, &value);
  } else {
    Int128 factor = PowerOfTen(4 - number.scale);
    fits = Magnitude(number.mantissa) <= PowerOfTen(19);
    value = number.mantissa * factor;
    fits = fits && value >= INT64_MIN && value <= INT64_MAX;
  }
  if (fits) *out = static_cast<LONGLONG>(value);
  return fits;
}

bool ToDecimal(const Number &number, DECIMAL *out) {
  Number exact = number;
  if (!number.exact) {
    if (!std::isfinite(number.real)) return false;
    char text[40];
    auto written = std::to_chars(text, text + sizeof text, number.real, std::chars_format::scientific, 14);
    OLECHAR wide[40];
    int length = static_cast<int>(written.ptr - text);
    for (int i = 0; i < length; ++i) wide[i] = static_cast<OLECHAR>(text[i]);
    if (!ParseNumber(wide, static_cast<UINT>(length), &exact) || !exact.exact) return false;
    while (exact.scale > 0 && exact.mantissa % 10 == 0) {
      exact.mantissa /= 10;
      --exact.scale;
    }
  }
  Int128 mantissa = exact.mantissa;
  int scale = exact.scale;
  if (scale > kMaxDecimalScale) {
    mantissa = DivideRoundingHalfEven(mantissa, scale - kMaxDecimalScale);
    scale = kMaxDecimalScale;
  }
  const Int128 limit = static_cast<Int128>(1) << 96;
  while (Magnitude(mantissa) >= limit && scale > 0) {
    mantissa = DivideRoundingHalfEven(mantissa, 1);
    --scale;
  }
  if (Magnitude(mantissa) >= limit) return false;
  Int128 magnitude = Magnitude(mantissa);
  out->wReserved = 0;
  out->scale = static_cast<BYTE>(scale);
  out->sign = mantissa < 0 ? kDecimalNegative : 0;
  out->Hi32 = static_cast<ULONG>(magnitude >> 64);
  out->Lo64 = static_cast<ULONGLONG>(magnitude);
  return true;
}

bool ParseNumber(const OLECHAR *text, UINT length, Number *out) {
  if (text == nullptr) return false;
  UINT begin = 0;
  UINT end = length;
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  WrittenNumber written;
  if (begin == end || !ReadWritten(text, begin, end, &written)) return false;
  Number number;
  number.exact = WrittenToExact(written, &number);
  number.real = WrittenToReal(written);
  *out = number;
  return true;
}

BSTR IntegerText(Int128 value) {
  char buffer[48];
  int length = 0;
  if (value < 0) buffer[length++] = '-';
  length += WriteMagnitude(value, buffer + length);
  return AsciiToBstr(buffer, static_cast<size_t>(length));
}

BSTR RealText(double value, int significantDigits) {
  char buffer[64];
  auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                               significantDigits);
  for (char *p = buffer; p < written.ptr; ++p) {
    if (*p == 'e') *p = 'E';
  }
  return AsciiToBstr(buffer, static_cast<size_t>(written.ptr - buffer));
}

BSTR ScaledText(Int128 mantissa, int scale) {
  char digits[48];
  int count = WriteMagnitude(mantissa, digits);
  char buffer[96];
  int length = 0;
  if (mantissa < 0) buffer[length++] = '-';
  int integerDigits = count - scale;
  if (integerDigits <= 0) {
    buffer[length++] = '0';
  } else {
    std::memcpy(buffer + length, digits, static_cast<size_t>(integerDigits));
    length += integerDigits;
  }
  int fractionEnd = count;
  while (fractionEnd > 0 && fractionEnd > integerDigits && digits[fractionEnd - 1] == '0') --fractionEnd;
  if (fractionEnd > integerDigits) {
    buffer[length++] = '.';
    for (int i = integerDigits; i < 0; ++i) buffer[length++] = '0';
    for (int i = integerDigits < 0 ? 0 : integerDigits; i < fractionEnd; ++i) buffer[length++] = digits[i];
  }
  return AsciiToBstr(buffer, static_cast<size_t>(length));
}

}  // namespace morphel::platform
