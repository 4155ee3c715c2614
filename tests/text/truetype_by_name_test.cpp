// The TrueType operations called by name, as a script host calls them:
// argument conversion to the declared types, the rectangle as the call's
// result, and failures in the exception record.
#include <string>
#include <vector>

#include "text/truetype_fixture.h"

namespace morphel {
namespace {

using test::Bstr;
using test::Current;
using test::FontFolderTest;
using test::kDejaVuSans;
using test::ObjectHolder;

using TrueTypeByName = FontFolderTest;

VARIANT Of(VARTYPE type, double number, BSTR text = nullptr) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = type;
  if (type == VT_BSTR) V_BSTR(&v) = text;
  if (type == VT_I4) V_I4(&v) = static_cast<LONG>(number);
  if (type == VT_I2) V_I2(&v) = static_cast<SHORT>(number);
  if (type == VT_R8) V_R8(&v) = number;
  if (type == VT_BOOL) V_BOOL(&v) = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// Looks the name up and invokes it with the arguments in their written order.
HRESULT CallByName(const ObjectHolder &obj, const char16_t *name, std::vector<VARIANT> args,
                   VARIANT *result, EXCEPINFO *excep) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (obj->GetIDsOfNames(IID_NULL, names, 1, 0, &id) != S_OK) return DISP_E_UNKNOWNNAME;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  *excep = EXCEPINFO{};
  return obj->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, excep, nullptr);
}

TEST_F(TrueTypeByName, EveryOperationConvertsItsArguments) {
  ObjectHolder obj;
  ASSERT_EQ(obj->CreateImagePalette(120, 60), S_OK);
  obj->SetColor(0, 0, 0);
  obj->SetColor(255, 255, 255);
  Bstr font(kDejaVuSans), folder(Folder("a")), size("18"), forty("40"), text("Hi");
  const struct {
    const char16_t *name;
    std::vector<VARIANT> args;
    HRESULT invoke;   // what Invoke returns
    HRESULT status;   // the exception record's code, for DISP_E_EXCEPTION
    const char *description;
  } rows[] = {
      {u"SetFontTTF", {Of(VT_BSTR, 0, font.get())}, S_OK, S_OK, ""},
      {u"SetFontSizeTTF", {Of(VT_BSTR, 0, size.get())}, S_OK, S_OK, ""},
      {u"setfontsizettf", {Of(VT_R8, 501)}, DISP_E_EXCEPTION, E_INVALIDARG, ""},
      {u"SetFontPathTTF", {Of(VT_BSTR, 0, folder.get())}, S_OK, S_OK, ""},
      {u"SetTextAntialias", {Of(VT_BOOL, 1)}, S_OK, S_OK, ""},
      {u"SetTextAntialias", {Of(VT_I2, 0)}, S_OK, S_OK, ""},
      {u"DrawTextTTF", {Of(VT_R8, 5), Of(VT_BSTR, 0, forty.get()), Of(VT_BSTR, 0, text.get())},
       S_OK, S_OK, ""},
      {u"DrawTextAngleTTF",
       {Of(VT_I2, 60), Of(VT_I4, 50), Of(VT_R8, 90), Of(VT_BSTR, 0, text.get())}, S_OK, S_OK, ""},
      {u"DrawTextTTF", {Of(VT_I4, 5), Of(VT_I4, 40), Of(VT_NULL, 0)}, DISP_E_TYPEMISMATCH, S_OK,
       ""},
      {u"SetFontPathTTFAuto", {}, S_OK, S_OK, ""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const auto &row = rows[i];
    VARIANT result;
    EXCEPINFO excep;
    EXPECT_EQ(CallByName(obj, row.name, row.args, &result, &excep), row.invoke);
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
    EXPECT_EQ(excep.scode, row.status);
    EXPECT_EQ(test::ToUtf8(excep.bstrDescription), row.description);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
  }
  EXPECT_EQ(std::string(obj->ttfFontName), kDejaVuSans);
  EXPECT_EQ(obj->ttfFontSize, 18);
  EXPECT_EQ(obj->textAntialias, 0);
  EXPECT_EQ(std::string(obj->ttfFontPath), FontSearchPath());  // the automatic folders
  EXPECT_GT(test::CountPainted(Current(obj)), 20);
}

TEST_F(TrueTypeByName, RectangleIsTheResultOfTheCall) {
  ObjectHolder obj;  // no image: measuring needs none
  Bstr font(kDejaVuSans), text("Hello"), nowhere("NoSuchFont");
  ASSERT_EQ(obj->SetFontTTF(font.get()), S_OK);
  VARIANT direct, result;
  VariantInit(&direct);
  ASSERT_EQ(obj->GetTextTTFRectangle(3, 30, text.get(), &direct), S_OK);
  EXCEPINFO excep;
  ASSERT_EQ(CallByName(obj, u"GetTextTTFRectangle",
                       {Of(VT_R8, 3), Of(VT_I2, 30), Of(VT_BSTR, 0, text.get())}, &result, &excep),
            S_OK);
  ASSERT_EQ(V_VT(&result), VT_ARRAY | VT_VARIANT);
  LONG lower = -1, upper = -1;
  SafeArrayGetLBound(V_ARRAY(&result), 1, &lower);
  SafeArrayGetUBound(V_ARRAY(&result), 1, &upper);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, 3);
  for (LONG i = 0; i < 4; ++i) {
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    SafeArrayGetElement(V_ARRAY(&result), &i, &a);
    SafeArrayGetElement(V_ARRAY(&direct), &i, &b);
    EXPECT_EQ(V_VT(&a), VT_I4);
    EXPECT_EQ(V_I4(&a), V_I4(&b)) << i;
  }
  VariantClear(&result);
  VariantClear(&direct);
  ASSERT_EQ(obj->SetFontTTF(nowhere.get()), S_OK);
  EXPECT_EQ(CallByName(obj, u"GetTextTTFRectangle",
                       {Of(VT_I4, 3), Of(VT_I4, 30), Of(VT_BSTR, 0, text.get())}, &result, &excep),
            DISP_E_EXCEPTION);
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
  EXPECT_EQ(excep.scode, E_FAIL);
  EXPECT_EQ(test::ToUtf8(excep.bstrSource), "Morphel");
  EXPECT_EQ(test::ToUtf8(excep.bstrDescription), "font error");
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
}

}  // namespace
}  // namespace morphel
