// Conversions whose results are the same on Windows and with the native seam.
#include "base/codepage.h"

#include <gtest/gtest.h>

#include <utility>

#include "tests/test_util.h"

using namespace qx;

TEST(Codepage, EmptyInputGivesEmptyOutput) {
  EXPECT_EQ(Utf8ToAnsi(""), "");
  EXPECT_EQ(AnsiToUtf8(""), "");
  EXPECT_EQ(TextToWide(""), "");
  EXPECT_EQ(AnsiToWide(std::string("\0abc", 4)), "");
  EXPECT_EQ(WideToBytes("", kGbk), "");
  EXPECT_EQ(WideToBytes(std::string("\0\0a\0", 4), kGbk), "");
}

TEST(Codepage, Utf8PageToGbkAndBack) {
  EXPECT_EQ(Utf8ToAnsi("plain <b>ascii</b>"), "plain <b>ascii</b>");
  EXPECT_EQ(Utf8ToAnsi(U8(u8"登录成功")), "登录成功");
  EXPECT_EQ(AnsiToUtf8("会员名：张三"), U8(u8"会员名：张三"));
  // The bytes up to the first NUL are converted.
  EXPECT_EQ(Utf8ToAnsi(std::string("ab\0cd", 5)), "ab");
}

TEST(Codepage, WideTextCarriesItsTerminator) {
  Bytes w = AnsiToWide("会A");
  ASSERT_EQ(w.size(), 6u);
  EXPECT_EQ(w.substr(2), std::string("A\0\0\0", 4));
  EXPECT_EQ(static_cast<unsigned char>(w[0]) | static_cast<unsigned char>(w[1]) << 8, 0x4F1A);
  EXPECT_EQ(WideToText(w), "会A");
  EXPECT_EQ(TextToWide("A"), std::string("A\0\0\0", 4));
}

TEST(Codepage, Utf8FormsBothWays) {
  // Two, three and four bytes, with the edges of the ranges.
  const std::pair<std::string, std::string> forms[] = {
      {"\xC3\xA9", std::string("\xE9\x00", 2)},                  // U+00E9
      {"\xE0\xA0\x80", std::string("\x00\x08", 2)},              // U+0800, the first of three bytes
      {"\xF0\x9F\x98\x81", std::string("\x3D\xD8\x01\xDE", 4)},  // U+1F601: a surrogate pair
      {"\xF3\xA0\x84\x80", std::string("\x40\xDB\x00\xDD", 4)},  // U+E0100
  };
  for (const auto& [utf8, wide] : forms) {
    EXPECT_EQ(TextToWide(utf8), wide + std::string("\0\0", 2));
    EXPECT_EQ(WideToBytes(wide, kUtf8), utf8);
  }
  EXPECT_EQ(WideToText(TextToWide("A")), "A") << "a one-unit text";
  // An odd last byte is no unit.
  EXPECT_EQ(WideToMultiByte(kGbk, std::string("A\0B", 3)), "A");
  EXPECT_EQ(WideToMultiByte(kUtf8, std::string("A\0B", 3)), "A");
}

TEST(Codepage, InvalidForms) {
  // Overlong forms and surrogates in UTF-8 never read as what they spell.
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80"}) {
    const Text t = Utf8ToAnsi(bad);
    EXPECT_FALSE(t.empty());
    EXPECT_EQ(t.find_first_not_of('?'), Text::npos) << t;
  }
  // A stray byte, a cut sequence, a lone surrogate: U+FFFD.
  EXPECT_EQ(TextToWide("a\xFF"
                       "b"),
            std::string("a\0\xFD\xFF"
                        "b\0\0\0",
                        8));
  EXPECT_EQ(TextToWide("a\xE4\xB8"), std::string("a\0\xFD\xFF\0\0", 6));
  EXPECT_EQ(WideToBytes(std::string("\x00\xD8"
                                    "a\0",
                                    4),
                        kUtf8),
            "\xEF\xBF\xBD"
            "a");
  // An invalid GBK pair: one default character, the byte after it kept.
  const Bytes w = AnsiToWide(
      "\x81\x7F"
      "A");
  ASSERT_EQ(w.size(), 6u);
  EXPECT_EQ(w.substr(2), std::string("A\0\0\0", 4));
  // A character GBK lacks: "?", the next one kept.
  EXPECT_EQ(Utf8ToAnsi(U8(u8"\u0E01A")), "?A");
  EXPECT_EQ(WideToMultiByte(kGbk, std::string("\x01\x0E"
                                              "A\0",
                                              4)),
            "?A");
}

TEST(Codepage, LargePageConvertsWhole) {
  std::string page;
  for (int i = 0; i < 20000; ++i) page += U8(u8"<div>机器") + std::to_string(i) + "</div>";
  std::string gbk = Utf8ToAnsi(page);
  EXPECT_EQ(gbk.size(), page.size() - 20000 * 2);  // 3 UTF-8 bytes → 2 GBK bytes per character
  EXPECT_EQ(AnsiToUtf8(gbk), page);
}

// The table gives what the platform's own two conversions give, for every
// character of the basic plane (each GBK character and every unmappable one),
// characters beyond it, and malformed UTF-8 (which goes the platform's way).
TEST(Codepage, TableConversionMatchesThePlatformForEveryCharacter) {
  auto utf8 = [](unsigned c) {
    std::string s;
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | c >> 6);
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += static_cast<char>(0xE0 | c >> 12);
      s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | c >> 18);
      s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
  };
  std::string all;
  for (unsigned c = 1; c < 0x10000; ++c)
    if (c < 0xD800 || c > 0xDFFF) all += utf8(c) + "|";
  for (unsigned c : {0x10000u, 0x1F600u, 0x10FFFFu}) all += utf8(c) + "|";
  EXPECT_EQ(Utf8ToAnsi(all), Utf8ToAnsiByPlatform(all));
  for (const char* bad :
       {"a\xC0\xAF"
        "b",
        "a\xE0\x80\xAF", "\xED\xA0\x80x", "x\xF4\x90\x80\x80", "\xFF", "ab\xE4\xB8", "\x80z"})
    EXPECT_EQ(Utf8ToAnsi(bad), Utf8ToAnsiByPlatform(bad)) << bad;
}
