// Status codes, the message table and the thread's error information.
#include <gtest/gtest.h>

#include <thread>

#include "core/ansi_text.h"
#include "core/status.h"
#include "support/test_support.h"

namespace morphel {
namespace {

using test::TakeErrorInfo;

TEST(ErrorReport, MessageTableHoldsTheSevenTexts) {
  char buf[512];
  const std::pair<UINT, const char *> expected[] = {
      {100, "Morphel"},  {101, "NO IMAGE!"}, {102, "NO COLOR!"}, {103, "NO FONT!"},
      {104, "NO MEMORY!"}, {105, "NO FILE!"}, {106, "NO MEMORY!"}};
  for (auto [id, text] : expected) {
    EXPECT_EQ(LoadMessage(id, buf, sizeof buf), static_cast<int>(strlen(text)));
    EXPECT_STREQ(buf, text);
  }
  EXPECT_EQ(LoadMessage(99, buf, sizeof buf), 0);
  EXPECT_EQ(LoadMessage(107, buf, sizeof buf), 0);
}

TEST(ErrorReport, ReportErrorRecordsSourceDescriptionAndIUnknown) {
  EXPECT_EQ(ReportError(kMsgNoFile), E_FAIL);
  test::ErrorText error = TakeErrorInfo();
  ASSERT_TRUE(error.present);
  EXPECT_EQ(error.source, "Morphel");
  EXPECT_EQ(error.description, "NO FILE!");
  EXPECT_TRUE(error.guid == IID_IUnknown);
  EXPECT_FALSE(TakeErrorInfo().present);  // taken once
}

TEST(ErrorReport, UnknownIdGivesAnEmptyDescription) {
  EXPECT_EQ(ReportError(4711), E_FAIL);
  test::ErrorText error = TakeErrorInfo();
  ASSERT_TRUE(error.present);
  EXPECT_EQ(error.source, "Morphel");
  EXPECT_EQ(error.description, "");
}

TEST(ErrorReport, ReportErrorTextLeavesTheCallersText) {
  static const char kText[] = "Problem loading glyph";
  EXPECT_EQ(ReportErrorText(kText), E_FAIL);
  EXPECT_STREQ(kText, "Problem loading glyph");
  EXPECT_EQ(TakeErrorInfo().description, "Problem loading glyph");
}

TEST(ErrorReport, ErrorInformationBelongsToTheThread) {
  ReportError(kMsgNoImage);
  bool seenElsewhere = true;
  std::thread other([&] { seenElsewhere = TakeErrorInfo().present; });
  other.join();
  EXPECT_FALSE(seenElsewhere);
  EXPECT_EQ(TakeErrorInfo().description, "NO IMAGE!");
}

TEST(ErrorReport, OnlyIImagesSupportsErrorInfo) {
  test::ObjectHolder obj;
  EXPECT_EQ(obj->InterfaceSupportsErrorInfo(IID_IImages), S_OK);
  EXPECT_EQ(obj->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  EXPECT_EQ(obj->InterfaceSupportsErrorInfo(IID_IUnknown), S_FALSE);
}

TEST(AnsiText, NonAsciiTextConvertsInFull) {
  // "Grüße 你好" is 8 UTF-16 units but 14 bytes in UTF-8: more than (length + 1).
  test::Bstr text("Gr\xC3\xBC\xC3\x9F" "e \xE4\xBD\xA0\xE5\xA5\xBD");
  AnsiText ansi;
  ASSERT_EQ(ansi.Convert(text.get()), S_OK);
  EXPECT_EQ(std::string(ansi.c_str()), "Gr\xC3\xBC\xC3\x9F" "e \xE4\xBD\xA0\xE5\xA5\xBD");
  EXPECT_EQ(ansi.size(), 14u);
}

TEST(AnsiText, NullAndEmptyStringsAreEmpty) {
  AnsiText ansi;
  EXPECT_EQ(ansi.Convert(nullptr), S_OK);
  EXPECT_STREQ(ansi.c_str(), "");
  test::Bstr empty("");
  EXPECT_EQ(ansi.Convert(empty.get()), S_OK);
  EXPECT_EQ(ansi.size(), 0u);
}

TEST(AnsiText, LongTextConverts) {
  std::string long_text(100000, 'x');
  long_text += "\xE2\x82\xAC";  // the euro sign: 3 bytes from 1 unit
  test::Bstr text(long_text);
  AnsiText ansi;
  ASSERT_EQ(ansi.Convert(text.get()), S_OK);
  EXPECT_EQ(std::string(ansi.c_str(), ansi.size()), long_text);
}

TEST(AnsiText, AnsiToBstrRoundTrips) {
  BSTR text = AnsiToBstr("NO IMAGE!", 9);
  EXPECT_EQ(SysStringLen(text), 9u);
  EXPECT_EQ(test::ToUtf8(text), "NO IMAGE!");
  SysFreeString(text);
}

}  // namespace
}  // namespace morphel
