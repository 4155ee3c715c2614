// Variant conversion: rounding, range, text, references, objects.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fake_object.h"
#include "morphel/automation.h"

namespace {

using morphel::test::FakeObject;
using morphel::test::TestBstr;
using morphel::test::TextOf;

VARIANT R8(double value) {
  VARIANT v;
  V_VT(&v) = VT_R8;
  V_R8(&v) = value;
  return v;
}

VARIANT I4(LONG value) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

VARIANT Text(BSTR text) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = text;
  return v;
}

// Converts src to vt; the result variant must be cleared by the caller.
HRESULT Convert(const VARIANT &src, VARTYPE vt, VARIANT *out) {
  VariantInit(out);
  return VariantChangeType(out, const_cast<VARIANT *>(&src), 0, vt);
}

LONG ToI4(const VARIANT &src, HRESULT expected = S_OK) {
  VARIANT out;
  HRESULT hr = Convert(src, VT_I4, &out);
  EXPECT_EQ(hr, expected);
  LONG value = SUCCEEDED(hr) ? V_I4(&out) : 0x7EADBEEF;
  VariantClear(&out);
  return value;
}

std::u16string ToText(const VARIANT &src, USHORT flags = 0) {
  VARIANT out;
  VariantInit(&out);
  HRESULT hr = VariantChangeType(&out, const_cast<VARIANT *>(&src), flags, VT_BSTR);
  EXPECT_EQ(hr, S_OK);
  std::u16string text = SUCCEEDED(hr) ? TextOf(V_BSTR(&out)) : u"<failed>";
  VariantClear(&out);
  return text;
}

LONG TextToI4(const char16_t *text, HRESULT expected = S_OK) {
  TestBstr bstr(text);
  return ToI4(Text(bstr.get()), expected);
}

TEST(VariantChangeType, RealToIntegerRoundsHalfToEven) {
  EXPECT_EQ(ToI4(R8(2.5)), 2);
  EXPECT_EQ(ToI4(R8(3.5)), 4);
  EXPECT_EQ(ToI4(R8(-2.5)), -2);
  EXPECT_EQ(ToI4(R8(-3.5)), -4);
  EXPECT_EQ(ToI4(R8(0.5)), 0);
  EXPECT_EQ(ToI4(R8(1.5)), 2);
  EXPECT_EQ(ToI4(R8(2.4999)), 2);
  EXPECT_EQ(ToI4(R8(2.5001)), 3);
  VARIANT f;
  V_VT(&f) = VT_R4;
  V_R4(&f) = 6.5f;
  EXPECT_EQ(ToI4(f), 6);
}

