// Safe arrays: descriptors, bounds in stored order, element ownership, locks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "fake_object.h"
#include "morphel/automation.h"
#include "platform/platform_p.h"

namespace {

using morphel::test::FakeObject;
using morphel::test::TextOf;

uint32_t HiddenWord(SAFEARRAY *psa) {
  uint32_t word;
  std::memcpy(&word, reinterpret_cast<const char *>(psa) - 4, 4);
  return word;
}

TEST(SafeArray, VectorHasDescriptorFieldsAndZeroedData) {
  SAFEARRAY *psa = SafeArrayCreateVector(VT_I2, 0, 5);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(psa->cDims, 1);
  EXPECT_EQ(psa->fFeatures, FADF_HAVEVARTYPE);
  EXPECT_EQ(psa->cbElements, 2u);
  EXPECT_EQ(psa->cLocks, 0u);
  EXPECT_EQ(psa->rgsabound[0].cElements, 5u);
  EXPECT_EQ(psa->rgsabound[0].lLbound, 0);
  EXPECT_EQ(HiddenWord(psa), static_cast<uint32_t>(VT_I2));
  const SHORT *data = static_cast<const SHORT *>(psa->pvData);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(data[i], 0);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, FeaturesAndVartypeFollowTheElementType) {
  struct Case {
    VARTYPE vt;
    USHORT features;
    UINT size;
  };
  const Case cases[] = {
      {VT_BSTR, FADF_HAVEVARTYPE | FADF_BSTR, 8},       {VT_VARIANT, FADF_HAVEVARTYPE | FADF_VARIANT, 24},
      {VT_UNKNOWN, FADF_HAVEIID | FADF_UNKNOWN, 8},     {VT_DISPATCH, FADF_HAVEIID | FADF_DISPATCH, 8},
      {VT_UI1, FADF_HAVEVARTYPE, 1},                    {VT_I1, FADF_HAVEVARTYPE, 1},
      {VT_BOOL, FADF_HAVEVARTYPE, 2},                   {VT_UI2, FADF_HAVEVARTYPE, 2},
      {VT_I4, FADF_HAVEVARTYPE, 4},                     {VT_UI4, FADF_HAVEVARTYPE, 4},
      {VT_INT, FADF_HAVEVARTYPE, 4},                    {VT_UINT, FADF_HAVEVARTYPE, 4},
      {VT_R4, FADF_HAVEVARTYPE, 4},                     {VT_ERROR, FADF_HAVEVARTYPE, 4},
      {VT_I8, FADF_HAVEVARTYPE, 8},                     {VT_UI8, FADF_HAVEVARTYPE, 8},
      {VT_R8, FADF_HAVEVARTYPE, 8},                     {VT_CY, FADF_HAVEVARTYPE, 8},
      {VT_DATE, FADF_HAVEVARTYPE, 8},
  };
  for (const Case &c : cases) {
    SAFEARRAY *psa = SafeArrayCreateVector(c.vt, 0, 2);
    ASSERT_NE(psa, nullptr) << c.vt;
    EXPECT_EQ(psa->fFeatures, c.features) << c.vt;
    EXPECT_EQ(SafeArrayGetElemsize(psa), c.size) << c.vt;
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
    EXPECT_EQ(vt, c.vt);
    SafeArrayDestroy(psa);
  }
}

TEST(SafeArray, UnusableElementTypesAndShapesGiveNoArray) {
  SAFEARRAYBOUND bound = {1, 0};
  EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &bound), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_NULL, 1, &bound), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4 | VT_BYREF, 1, &bound), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
}

TEST(SafeArray, OversizedArraysAreRefused) {
  EXPECT_EQ(SafeArrayCreateVector(VT_VARIANT, 0, 0xFFFFFFFFu), nullptr);
  SAFEARRAYBOUND bounds[2] = {{0x10000, 0}, {0x10001, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_I1, 2, bounds), nullptr);
  SAFEARRAYBOUND many[3] = {{0x10000, 0}, {0x10000, 0}, {0x10000, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_UI1, 3, many), nullptr);
}

