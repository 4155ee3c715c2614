// Shapes and identifiers shared with hosts in C, C++ and other languages.
#include <gtest/gtest.h>

#include <cstddef>

#include "morphel/automation.h"

namespace {

static_assert(sizeof(VARIANT) == 24);
static_assert(offsetof(VARIANT, n1.n2.vt) == 0);
static_assert(offsetof(VARIANT, n1.n2.n3) == 8);
static_assert(offsetof(VARIANT, n1.decVal) == 0);
static_assert(sizeof(DECIMAL) == 16);
static_assert(offsetof(DECIMAL, scale) == 2);
static_assert(offsetof(DECIMAL, sign) == 3);
static_assert(offsetof(DECIMAL, Hi32) == 4);
static_assert(offsetof(DECIMAL, Lo64) == 8);
static_assert(sizeof(CY) == 8);
static_assert(sizeof(GUID) == 16);
static_assert(sizeof(SAFEARRAYBOUND) == 8);
static_assert(offsetof(SAFEARRAYBOUND, cElements) == 0);
static_assert(offsetof(SAFEARRAYBOUND, lLbound) == 4);
static_assert(offsetof(SAFEARRAY, cDims) == 0);
static_assert(offsetof(SAFEARRAY, fFeatures) == 2);
static_assert(offsetof(SAFEARRAY, cbElements) == 4);
static_assert(offsetof(SAFEARRAY, cLocks) == 8);
static_assert(offsetof(SAFEARRAY, pvData) == 16);
static_assert(offsetof(SAFEARRAY, rgsabound) == 24);
static_assert(sizeof(SAFEARRAY) == 32);
static_assert(sizeof(DISPPARAMS) == 24);
static_assert(sizeof(EXCEPINFO) == 64);
static_assert(offsetof(EXCEPINFO, bstrSource) == 8);
static_assert(offsetof(EXCEPINFO, scode) == 56);
static_assert(sizeof(OLECHAR) == 2);

TEST(PlatformLayout, ValueFieldsShareOffsetEight) {
  VARIANT v;
  VariantInit(&v);
  auto base = reinterpret_cast<const char *>(&v);
  EXPECT_EQ(reinterpret_cast<const char *>(&V_I4(&v)) - base, 8);
  EXPECT_EQ(reinterpret_cast<const char *>(&V_BSTR(&v)) - base, 8);
  EXPECT_EQ(reinterpret_cast<const char *>(&V_R8(&v)) - base, 8);
  EXPECT_EQ(reinterpret_cast<const char *>(&V_ARRAY(&v)) - base, 8);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
}

TEST(PlatformGuids, HaveThePlatformValues) {
  const GUID unknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  const GUID dispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  const GUID factory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  const GUID support = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  const GUID info = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  const GUID create = {0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  const GUID zero = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  EXPECT_TRUE(IsEqualGUID(IID_IUnknown, unknown));
  EXPECT_TRUE(IsEqualGUID(IID_IDispatch, dispatch));
  EXPECT_TRUE(IsEqualGUID(IID_IClassFactory, factory));
  EXPECT_TRUE(IsEqualGUID(IID_ISupportErrorInfo, support));
  EXPECT_TRUE(IsEqualGUID(IID_IErrorInfo, info));
  EXPECT_TRUE(IsEqualGUID(IID_ICreateErrorInfo, create));
  EXPECT_TRUE(IsEqualGUID(IID_NULL, zero));
}

TEST(PlatformGuids, EqualityLooksAtEveryByte) {
  GUID g = IID_IDispatch;
  EXPECT_TRUE(g == IID_IDispatch);
  g.Data4[7] = 0x47;
  EXPECT_FALSE(IsEqualGUID(g, IID_IDispatch));
  EXPECT_TRUE(g != IID_IDispatch);
  EXPECT_FALSE(IID_IUnknown == IID_IClassFactory);
}

}  // namespace
