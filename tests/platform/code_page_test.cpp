// Code-page conversions: sizing, short buffers, surrogates, invalid input, 1252.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "morphel/automation.h"
#include "platform/platform_p.h"

namespace {

using morphel::platform::MultiByteToWide;
using morphel::platform::WideToMultiByte;

std::string ToUtf8(const std::u16string &text, DWORD flags = 0) {
  int needed = WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string out(static_cast<size_t>(needed), '\0');
  if (needed > 0) {
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), out.data(),
                                  needed, nullptr, nullptr),
              needed);
  }
  return out;
}

std::u16string FromUtf8(const std::string &text, DWORD flags = 0) {
  int needed =
      MultiByteToWideChar(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(needed), u'\0');
  if (needed > 0) {
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, flags, text.data(), static_cast<int>(text.size()),
                                  out.data(), needed),
              needed);
  }
  return out;
}

TEST(CodePage, SizingQueryCountsTheTerminatorOfTerminatedInput) {
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"A\u20AC", -1, nullptr, 0, nullptr, nullptr), 5);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"A\u20AC", 2, nullptr, 0, nullptr, nullptr), 4);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "A\xE2\x82\xAC", -1, nullptr, 0), 3);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "A\xE2\x82\xAC", 4, nullptr, 0), 2);
}

TEST(CodePage, ExactBufferReceivesTheTextAndTerminator) {
  char out[5] = {'x', 'x', 'x', 'x', 'x'};
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"A\u20AC", -1, out, 5, nullptr, nullptr), 5);
  EXPECT_EQ(std::string(out, 5), std::string("A\xE2\x82\xAC\0", 5));
  OLECHAR wide[3] = {1, 1, 1};
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "A\xE2\x82\xAC", -1, wide, 3), 3);
  EXPECT_EQ(wide[0], u'A');
  EXPECT_EQ(wide[1], 0x20AC);
  EXPECT_EQ(wide[2], 0);
}