TEST(SafeArray, BoundsAreStoredLastDimensionFirst) {
  SAFEARRAYBOUND bounds[2] = {{3, -1}, {4, 10}};  // dimension 1, dimension 2
  SAFEARRAY *psa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(psa->rgsabound[0].cElements, 4u);
  EXPECT_EQ(psa->rgsabound[0].lLbound, 10);
  EXPECT_EQ(psa->rgsabound[1].cElements, 3u);
  EXPECT_EQ(psa->rgsabound[1].lLbound, -1);
  LONG bound = 0;
  EXPECT_EQ(SafeArrayGetLBound(psa, 1, &bound), S_OK);
  EXPECT_EQ(bound, -1);
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &bound), S_OK);
  EXPECT_EQ(bound, 1);
  EXPECT_EQ(SafeArrayGetLBound(psa, 2, &bound), S_OK);
  EXPECT_EQ(bound, 10);
  EXPECT_EQ(SafeArrayGetUBound(psa, 2, &bound), S_OK);
  EXPECT_EQ(bound, 13);
  EXPECT_EQ(SafeArrayGetLBound(psa, 0, &bound), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetUBound(psa, 3, &bound), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &bound), E_INVALIDARG);
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, nullptr), E_INVALIDARG);
  EXPECT_EQ(SafeArrayGetDim(psa), 2u);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, FirstIndexVariesFastestInMemory) {
  SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, 5}};
  SAFEARRAY *psa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(psa, nullptr);
  LONG index[2] = {2, 6};  // second element of dimension 1, second of dimension 2
  LONG value = 42;
  ASSERT_EQ(SafeArrayPutElement(psa, index, &value), S_OK);
  void *cell = nullptr;
  ASSERT_EQ(SafeArrayPtrOfIndex(psa, index, &cell), S_OK);
  EXPECT_EQ(static_cast<LONG *>(cell) - static_cast<LONG *>(psa->pvData), 1 + 1 * 3);
  EXPECT_EQ(static_cast<LONG *>(psa->pvData)[4], 42);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, NonZeroLowerBoundIndexes) {
  SAFEARRAY *psa = SafeArrayCreateVector(VT_I2, 1, 3);
  ASSERT_NE(psa, nullptr);
  LONG lower = 0, upper = 0;
  EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
  EXPECT_EQ(lower, 1);
  EXPECT_EQ(upper, 3);
  for (LONG i = 1; i <= 3; ++i) {
    SHORT value = static_cast<SHORT>(i * 100);
    ASSERT_EQ(SafeArrayPutElement(psa, &i, &value), S_OK);
  }
  EXPECT_EQ(static_cast<SHORT *>(psa->pvData)[0], 100);
  EXPECT_EQ(static_cast<SHORT *>(psa->pvData)[2], 300);
  SHORT value = 0;
  LONG outside = 0;
  EXPECT_EQ(SafeArrayGetElement(psa, &outside, &value), DISP_E_BADINDEX);
  outside = 4;
  EXPECT_EQ(SafeArrayPutElement(psa, &outside, &value), DISP_E_BADINDEX);
  LONG last = 3;
  EXPECT_EQ(SafeArrayGetElement(psa, &last, &value), S_OK);
  EXPECT_EQ(value, 300);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, EmptyVectorHasUpperBoundBelowLower) {
  SAFEARRAY *psa = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  ASSERT_NE(psa, nullptr);
  LONG upper = 0;
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
  EXPECT_EQ(upper, -1);
  LONG index = 0;
  VARIANT v;
  EXPECT_EQ(SafeArrayGetElement(psa, &index, &v), DISP_E_BADINDEX);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, StringElementsAreCopiedInAndOut) {
  SAFEARRAY *psa = SafeArrayCreateVector(VT_BSTR, 0, 2);
  ASSERT_NE(psa, nullptr);
  BSTR odd = SysAllocStringByteLen("xyz", 3);
  LONG index = 0;
  ASSERT_EQ(SafeArrayPutElement(psa, &index, odd), S_OK);
  BSTR stored = static_cast<BSTR *>(psa->pvData)[0];
  EXPECT_NE(stored, odd);
  EXPECT_EQ(SysStringByteLen(stored), 3u);
  SysFreeString(odd);
  BSTR out = nullptr;
  ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
  EXPECT_NE(out, stored);
  EXPECT_EQ(SysStringByteLen(out), 3u);
  EXPECT_EQ(std::memcmp(out, "xyz", 3), 0);
  SysFreeString(out);
  // Replacing frees the earlier string; an empty cell reads as a null string.
  BSTR second = SysAllocString(u"second");
  ASSERT_EQ(SafeArrayPutElement(psa, &index, second), S_OK);
  SysFreeString(second);
  // A null string goes in as an empty one, as the platform stores it.
  index = 1;
  ASSERT_EQ(SafeArrayPutElement(psa, &index, nullptr), S_OK);
  BSTR empty = static_cast<BSTR *>(psa->pvData)[1];
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringByteLen(empty), 0u);
  SysFreeString(empty);
  static_cast<BSTR *>(psa->pvData)[1] = nullptr;
  out = SysAllocString(u"overwritten");
  BSTR previous = out;
  ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
  EXPECT_EQ(out, nullptr);
  SysFreeString(previous);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, VariantElementsAreDeepCopies) {
  SAFEARRAY *psa = SafeArrayCreateVector(VT_VARIANT, 0, 3);
  ASSERT_NE(psa, nullptr);
  VARIANT in;
  V_VT(&in) = VT_BSTR;
  V_BSTR(&in) = SysAllocString(u"text");
  LONG index = 2;
  ASSERT_EQ(SafeArrayPutElement(psa, &index, &in), S_OK);
  VariantClear(&in);
  VARIANT out;
  ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
  EXPECT_EQ(V_VT(&out), VT_BSTR);
  EXPECT_EQ(TextOf(V_BSTR(&out)), u"text");
  VariantClear(&out);
  V_VT(&in) = VT_UI1;
  V_UI1(&in) = 200;
  index = 0;
  ASSERT_EQ(SafeArrayPutElement(psa, &index, &in), S_OK);
  ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
  EXPECT_EQ(V_VT(&out), VT_UI1);
  EXPECT_EQ(V_UI1(&out), 200);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, InterfaceElementsHoldReferences) {
  FakeObject object;
  SAFEARRAY *psa = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
  ASSERT_NE(psa, nullptr);
  LONG index = 0;
  ASSERT_EQ(SafeArrayPutElement(psa, &index, object.unknown()), S_OK);
  EXPECT_EQ(object.references(), 2u);
  IUnknown *out = nullptr;
  ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
  EXPECT_EQ(out, object.unknown());
  EXPECT_EQ(object.references(), 3u);
  out->Release();
  SAFEARRAY *copy = nullptr;
  ASSERT_EQ(morphel::platform::SafeArrayCopy(psa, &copy), S_OK);
  EXPECT_EQ(object.references(), 3u);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
  EXPECT_EQ(object.references(), 1u);
}

