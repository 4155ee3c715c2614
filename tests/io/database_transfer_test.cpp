// Images to and from a database field object, through a recording field.
#include "core/status.h"
#include "io_fixture.h"
#include "recording_field.h"

namespace morphel::io_test {
namespace {

class DatabaseTransfer : public IoTest {
 protected:
  RecordingField field_;

  // A canvas of pseudo-random colours: its PNG hardly compresses.
  void MakeNoisy(int w, int h) {
    gdImagePtr im = MakePatterned(w, h);
    unsigned state = 12345;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        state = state * 1103515245u + 12345u;
        gdImageSetPixel(im, x, y, static_cast<int>((state >> 8) & 0xFFFFFF));
      }
    }
  }

  void ExpectNoStrayCalls() {
    EXPECT_EQ(field_.references, 1u) << "every reference taken is released";
    EXPECT_EQ(field_.byNameCalls, 0);
  }
};

TEST_F(DatabaseTransfer, OneAppendOfExactlyTheEncodedBytesThenOneGetChunkReadsThemBack) {
  for (int format : {kFormatPng, kFormatJpeg, kFormatWbmp, kFormatGif, kFormatBmp}) {
    SCOPED_TRACE(format);
    RecordingField field;
    ASSERT_EQ(obj()->SetImage(0), S_OK);
    MakeNoisy(301, 207);  // a PNG of more than 50,000 bytes
    const Bytes expected = WriteBytes(format);
    if (format == kFormatPng) {
      ASSERT_GT(expected.size(), 50000u);
    }
    ASSERT_EQ(obj()->WriteToDatabase(ObjectVariant(field.dispatch())), S_OK);
    ASSERT_EQ(field.appended.size(), 1u);
    ASSERT_EQ(V_VT(&field.appended[0]), VT_ARRAY | VT_UI1);
    SAFEARRAY *array = V_ARRAY(&field.appended[0]);
    EXPECT_EQ(SafeArrayGetDim(array), 1u);
    EXPECT_EQ(array->rgsabound[0].lLbound, 0);
    EXPECT_EQ(field.AppendedBytes(0), expected);

    ASSERT_EQ(obj()->SetImage(1), S_OK);
    field.ServeBytes(expected);
    ASSERT_EQ(obj()->ReadFromDatabase(ObjectVariant(field.dispatch())), S_OK);
    EXPECT_EQ(field.actualSizeCalls, 1);
    EXPECT_EQ(field.chunkLengths, std::vector<LONG>{static_cast<LONG>(expected.size())});
    EXPECT_EQ(gdImageSX(obj()->CurrentImage()), 301);
    EXPECT_EQ(gdImageSY(obj()->CurrentImage()), 207);
    if (format == kFormatPng) {
      EXPECT_EQ(RgbAt(obj()->CurrentImage(), 300, 206), RgbAt(obj()->slotImages[0], 300, 206));
    }
    EXPECT_EQ(field.references, 1u);
    EXPECT_EQ(field.byNameCalls, 0);
  }
}

TEST_F(DatabaseTransfer, ArgumentsThatHoldTheFieldInAnyForm) {
  MakePatterned(3, 2);
  IDispatch *object = field_.dispatch();
  VARIANT inner = ObjectVariant(object);
  VARIANT forms[4];
  for (VARIANT &v : forms) VariantInit(&v);
  forms[0] = ObjectVariant(object);
  V_VT(&forms[1]) = VT_UNKNOWN;
  V_UNKNOWN(&forms[1]) = field_.unknown();
  V_VT(&forms[2]) = VT_DISPATCH | VT_BYREF;
  V_UNION(&forms[2], ppdispVal) = &object;
  V_VT(&forms[3]) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&forms[3]) = &inner;
  for (VARIANT &form : forms) EXPECT_EQ(obj()->WriteToDatabase(form), S_OK) << V_VT(&form);
  EXPECT_EQ(field_.appended.size(), 4u);
  ExpectNoStrayCalls();
}

TEST_F(DatabaseTransfer, ArgumentsWithoutAFieldStopBeforeAnythingIsDone) {
  RecordingField notAField;
  notAField.answersAsField = false;
  VARIANT empty, number, nullObject;
  VariantInit(&empty);
  VariantInit(&number);
  V_VT(&number) = VT_I4;
  V_I4(&number) = 7;
  nullObject = ObjectVariant(nullptr);
  const std::pair<VARIANT, HRESULT> cases[] = {{empty, E_POINTER},
                                               {number, E_POINTER},
                                               {nullObject, E_POINTER},
                                               {ObjectVariant(notAField.dispatch()), E_NOINTERFACE}};
  for (const auto &[argument, status] : cases) {
    MakePatterned(3, 2);
    ReportError(kMsgNoColor);  // stale information must not survive
    EXPECT_EQ(obj()->WriteToDatabase(argument), status);
    EXPECT_EQ(TakeErrorText(), "");
    EXPECT_EQ(obj()->ReadFromDatabase(argument), status);
    EXPECT_EQ(obj()->CurrentImage(), nullptr) << "reading empties the slot first";
  }
  EXPECT_TRUE(notAField.appended.empty());
  EXPECT_EQ(notAField.references, 1u);
}

