// By-name dispatch: names, dispatch identifiers, argument conversion and the
// exception record of a failing call.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/dispatch_table.h"
#include "support/test_support.h"

namespace morphel {
namespace {

using test::Bstr;
using test::ObjectHolder;

DISPID IdOf(IDispatch *dispatch, const char16_t *name, HRESULT expected = S_OK) {
  DISPID id = 12345;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), expected);
  return id;
}

// Calls an operation with the arguments in their natural order.
HRESULT Call(IDispatch *dispatch, DISPID id, std::vector<VARIANT> args, VARIANT *result = nullptr,
             EXCEPINFO *excep = nullptr, UINT *argErr = nullptr) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                          &params, result, excep, argErr);
}

VARIANT I4(LONG v) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_I4;
  V_I4(&x) = v;
  return x;
}

TEST(DispatchTable, HoldsTheSeventyFiveOperationsInOrder) {
  auto ops = Operations();
  ASSERT_EQ(ops.size(), 75u);
  EXPECT_STREQ(ops[0].name, "CreateImage");
  EXPECT_STREQ(ops[46].name, "GetHeight");
  EXPECT_STREQ(ops[74].name, "SetTextAntialias");
  EXPECT_EQ(ops[72].params.size(), 4u);  // GetTextTTFRectangle: x, y, str, pVal
  EXPECT_EQ(ops[72].params[3].kind, ParamKind::kOut);
  EXPECT_EQ(ops[72].params[3].type, VT_VARIANT);
  EXPECT_EQ(ops[16].params[0].kind, ParamKind::kInRef);  // ReadFromVariable takes BSTR*
  EXPECT_EQ(ops[48].params[0].type, VT_I4);              // DestroyImage yields a long
  EXPECT_EQ(ops[47].params[0].type, VT_INT);             // GetWidth yields an int
  for (const OperationInfo &op : ops) {
    EXPECT_EQ(FindOperation(op.id), &op);
  }
}

TEST(Dispatch, NamesMapToDispatchIdentifiersInAnyCase) {
  ObjectHolder obj;
  IDispatch *dispatch = obj.get();
  EXPECT_EQ(IdOf(dispatch, u"CreateImage"), 1);
  EXPECT_EQ(IdOf(dispatch, u"createimage"), 1);
  EXPECT_EQ(IdOf(dispatch, u"GETHEIGHT"), 47);
  EXPECT_EQ(IdOf(dispatch, u"SetTextAntialias"), 75);
  EXPECT_EQ(IdOf(dispatch, u"CreateImag", DISP_E_UNKNOWNNAME), DISPID_UNKNOWN);
  EXPECT_EQ(IdOf(dispatch, u"CreateImageX", DISP_E_UNKNOWNNAME), DISPID_UNKNOWN);
}

TEST(Dispatch, ParameterNamesFollowTheOperation) {
  ObjectHolder obj;
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"CreateImage"), const_cast<LPOLESTR>(u"H"),
                      const_cast<LPOLESTR>(u"q")};
  DISPID ids[3];
  EXPECT_EQ(obj->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], DISPID_UNKNOWN);
}

TEST(Dispatch, ArgumentsAreConvertedAndResultsReturned) {
  ObjectHolder obj;
  VARIANT w = I4(0);
  V_VT(&w) = VT_BSTR;
  Bstr five("5");
  V_BSTR(&w) = five.get();
  VARIANT h;
  VariantInit(&h);
  V_VT(&h) = VT_R8;
  V_R8(&h) = 7.4;
  ASSERT_EQ(Call(obj.get(), 1, {w, h}), S_OK);
  VARIANT result;
  ASSERT_EQ(Call(obj.get(), 48, {}, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_INT);
  EXPECT_EQ(V_INT(&result), 5);
  ASSERT_EQ(Call(obj.get(), 47, {}, &result), S_OK);
  EXPECT_EQ(V_INT(&result), 7);
  ASSERT_EQ(Call(obj.get(), 49, {}, &result), S_OK);  // DestroyImage
  EXPECT_EQ(V_VT(&result), VT_I4);
  EXPECT_EQ(V_I4(&result), 1);
}

TEST(Dispatch, FailingCallFillsTheExceptionRecord) {
  ObjectHolder obj;
  EXCEPINFO excep{};
  VARIANT result;
  EXPECT_EQ(Call(obj.get(), 47, {}, &result, &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_FAIL);
  EXPECT_EQ(test::ToUtf8(excep.bstrSource), "Morphel");
  EXPECT_EQ(test::ToUtf8(excep.bstrDescription), "NO IMAGE!");
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  EXPECT_EQ(Call(obj.get(), 38, {I4(10)}, nullptr, &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_INVALIDARG);
}

TEST(Dispatch, BadCallsAreRefused) {
  ObjectHolder obj;
  UINT argErr = 99;
  VARIANT text;
  VariantInit(&text);
  V_VT(&text) = VT_BSTR;
  Bstr abc("abc");
  V_BSTR(&text) = abc.get();
  EXPECT_EQ(Call(obj.get(), 1, {I4(3), text}, nullptr, nullptr, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);  // the last argument comes first in rgvarg
  EXPECT_EQ(Call(obj.get(), 1, {I4(3)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(obj.get(), 76, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(obj.get(), 0, {}), DISP_E_MEMBERNOTFOUND);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(obj->Invoke(70, IID_IImages, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(obj->Invoke(70, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
}

}  // namespace
}  // namespace morphel

namespace morphel {
namespace {

std::string GuidText(const GUID &g) {
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

TEST(Identifiers, TextAndBinaryFormsAgree) {
  EXPECT_EQ(GuidText(CLSID_Images), MORPHEL_CLSID_IMAGES_TEXT);
  EXPECT_EQ(GuidText(IID_IImages), MORPHEL_IID_IIMAGES_TEXT);
  EXPECT_EQ(GuidText(LIBID_MORPHELLib), MORPHEL_LIBID_TEXT);
}

}  // namespace
}  // namespace morphel