TEST(SafeArray, LockedArrayIsNotDestroyed) {
  SAFEARRAY *psa = SafeArrayCreateVector(VT_UI1, 0, 4);
  ASSERT_NE(psa, nullptr);
  void *data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
  EXPECT_EQ(data, psa->pvData);
  EXPECT_EQ(psa->cLocks, 1u);
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
  EXPECT_EQ(SafeArrayLock(psa), S_OK);
  EXPECT_EQ(SafeArrayUnlock(psa), S_OK);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, NullArgumentsAreRefused) {
  LONG index = 0;
  LONG value = 0;
  void *data = nullptr;
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
  EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
  EXPECT_EQ(SafeArrayGetElemsize(nullptr), 0u);
  EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
  EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
  EXPECT_EQ(SafeArrayPutElement(nullptr, &index, &value), E_INVALIDARG);
  EXPECT_EQ(SafeArrayGetElement(nullptr, &index, &value), E_INVALIDARG);
  SAFEARRAY *psa = SafeArrayCreateVector(VT_I4, 0, 1);
  EXPECT_EQ(SafeArrayPutElement(psa, nullptr, &value), E_INVALIDARG);
  EXPECT_EQ(SafeArrayPutElement(psa, &index, nullptr), E_INVALIDARG);
  EXPECT_EQ(SafeArrayGetElement(psa, &index, nullptr), E_INVALIDARG);
  EXPECT_EQ(SafeArrayPtrOfIndex(psa, &index, nullptr), E_INVALIDARG);
  VARTYPE vt;
  EXPECT_EQ(SafeArrayGetVartype(psa, nullptr), E_INVALIDARG);
  EXPECT_EQ(SafeArrayGetVartype(nullptr, &vt), E_INVALIDARG);
  SafeArrayDestroy(psa);
}

