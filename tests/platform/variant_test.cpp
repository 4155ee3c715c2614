// Variant life cycle: clearing releases, copying duplicates, references are followed.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_object.h"
#include "morphel/automation.h"

namespace {

using morphel::test::FakeObject;
using morphel::test::TextOf;

TEST(Variant, InitSetsEmptyOnly) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = 77;
  VariantInit(&v);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
}

TEST(Variant, ClearReleasesInterfacesAndEmpties) {
  FakeObject object;
  VARIANT v;
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = object.dispatch();
  object.AddRef();
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  EXPECT_EQ(object.references(), 1u);
}

TEST(Variant, ClearLeavesReferencedValuesAlone) {
  BSTR text = SysAllocString(u"kept");
  VARIANT v;
  V_VT(&v) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&v) = &text;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  EXPECT_EQ(TextOf(text), u"kept");
  SysFreeString(text);
}

TEST(Variant, ClearRefusesBadTypes) {
  VARIANT v;
  V_VT(&v) = 15;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  V_VT(&v) = VT_EMPTY | VT_BYREF;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  V_VT(&v) = VT_VOID;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

TEST(Variant, ClearDestroysHeldArray) {
  VARIANT v;
  V_VT(&v) = VT_ARRAY | VT_BSTR;
  V_ARRAY(&v) = SafeArrayCreateVector(VT_BSTR, 0, 2);
  LONG index = 1;
  BSTR text = SysAllocString(u"in array");
  ASSERT_EQ(SafeArrayPutElement(V_ARRAY(&v), &index, text), S_OK);
  SysFreeString(text);
  EXPECT_EQ(VariantClear(&v), S_OK);  // LeakSanitizer checks the strings went too
}

TEST(Variant, ClearKeepsLockedArray) {
  VARIANT v;
  V_VT(&v) = VT_ARRAY | VT_UI1;
  V_ARRAY(&v) = SafeArrayCreateVector(VT_UI1, 0, 2);
  ASSERT_EQ(SafeArrayLock(V_ARRAY(&v)), S_OK);
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(V_VT(&v), VT_ARRAY | VT_UI1);
  ASSERT_EQ(SafeArrayUnlock(V_ARRAY(&v)), S_OK);
  EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(Variant, CopyDuplicatesOddLengthByteString) {
  VARIANT src, dest;
  V_VT(&src) = VT_BSTR;
  V_BSTR(&src) = SysAllocStringByteLen("abc", 3);
  VariantInit(&dest);
  ASSERT_EQ(VariantCopy(&dest, &src), S_OK);
  EXPECT_EQ(V_VT(&dest), VT_BSTR);
  EXPECT_NE(V_BSTR(&dest), V_BSTR(&src));
  EXPECT_EQ(SysStringByteLen(V_BSTR(&dest)), 3u);
  EXPECT_EQ(std::memcmp(V_BSTR(&dest), "abc", 4), 0);
  VariantClear(&src);
  VariantClear(&dest);
}

TEST(Variant, CopyAddsReferenceAndClearsDestinationFirst) {
  FakeObject object;
  VARIANT src, dest;
  V_VT(&src) = VT_UNKNOWN;
  V_UNKNOWN(&src) = object.unknown();
  V_VT(&dest) = VT_BSTR;
  V_BSTR(&dest) = SysAllocString(u"old");
  ASSERT_EQ(VariantCopy(&dest, &src), S_OK);
  EXPECT_EQ(V_UNKNOWN(&dest), object.unknown());
  EXPECT_EQ(object.references(), 2u);
  VariantClear(&dest);
  EXPECT_EQ(object.references(), 1u);
}

TEST(Variant, CopyOfArrayIsDeep) {
  VARIANT src, dest;
  V_VT(&src) = VT_ARRAY | VT_I4;
  V_ARRAY(&src) = SafeArrayCreateVector(VT_I4, 3, 2);
  LONG index = 4;
  LONG value = 99;
  ASSERT_EQ(SafeArrayPutElement(V_ARRAY(&src), &index, &value), S_OK);
  VariantInit(&dest);
  ASSERT_EQ(VariantCopy(&dest, &src), S_OK);
  ASSERT_NE(V_ARRAY(&dest), V_ARRAY(&src));
  LONG copied = 0;
  ASSERT_EQ(SafeArrayGetElement(V_ARRAY(&dest), &index, &copied), S_OK);
  EXPECT_EQ(copied, 99);
  LONG lower = 0;
  EXPECT_EQ(SafeArrayGetLBound(V_ARRAY(&dest), 1, &lower), S_OK);
  EXPECT_EQ(lower, 3);
  VariantClear(&src);
  VariantClear(&dest);
}

TEST(Variant, CopyIndFollowsScalarAndStringReferences) {
  LONG number = -12;
  VARIANT ref, out;
  V_VT(&ref) = VT_I4 | VT_BYREF;
  V_I4REF(&ref) = &number;
  VariantInit(&out);
  ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
  EXPECT_EQ(V_VT(&out), VT_I4);
  EXPECT_EQ(V_I4(&out), -12);

  BSTR text = SysAllocString(u"shared");
  V_VT(&ref) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&ref) = &text;
  ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
  EXPECT_EQ(V_VT(&out), VT_BSTR);
  EXPECT_NE(V_BSTR(&out), text);
  EXPECT_EQ(TextOf(V_BSTR(&out)), u"shared");
  VariantClear(&out);
  SysFreeString(text);
}

TEST(Variant, CopyIndFollowsVariantReferenceOneLevelAndInPlace) {
  VARIANT inner;
  V_VT(&inner) = VT_R8;
  V_R8(&inner) = 2.5;
  VARIANT ref;
  V_VT(&ref) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&ref) = &inner;
  ASSERT_EQ(VariantCopyInd(&ref, &ref), S_OK);
  EXPECT_EQ(V_VT(&ref), VT_R8);
  EXPECT_EQ(V_R8(&ref), 2.5);

  VARIANT outer, out;
  V_VT(&outer) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&outer) = &outer;  // a reference to a reference is refused
  VariantInit(&out);
  EXPECT_EQ(VariantCopyInd(&out, &outer), E_INVALIDARG);
}

TEST(Variant, CopyIndOfInterfaceReferenceAddsAReference) {
  FakeObject object;
  IDispatch *held = object.dispatch();
  VARIANT ref, out;
  V_VT(&ref) = VT_DISPATCH | VT_BYREF;
  V_UNION(&ref, ppdispVal) = &held;
  VariantInit(&out);
  ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
  EXPECT_EQ(V_VT(&out), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(&out), held);
  EXPECT_EQ(object.references(), 2u);
  VariantClear(&out);
  EXPECT_EQ(object.references(), 1u);
  V_UNION(&ref, ppdispVal) = nullptr;
  EXPECT_EQ(VariantCopyInd(&out, &ref), E_INVALIDARG);
}

TEST(Variant, CopyIndOfArrayReferenceCopiesTheArray) {
  SAFEARRAY *array = SafeArrayCreateVector(VT_UI1, 0, 3);
  VARIANT ref, out;
  V_VT(&ref) = VT_ARRAY | VT_UI1 | VT_BYREF;
  V_ARRAYREF(&ref) = &array;
  VariantInit(&out);
  ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
  EXPECT_EQ(V_VT(&out), VT_ARRAY | VT_UI1);
  EXPECT_NE(V_ARRAY(&out), array);
  EXPECT_EQ(SafeArrayGetDim(V_ARRAY(&out)), 1u);
  VariantClear(&out);
  SafeArrayDestroy(array);
}

}  // namespace