TEST(VariantChangeType, RangeLimitsGiveOverflow) {
  EXPECT_EQ(ToI4(R8(2147483647.49)), 2147483647);
  ToI4(R8(2147483647.5), DISP_E_OVERFLOW);
  EXPECT_EQ(ToI4(R8(-2147483648.5)), INT32_MIN);
  ToI4(R8(-2147483648.51), DISP_E_OVERFLOW);
  ToI4(R8(NAN), DISP_E_OVERFLOW);
  VARIANT out;
  EXPECT_EQ(Convert(I4(256), VT_UI1, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(I4(-1), VT_UI1, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(I4(255), VT_UI1, &out), S_OK);
  EXPECT_EQ(V_UI1(&out), 255);
  EXPECT_EQ(Convert(I4(32768), VT_I2, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(I4(-32768), VT_I2, &out), S_OK);
  EXPECT_EQ(V_I2(&out), -32768);
  EXPECT_EQ(Convert(I4(-128), VT_I1, &out), S_OK);
  EXPECT_EQ(static_cast<signed char>(V_I1(&out)), -128);
  EXPECT_EQ(Convert(I4(-1), VT_UI8, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(R8(1e20), VT_I8, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(R8(1e40), VT_R4, &out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(R8(-70000.0), VT_UI2, &out), DISP_E_OVERFLOW);
}

TEST(VariantChangeType, SameWidthSignChangeKeepsTheBits) {
  VARIANT out;
  VARIANT u4;
  V_VT(&u4) = VT_UI4;
  V_UI4(&u4) = 0xFFFFFFFFu;
  EXPECT_EQ(Convert(u4, VT_I4, &out), S_OK);
  EXPECT_EQ(V_I4(&out), -1);
  EXPECT_EQ(Convert(I4(-2), VT_UINT, &out), S_OK);
  EXPECT_EQ(V_VT(&out), VT_UINT);
  EXPECT_EQ(V_UINT(&out), 0xFFFFFFFEu);
  EXPECT_EQ(Convert(I4(-5), VT_INT, &out), S_OK);
  EXPECT_EQ(V_VT(&out), VT_INT);
  EXPECT_EQ(V_INT(&out), -5);
}

TEST(VariantChangeType, BooleansAreMinusOneAndZero) {
  VARIANT out;
  EXPECT_EQ(Convert(I4(7), VT_BOOL, &out), S_OK);
  EXPECT_EQ(V_BOOL(&out), VARIANT_TRUE);
  EXPECT_EQ(Convert(R8(0.0), VT_BOOL, &out), S_OK);
  EXPECT_EQ(V_BOOL(&out), VARIANT_FALSE);
  VARIANT b;
  V_VT(&b) = VT_BOOL;
  V_BOOL(&b) = VARIANT_TRUE;
  EXPECT_EQ(ToI4(b), -1);
  EXPECT_EQ(Convert(b, VT_UI1, &out), S_OK);
  EXPECT_EQ(V_UI1(&out), 255);
  EXPECT_EQ(Convert(b, VT_R8, &out), S_OK);
  EXPECT_EQ(V_R8(&out), -1.0);
  EXPECT_EQ(ToText(b), u"-1");
  EXPECT_EQ(ToText(b, VARIANT_ALPHABOOL), u"True");
  TestBstr word(u" false ");
  EXPECT_EQ(Convert(Text(word.get()), VT_BOOL, &out), S_OK);
  EXPECT_EQ(V_BOOL(&out), VARIANT_FALSE);
  TestBstr yes(u"TRUE");
  EXPECT_EQ(Convert(Text(yes.get()), VT_BOOL, &out), S_OK);
  EXPECT_EQ(V_BOOL(&out), VARIANT_TRUE);
}

TEST(VariantChangeType, TextToNumbers) {
  EXPECT_EQ(TextToI4(u"5"), 5);
  EXPECT_EQ(TextToI4(u" 12 "), 12);
  EXPECT_EQ(TextToI4(u"-7"), -7);
  EXPECT_EQ(TextToI4(u"+7"), 7);
  EXPECT_EQ(TextToI4(u"1.5"), 2);
  EXPECT_EQ(TextToI4(u"2.5"), 2);
  EXPECT_EQ(TextToI4(u"-2.5"), -2);
  EXPECT_EQ(TextToI4(u"1e3"), 1000);
  EXPECT_EQ(TextToI4(u"1,000"), 1000);
  EXPECT_EQ(TextToI4(u".5"), 0);
  EXPECT_EQ(TextToI4(u"007"), 7);
  EXPECT_EQ(TextToI4(u"2147483647"), 2147483647);
  TextToI4(u"2147483648", DISP_E_OVERFLOW);
  TextToI4(u"99999999999999999999999999999999999999999", DISP_E_OVERFLOW);
  TextToI4(u"abc", DISP_E_TYPEMISMATCH);
  TextToI4(u"", DISP_E_TYPEMISMATCH);
  TextToI4(u"   ", DISP_E_TYPEMISMATCH);
  TextToI4(u"5x", DISP_E_TYPEMISMATCH);
  TextToI4(u"1e", DISP_E_TYPEMISMATCH);
  TextToI4(u"-", DISP_E_TYPEMISMATCH);
  TextToI4(u".", DISP_E_TYPEMISMATCH);
  VARIANT null;
  V_VT(&null) = VT_NULL;
  ToI4(null, DISP_E_TYPEMISMATCH);
  VARIANT nullText = Text(nullptr);
  ToI4(nullText, DISP_E_TYPEMISMATCH);
  const char16_t withNul[] = {u'6', 0, u'x'};
  BSTR stopped = SysAllocStringLen(withNul, 3);
  EXPECT_EQ(ToI4(Text(stopped)), 6);  // the text ends at its first NUL
  SysFreeString(stopped);

  TestBstr real(u"0.1");
  VARIANT out;
  EXPECT_EQ(Convert(Text(real.get()), VT_R8, &out), S_OK);
  EXPECT_EQ(V_R8(&out), 0.1);
  TestBstr big(u"18446744073709551615");
  EXPECT_EQ(Convert(Text(big.get()), VT_UI8, &out), S_OK);
  EXPECT_EQ(V_UI8(&out), 18446744073709551615ull);
  TestBstr huge(u"1e400");
  EXPECT_EQ(Convert(Text(huge.get()), VT_R8, &out), DISP_E_OVERFLOW);
  TestBstr tiny(u"1e-400");
  EXPECT_EQ(Convert(Text(tiny.get()), VT_R8, &out), S_OK);
  EXPECT_EQ(V_R8(&out), 0.0);
}

TEST(VariantChangeType, LongDigitStringsKeepTheirMagnitude) {
  VARIANT out;
  TestBstr many(u"123456789012345678901234567890123456789012345678901234567890");
  ASSERT_EQ(Convert(Text(many.get()), VT_R8, &out), S_OK);
  EXPECT_DOUBLE_EQ(V_R8(&out), 1.2345678901234568e59);
  TestBstr fraction(u"0.000123456789012345678901234567890123456789012345678901234567890");
  ASSERT_EQ(Convert(Text(fraction.get()), VT_R8, &out), S_OK);
  EXPECT_DOUBLE_EQ(V_R8(&out), 1.2345678901234568e-4);
  EXPECT_EQ(Convert(Text(many.get()), VT_I8, &out), DISP_E_OVERFLOW);
  ASSERT_EQ(Convert(Text(fraction.get()), VT_I4, &out), S_OK);
  EXPECT_EQ(V_I4(&out), 0);
}

TEST(VariantChangeType, NumbersToText) {
  EXPECT_EQ(ToText(I4(-42)), u"-42");
  EXPECT_EQ(ToText(R8(1.5)), u"1.5");
  EXPECT_EQ(ToText(R8(0.1)), u"0.1");
  EXPECT_EQ(ToText(R8(1e20)), u"1E+20");
  EXPECT_EQ(ToText(R8(100.0)), u"100");
  VARIANT f;
  V_VT(&f) = VT_R4;
  V_R4(&f) = 0.1f;
  EXPECT_EQ(ToText(f), u"0.1");
  VARIANT u8;
  V_VT(&u8) = VT_UI8;
  V_UI8(&u8) = 18446744073709551615ull;
  EXPECT_EQ(ToText(u8), u"18446744073709551615");
  VARIANT empty;
  V_VT(&empty) = VT_EMPTY;
  EXPECT_EQ(ToText(empty), u"");
  VARIANT cy;
  V_VT(&cy) = VT_CY;
  V_CY(&cy).int64 = 15000;
  EXPECT_EQ(ToText(cy), u"1.5");
  V_CY(&cy).int64 = -5;
  EXPECT_EQ(ToText(cy), u"-0.0005");
}

VARIANT Date(double value) {
  VARIANT v;
  V_VT(&v) = VT_DATE;
  V_DATE(&v) = value;
  return v;
}

TEST(VariantChangeType, DatesToUsText) {
  EXPECT_EQ(ToText(Date(36526.0)), u"1/1/2000");
  EXPECT_EQ(ToText(Date(36526.5)), u"1/1/2000 12:00:00 PM");
  EXPECT_EQ(ToText(Date(36526.75)), u"1/1/2000 6:00:00 PM");
  EXPECT_EQ(ToText(Date(0.0)), u"12:00:00 AM");
  EXPECT_EQ(ToText(Date(0.25)), u"6:00:00 AM");
  EXPECT_EQ(ToText(Date(1.0)), u"12/31/1899");
  EXPECT_EQ(ToText(Date(-1.5)), u"12/29/1899 12:00:00 PM");
  EXPECT_EQ(ToText(Date(60.0)), u"2/28/1900");
  EXPECT_EQ(ToText(Date(2958465.0)), u"12/31/9999");
  EXPECT_EQ(ToText(Date(-657434.0)), u"1/1/100");
  EXPECT_EQ(ToText(Date(45000.0 + 1.0 / 86400.0)), u"3/15/2023 12:00:01 AM");
  VARIANT out;
  VariantInit(&out);
  VARIANT far = Date(3e6);
  EXPECT_EQ(VariantChangeType(&out, &far, 0, VT_BSTR), E_INVALIDARG);
  EXPECT_EQ(ToI4(Date(2.5)), 2);
  EXPECT_EQ(Convert(R8(3e6), VT_DATE, &out), DISP_E_OVERFLOW);
}

TEST(VariantChangeType, EmptyIsZero) {
  VARIANT empty;
  V_VT(&empty) = VT_EMPTY;
  EXPECT_EQ(ToI4(empty), 0);
  VARIANT out;
  EXPECT_EQ(Convert(empty, VT_R8, &out), S_OK);
  EXPECT_EQ(V_R8(&out), 0.0);
  EXPECT_EQ(Convert(I4(3), VT_EMPTY, &out), S_OK);
  EXPECT_EQ(V_VT(&out), VT_EMPTY);
  VARIANT null;
  V_VT(&null) = VT_NULL;
  EXPECT_EQ(Convert(null, VT_EMPTY, &out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, CurrencyIsScaledByTenThousand) {
  VARIANT out;
  EXPECT_EQ(Convert(I4(3), VT_CY, &out), S_OK);
  EXPECT_EQ(V_CY(&out).int64, 30000);
  EXPECT_EQ(Convert(R8(1.23456), VT_CY, &out), S_OK);
  EXPECT_EQ(V_CY(&out).int64, 12346);
  VARIANT cy;
  V_VT(&cy) = VT_CY;
  V_CY(&cy).int64 = 25000;  // 2.5
  EXPECT_EQ(ToI4(cy), 2);
  V_CY(&cy).int64 = 35000;
  EXPECT_EQ(ToI4(cy), 4);
  V_CY(&cy).int64 = 35000;
  EXPECT_EQ(Convert(cy, VT_R8, &out), S_OK);
  EXPECT_EQ(V_R8(&out), 3.5);
}

TEST(VariantChangeType, DecimalRoundTrip) {
  VARIANT out;
  TestBstr text(u"-12.50");
  ASSERT_EQ(Convert(Text(text.get()), VT_DECIMAL, &out), S_OK);
  EXPECT_EQ(V_VT(&out), VT_DECIMAL);
  EXPECT_EQ(V_DECIMAL(&out).scale, 2);
  EXPECT_EQ(V_DECIMAL(&out).sign, 0x80);
  EXPECT_EQ(V_DECIMAL(&out).Lo64, 1250u);
  VARIANT dec = out;
  EXPECT_EQ(ToI4(dec), -12);
  EXPECT_EQ(ToText(dec), u"-12.5");
  EXPECT_EQ(Convert(R8(0.25), VT_DECIMAL, &out), S_OK);
  EXPECT_EQ(V_DECIMAL(&out).scale, 2);
  EXPECT_EQ(V_DECIMAL(&out).Lo64, 25u);
}

TEST(VariantChangeType, ReferencesAreFollowed) {
  SHORT value = 300;
  VARIANT ref;
  V_VT(&ref) = VT_I2 | VT_BYREF;
  V_I2REF(&ref) = &value;
  EXPECT_EQ(ToI4(ref), 300);
  VARIANT out;
  EXPECT_EQ(Convert(ref, VT_UI1, &out), DISP_E_OVERFLOW);

  VARIANT inner = R8(9.5);
  V_VT(&ref) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&ref) = &inner;
  EXPECT_EQ(ToI4(ref), 10);

  V_VT(&ref) = VT_I4 | VT_BYREF;
  V_I4REF(&ref) = nullptr;
  EXPECT_EQ(Convert(ref, VT_I2, &out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, InPlaceConversionFreesTheSource) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(u"41");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(V_VT(&v), VT_I4);
  EXPECT_EQ(V_I4(&v), 41);
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
  EXPECT_EQ(TextOf(V_BSTR(&v)), u"41");
  // A failed conversion leaves the variant as it was.
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(V_VT(&v), VT_BSTR);
  VariantClear(&v);
}

TEST(VariantChangeType, InPlaceConversionOfAReference) {
  double number = 7.5;
  VARIANT v;
  V_VT(&v) = VT_R8 | VT_BYREF;
  V_UNION(&v, pdblVal) = &number;
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I2), S_OK);
  EXPECT_EQ(V_VT(&v), VT_I2);
  EXPECT_EQ(V_I2(&v), 8);
  EXPECT_EQ(number, 7.5);
}

TEST(VariantChangeType, BadTypesAndUnsupportedPairs) {
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(VariantChangeType(&out, nullptr, 0, VT_I4), E_INVALIDARG);
  VARIANT bad;
  V_VT(&bad) = 15;
  EXPECT_EQ(Convert(bad, VT_I4, &out), DISP_E_BADVARTYPE);
  EXPECT_EQ(Convert(I4(1), VT_VOID, &out), DISP_E_BADVARTYPE);
  EXPECT_EQ(Convert(I4(1), 0x1000 | VT_I4, &out), DISP_E_BADVARTYPE);
  EXPECT_EQ(Convert(I4(1), VT_UNKNOWN, &out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Convert(I4(1), VT_ERROR, &out), DISP_E_TYPEMISMATCH);
  VARIANT error;
  V_VT(&error) = VT_ERROR;
  V_ERROR(&error) = DISP_E_PARAMNOTFOUND;
  EXPECT_EQ(Convert(error, VT_I4, &out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, ObjectsAreAskedForInterfaces) {
  FakeObject dispatchable;
  VARIANT unknown;
  V_VT(&unknown) = VT_UNKNOWN;
  V_UNKNOWN(&unknown) = dispatchable.unknown();
  VARIANT out;
  ASSERT_EQ(Convert(unknown, VT_DISPATCH, &out), S_OK);
  EXPECT_EQ(V_VT(&out), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(&out), dispatchable.dispatch());
  EXPECT_EQ(dispatchable.references(), 2u);
  VARIANT back;
  ASSERT_EQ(Convert(out, VT_UNKNOWN, &back), S_OK);
  EXPECT_EQ(V_VT(&back), VT_UNKNOWN);
  EXPECT_EQ(dispatchable.references(), 3u);
  VariantClear(&back);
  VariantClear(&out);
  EXPECT_EQ(dispatchable.references(), 1u);

  FakeObject plain(false);
  V_UNKNOWN(&unknown) = plain.unknown();
  EXPECT_EQ(Convert(unknown, VT_DISPATCH, &out), E_NOINTERFACE);
  EXPECT_EQ(plain.references(), 1u);

  V_UNKNOWN(&unknown) = nullptr;
  ASSERT_EQ(Convert(unknown, VT_DISPATCH, &out), S_OK);
  EXPECT_EQ(V_VT(&out), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(&out), nullptr);
}

TEST(VariantChangeType, ObjectToNumberUsesItsDefaultValue) {
  FakeObject object;
  object.SetDefaultValue(R8(4.5));
  VARIANT disp;
  V_VT(&disp) = VT_DISPATCH;
  V_DISPATCH(&disp) = object.dispatch();
  EXPECT_EQ(ToI4(disp), 4);
  EXPECT_EQ(object.invocations(), 1);
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(VariantChangeType(&out, &disp, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object.references(), 1u);
}

TEST(VariantChangeType, ByteArrayAndByteStringConvert) {
  VARIANT text;
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = SysAllocStringByteLen("\x01\x02\x03", 3);
  VARIANT bytes;
  ASSERT_EQ(Convert(text, VT_ARRAY | VT_UI1, &bytes), S_OK);
  LONG upper = 0;
  EXPECT_EQ(SafeArrayGetUBound(V_ARRAY(&bytes), 1, &upper), S_OK);
  EXPECT_EQ(upper, 2);
  VARIANT back;
  ASSERT_EQ(Convert(bytes, VT_BSTR, &back), S_OK);
  EXPECT_EQ(SysStringByteLen(V_BSTR(&back)), 3u);
  VARIANT other;
  EXPECT_EQ(Convert(bytes, VT_ARRAY | VT_I4, &other), DISP_E_TYPEMISMATCH);
  VariantClear(&text);
  VariantClear(&bytes);
  VariantClear(&back);
}

}  // namespace