TEST_F(DatabaseTransfer, EmptySlotWritesNothingAndLeavesTheFieldUntouched) {
  EXPECT_EQ(obj()->WriteToDatabase(ObjectVariant(field_.dispatch())), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_TRUE(field_.appended.empty());
  ExpectNoStrayCalls();
}

TEST_F(DatabaseTransfer, AnEncodingWithoutBytesAppendsNothing) {
  ASSERT_EQ(obj()->CreateImagePalette(4, 4), S_OK);  // no colour: PNG writes nothing
  EXPECT_EQ(obj()->WriteToDatabase(ObjectVariant(field_.dispatch())), E_FAIL);
  EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
  EXPECT_TRUE(field_.appended.empty());
  ExpectNoStrayCalls();
}

TEST_F(DatabaseTransfer, ChunksThatHoldNoImageEmptyTheSlot) {
  MakePatterned(5, 5);
  const Bytes png = WriteBytes(kFormatPng);
  VARIANT null;
  VariantInit(&null);
  V_VT(&null) = VT_NULL;
  VARIANT twoDimensions;
  VariantInit(&twoDimensions);
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  V_VT(&twoDimensions) = VT_ARRAY | VT_UI1;
  V_ARRAY(&twoDimensions) = SafeArrayCreate(VT_UI1, 2, bounds);
  VARIANT text;
  VariantInit(&text);
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = SysAllocStringByteLen(reinterpret_cast<const char *>(png.data()),
                                        static_cast<UINT>(png.size()));
  // A WBMP header claiming 12000 x 12000 pixels.
  const Bytes hugeWbmp = {0, 0, 0xDD, 0x60, 0xDD, 0x60};
  struct Case {
    const char *what;
    int format;
    VARIANT chunk;  // served when bytes is empty
    Bytes bytes;
  } cases[] = {{"null", kFormatPng, null, {}},
               {"two dimensions", kFormatPng, twoDimensions, {}},
               {"a string", kFormatPng, text, {}},
               {"PNG read as WBMP", kFormatWbmp, {}, png},
               {"too many pixels", kFormatWbmp, {}, hugeWbmp}};
  for (Case &c : cases) {
    SCOPED_TRACE(c.what);
    MakePatterned(2, 2);
    RecordingField field;
    c.bytes.empty() ? field.Serve(c.chunk) : field.ServeBytes(c.bytes);
    ASSERT_EQ(obj()->SetImageType(c.format), S_OK);
    EXPECT_EQ(obj()->ReadFromDatabase(ObjectVariant(field.dispatch())), E_FAIL);
    EXPECT_EQ(TakeErrorText(), "NO IMAGE!");
    EXPECT_EQ(obj()->CurrentImage(), nullptr);
    EXPECT_EQ(field.references, 1u);
  }
}

TEST_F(DatabaseTransfer, ChunkLengthComesFromTheArrayNotFromActualSize) {
  MakePatterned(6, 4);
  field_.ServeBytes(WriteBytes(kFormatPng));
  field_.actualSize = 10;
  ASSERT_EQ(obj()->ReadFromDatabase(ObjectVariant(field_.dispatch())), S_OK);
  EXPECT_EQ(field_.chunkLengths, std::vector<LONG>{10});
  EXPECT_EQ(gdImageSX(obj()->CurrentImage()), 6);
}

// A failing field call returns its own status; the field's error information
// stays when it says it offers some, and none is left otherwise.
TEST_F(DatabaseTransfer, FailingFieldCallsReturnTheFieldsStatus) {
  const HRESULT kStatus = static_cast<HRESULT>(0x800A0BCD);
  for (bool offers : {false, true}) {
    for (int call = 0; call < 3; ++call) {
      SCOPED_TRACE(testing::Message() << "call " << call << " offers " << offers);
      RecordingField field;
      field.offersErrorInfo = offers;
      MakePatterned(3, 3);
      field.ServeBytes(WriteBytes(kFormatPng));
      (call == 0 ? field.actualSizeStatus : call == 1 ? field.getChunkStatus : field.appendStatus) =
          kStatus;
      ReportErrorText("from the field");
      VARIANT argument = ObjectVariant(field.dispatch());
      HRESULT hr = call == 2 ? obj()->WriteToDatabase(argument) : obj()->ReadFromDatabase(argument);
      EXPECT_EQ(hr, kStatus);
      EXPECT_EQ(TakeErrorText(), offers ? "from the field" : "");
      EXPECT_EQ(field.chunkLengths.size(), call == 0 ? 0u : call == 1 ? 1u : 0u);
      EXPECT_EQ(field.references, 1u);
    }
  }
}

}  // namespace
}  // namespace morphel::io_test
