// Numbers on their way between variant types, and their text forms.
#ifndef MORPHEL_PLATFORM_NUMBER_P_H
#define MORPHEL_PLATFORM_NUMBER_P_H

#include "morphel/automation.h"

namespace morphel::platform {

using Int128 = __int128;

// A value in transit. When exact, it is mantissa / 10^scale (scale 0..37);
// real always holds the nearest double.
struct Number {
  bool exact = true;
  Int128 mantissa = 0;
  int scale = 0;
  double real = 0.0;
};

Number ExactNumber(Int128 value, int scale);
Number RealNumber(double value);

// Rounds to a whole number, halves to even, and checks [low, high]; false when
// the value lies outside (or is not a number).
bool RoundToInteger(const Number &number, Int128 low, Int128 high, Int128 *out);

// The value as currency (scaled by 10000), rounded half to even; false on overflow.
bool ToCurrency(const Number &number, LONGLONG *out);

// The value as a decimal; false on overflow.
bool ToDecimal(const Number &number, DECIMAL *out);

// Reads a decimal number from text: surrounding blanks, a sign, digits with
// thousands separators, a fraction and an exponent. False when it is no number.
bool ParseNumber(const OLECHAR *text, UINT length, Number *out);

// Text forms as the platform writes them: integers in full, doubles with 15
// significant digits, floats with 7, scaled values without trailing zeros.
BSTR IntegerText(Int128 value);
BSTR RealText(double value, int significantDigits);
BSTR ScaledText(Int128 mantissa, int scale);

// A date in the US form the platform writes for the default locale:
// "M/D/YYYY h:mm:ss AM", without the time at midnight and without the date on
// day 0. E_INVALIDARG when the date lies outside years 100..9999.
HRESULT DateText(double date, BSTR *out);

}  // namespace morphel::platform

#endif  // MORPHEL_PLATFORM_NUMBER_P_H