TEST(SafeArray, CopyOfVariantArrayIsIndependent) {
  SAFEARRAY *psa = SafeArrayCreateVector(VT_VARIANT, 5, 2);
  VARIANT in;
  V_VT(&in) = VT_BSTR;
  V_BSTR(&in) = SysAllocString(u"a");
  LONG index = 6;
  ASSERT_EQ(SafeArrayPutElement(psa, &index, &in), S_OK);
  VariantClear(&in);
  SAFEARRAY *copy = nullptr;
  ASSERT_EQ(morphel::platform::SafeArrayCopy(psa, &copy), S_OK);
  ASSERT_NE(copy, nullptr);
  VARTYPE vt = VT_EMPTY;
  EXPECT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
  EXPECT_EQ(vt, VT_VARIANT);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
  VARIANT out;
  ASSERT_EQ(SafeArrayGetElement(copy, &index, &out), S_OK);
  EXPECT_EQ(TextOf(V_BSTR(&out)), u"a");
  VariantClear(&out);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  SAFEARRAY *none = copy;
  EXPECT_EQ(morphel::platform::SafeArrayCopy(nullptr, &none), S_OK);
  EXPECT_EQ(none, nullptr);
}

}  // namespace

namespace {

TEST(SafeArray, HostBuiltArrayOnTheStackIsReadAndCopiedButNotFreed) {
  LONG values[3] = {7, 8, 9};
  SAFEARRAY host = {};
  host.cDims = 1;
  host.fFeatures = FADF_AUTO | FADF_STATIC;
  host.cbElements = sizeof(LONG);
  host.pvData = values;
  host.rgsabound[0].cElements = 3;
  host.rgsabound[0].lLbound = 1;
  LONG index = 3;
  LONG value = 0;
  ASSERT_EQ(SafeArrayGetElement(&host, &index, &value), S_OK);
  EXPECT_EQ(value, 9);
  VARTYPE vt;
  EXPECT_EQ(SafeArrayGetVartype(&host, &vt), E_INVALIDARG);  // nothing says what it holds
  SAFEARRAY *copy = nullptr;
  ASSERT_EQ(morphel::platform::SafeArrayCopy(&host, &copy), S_OK);
  EXPECT_EQ(copy->fFeatures, 0);
  EXPECT_NE(copy->pvData, static_cast<void *>(values));
  ASSERT_EQ(SafeArrayGetElement(copy, &index, &value), S_OK);
  EXPECT_EQ(value, 9);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  EXPECT_EQ(SafeArrayDestroy(&host), S_OK);  // its storage is the host's
  EXPECT_EQ(values[0], 7);
}

}  // namespace
