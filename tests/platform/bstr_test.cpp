// Automation strings: stored lengths, the trailing NUL, odd byte counts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "fake_object.h"
#include "morphel/automation.h"

namespace {

uint32_t PrefixOf(BSTR text) {
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char *>(text) - 4, 4);
  return prefix;
}

TEST(Bstr, AllocStringStoresByteCountInPrefix) {
  BSTR text = SysAllocString(u"abc");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(PrefixOf(text), 6u);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(SysStringByteLen(text), 6u);
  EXPECT_EQ(text[3], u'\0');
  EXPECT_EQ(reinterpret_cast<uintptr_t>(text) % 8, 0u);
  SysFreeString(text);
}

TEST(Bstr, NullArgumentsAndNullStrings) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
}

TEST(Bstr, AllocStringLenKeepsEmbeddedNulsAndZeroesWithoutSource) {
  const char16_t source[] = {u'a', 0, u'b'};
  BSTR text = SysAllocStringLen(source, 3);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(text[1], 0);
  EXPECT_EQ(text[2], u'b');
  EXPECT_EQ(text[3], 0);
  SysFreeString(text);

  BSTR blank = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(SysStringLen(blank), 4u);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(blank[i], 0);
  SysFreeString(blank);
}

TEST(Bstr, OddByteLengthIsKeptAndFollowedByTwoNulBytes) {
  const char bytes[] = {'\x01', '\xFF', '\x7F'};
  BSTR text = SysAllocStringByteLen(bytes, 3);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringByteLen(text), 3u);
  EXPECT_EQ(SysStringLen(text), 1u);
  const unsigned char *raw = reinterpret_cast<const unsigned char *>(text);
  EXPECT_EQ(raw[0], 0x01);
  EXPECT_EQ(raw[1], 0xFF);
  EXPECT_EQ(raw[2], 0x7F);
  EXPECT_EQ(raw[3], 0);
  EXPECT_EQ(raw[4], 0);
  EXPECT_EQ(text[2], 0);  // the character straddling the end reads as NUL too
  SysFreeString(text);
}

TEST(Bstr, ByteLenWithoutSourceIsZeroFilled) {
  BSTR text = SysAllocStringByteLen(nullptr, 5);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringByteLen(text), 5u);
  const unsigned char *raw = reinterpret_cast<const unsigned char *>(text);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(raw[i], 0) << i;
  SysFreeString(text);
}

TEST(Bstr, ZeroLengthStringIsNotNull) {
  BSTR text = SysAllocStringByteLen(nullptr, 0);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringByteLen(text), 0u);
  EXPECT_EQ(text[0], 0);
  SysFreeString(text);
}

TEST(Bstr, HugeLengthsFailInsteadOfWrapping) {
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFF4u), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, ReAllocReplacesAndFreesTheOldString) {
  BSTR text = SysAllocString(u"first");
  ASSERT_TRUE(SysReAllocString(&text, u"second one"));
  EXPECT_EQ(morphel::test::TextOf(text), u"second one");
  ASSERT_TRUE(SysReAllocStringLen(&text, u"xyz", 2));
  EXPECT_EQ(morphel::test::TextOf(text), u"xy");
  // The source may lie inside the string being replaced.
  ASSERT_TRUE(SysReAllocStringLen(&text, text + 1, 1));
  EXPECT_EQ(morphel::test::TextOf(text), u"y");
  ASSERT_TRUE(SysReAllocString(&text, nullptr));
  EXPECT_EQ(text, nullptr);
  EXPECT_FALSE(SysReAllocString(nullptr, u"a"));
}

}  // namespace