TEST(CodePage, TooSmallBufferFailsWithInsufficientBuffer) {
  char out[4];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"A\u20AC", -1, out, 4, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  OLECHAR wide[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(CodePage, SurrogatePairsBecomeFourByteSequences) {
  EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(ToUtf8(u"\u00E9\u4F60"), "\xC3\xA9\xE4\xBD\xA0");
  EXPECT_EQ(FromUtf8("\xC3\xA9\xE4\xBD\xA0"), u"\u00E9\u4F60");
  EXPECT_EQ(ToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
}

TEST(CodePage, LoneSurrogatesAreReplacedOrRefused) {
  const char16_t high[] = {u'a', 0xD83D, u'b'};
  EXPECT_EQ(ToUtf8(std::u16string(high, 3)), "a\xEF\xBF\xBD" "b");
  const char16_t low[] = {0xDE00};
  EXPECT_EQ(ToUtf8(std::u16string(low, 1)), "\xEF\xBF\xBD");
  const char16_t trailingHigh[] = {u'x', 0xD800};
  EXPECT_EQ(ToUtf8(std::u16string(trailingHigh, 2)), "x\xEF\xBF\xBD");
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, high, 3, nullptr, 0, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, u"\U0001F600", 2, nullptr, 0, nullptr,
                                nullptr),
            4);
}

TEST(CodePage, InvalidUtf8IsReplacedPerMaximalPart) {
  EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD");
  EXPECT_EQ(FromUtf8("\xE2\x82"), u"\uFFFD");
  EXPECT_EQ(FromUtf8("\xE2\x82x"), u"\uFFFDx");
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");              // overlong
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");    // encoded surrogate
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
  EXPECT_EQ(FromUtf8("\xE0\x9F\x80"), u"\uFFFD\uFFFD\uFFFD");    // overlong three-byte
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3\xA9", 3, nullptr, 0), 2);
}

TEST(CodePage, InvalidArgumentsFail) {
  char out[8];
  OLECHAR wide[8];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, nullptr, 1, out, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 0, out, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -2, out, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 8, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, out, -1, nullptr, nullptr), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(437, 0, "a", 1, wide, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, out, 8, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0x0001, "a", 1, wide, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

TEST(CodePage, AnsiPageComesFromTheEnvironmentValue) {
  EXPECT_EQ(morphel::platform::AnsiCodePageFor(nullptr), 65001u);
  EXPECT_EQ(morphel::platform::AnsiCodePageFor("1252"), 1252u);
  EXPECT_EQ(morphel::platform::AnsiCodePageFor("65001"), 65001u);
  EXPECT_EQ(morphel::platform::AnsiCodePageFor("cp1252"), 65001u);
  EXPECT_EQ(GetACP(), morphel::platform::AnsiCodePageFor(std::getenv("MORPHEL_ACP")));
}

TEST(CodePage, AnsiPageConvertsLikeTheResolvedPage) {
  const char16_t text[] = u"Gr\u00FC\u00DFe \u20AC";
  char viaAcp[32];
  char direct[32];
  int a = WideCharToMultiByte(CP_ACP, 0, text, -1, viaAcp, 32, nullptr, nullptr);
  int d = WideToMultiByte(GetACP(), true, 0, text, -1, direct, 32, nullptr, nullptr);
  ASSERT_GT(a, 0);
  ASSERT_EQ(a, d);
  EXPECT_EQ(std::string(viaAcp, a), std::string(direct, d));
}

TEST(CodePage, AnsiUtf8ReportsReplacementThroughUsedDefault) {
  const char16_t lone[] = {0xDC00};
  BOOL used = FALSE;
  char out[8];
  EXPECT_EQ(WideToMultiByte(CP_UTF8, true, 0, lone, 1, out, 8, nullptr, &used), 3);
  EXPECT_TRUE(used);
  used = TRUE;
  EXPECT_EQ(WideToMultiByte(CP_UTF8, true, 0, u"ok", 2, out, 8, nullptr, &used), 2);
  EXPECT_FALSE(used);
}

TEST(CodePage1252, DecodesTheWholeByteRange) {
  char bytes[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
  OLECHAR wide[256];
  ASSERT_EQ(MultiByteToWide(1252, 0, bytes, 256, wide, 256), 256);
  EXPECT_EQ(wide[0x41], u'A');
  EXPECT_EQ(wide[0x80], 0x20AC);
  EXPECT_EQ(wide[0x81], 0x0081);
  EXPECT_EQ(wide[0x8A], 0x0160);
  EXPECT_EQ(wide[0x8D], 0x008D);
  EXPECT_EQ(wide[0x8F], 0x008F);
  EXPECT_EQ(wide[0x90], 0x0090);
  EXPECT_EQ(wide[0x92], 0x2019);
  EXPECT_EQ(wide[0x99], 0x2122);
  EXPECT_EQ(wide[0x9D], 0x009D);
  EXPECT_EQ(wide[0x9F], 0x0178);
  EXPECT_EQ(wide[0xA0], 0x00A0);
  EXPECT_EQ(wide[0xE9], 0x00E9);
  EXPECT_EQ(wide[0xFF], 0x00FF);
  // And every byte comes back unchanged.
  char back[256];
  BOOL used = TRUE;
  ASSERT_EQ(WideToMultiByte(1252, false, 0, wide, 256, back, 256, nullptr, &used), 256);
  EXPECT_FALSE(used);
  EXPECT_EQ(std::string(back, 256), std::string(bytes, 256));
}

TEST(CodePage1252, UnmappableCharactersTakeTheDefault) {
  const char16_t text[] = u"\u20ACA\u0100\U0001F600\u0178";
  char out[16];
  BOOL used = FALSE;
  int n = WideToMultiByte(1252, false, 0, text, 6, out, 16, nullptr, &used);
  ASSERT_EQ(n, 5);
  EXPECT_EQ(std::string(out, 5), "\x80" "A??\x9F");
  EXPECT_TRUE(used);
  const char hash = '#';
  n = WideToMultiByte(1252, false, 0, u"\u0100", 1, out, 16, &hash, nullptr);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(out[0], '#');
  const char16_t lone[] = {0xD800};
  n = WideToMultiByte(1252, false, 0, lone, 1, out, 16, nullptr, &used);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(out[0], '?');
}

TEST(CodePage1252, SizingAndShortBuffer) {
  EXPECT_EQ(WideToMultiByte(1252, false, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 4);
  char out[3];
  SetLastError(0);
  EXPECT_EQ(WideToMultiByte(1252, false, 0, u"abc", -1, out, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWide(1252, 0, "\x80x", -1, nullptr, 0), 3);
  SetLastError(0);
  EXPECT_EQ(WideToMultiByte(1252, false, WC_ERR_INVALID_CHARS, u"a", 1, out, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

}  // namespace

namespace {

// Valid UTF-16 made of code points from every encoding length, surrogate pairs included.
std::u16string RandomText(std::mt19937 &random, size_t length) {
  std::u16string text;
  std::uniform_int_distribution<int> kind(0, 3);
  for (size_t i = 0; i < length; ++i) {
    switch (kind(random)) {
      case 0:
        text += static_cast<char16_t>(std::uniform_int_distribution<int>(1, 0x7F)(random));
        break;
      case 1:
        text += static_cast<char16_t>(std::uniform_int_distribution<int>(0x80, 0x7FF)(random));
        break;
      case 2: {
        int unit = std::uniform_int_distribution<int>(0x800, 0xFFFD - 0x800)(random);
        if (unit >= 0xD800) unit += 0x800;  // skip the surrogate range
        text += static_cast<char16_t>(unit);
        break;
      }
      default: {
        long point = std::uniform_int_distribution<long>(0x10000, 0x10FFFF)(random);
        text += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
        text += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        break;
      }
    }
  }
  return text;
}

TEST(CodePage, RandomValidTextRoundTripsThroughUtf8) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 300; ++round) {
    std::u16string text = RandomText(random, static_cast<size_t>(round % 40 + 1));
    std::string narrow = ToUtf8(text, WC_ERR_INVALID_CHARS);
    ASSERT_FALSE(narrow.empty());
    EXPECT_EQ(FromUtf8(narrow, MB_ERR_INVALID_CHARS), text) << round;
  }
}

TEST(CodePage, RandomBytesAlwaysDecodeToValidText) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    for (int i = 0; i < round % 24 + 1; ++i) bytes += static_cast<char>(byte(random));
    std::u16string wide = FromUtf8(bytes);
    ASSERT_FALSE(wide.empty());
    // Whatever came out is well-formed UTF-16 and encodes without complaint.
    std::string again = ToUtf8(wide, WC_ERR_INVALID_CHARS);
    EXPECT_FALSE(again.empty()) << round;
    // Every byte either survives or is replaced: never more characters than bytes.
    EXPECT_LE(wide.size(), bytes.size()) << round;
  }
}

}  // namespace
