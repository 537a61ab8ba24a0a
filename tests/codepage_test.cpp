// Conversions whose results are the same on Windows and with the native seam.
#include <gtest/gtest.h>

#include "tests/test_util.h"
#include "web/codepage.h"

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

TEST(Codepage, InvalidAndBoundaryForms) {
  // Overlong forms never read as the character they spell ("/" here).
  for (const char* overlong : {"\xC0\xAF", "\xE0\x80\xAF"}) {
    const Text t = Utf8ToAnsi(overlong);
    EXPECT_FALSE(t.empty());
    EXPECT_EQ(t.find_first_not_of('?'), Text::npos) << t;
  }
  // A character outside the BMP: its surrogate pair.
  EXPECT_EQ(TextToWide(U8(u8"\U0001F600")), std::string("\x3D\xD8\x00\xDE\0\0", 6));
  // U+0800, the first three-byte character, both ways.
  EXPECT_EQ(WideToBytes(std::string("\x00\x08", 2), kUtf8), "\xE0\xA0\x80");
  EXPECT_EQ(TextToWide("\xE0\xA0\x80"), std::string("\x00\x08\0\0", 4));
  // An invalid GBK pair: one default character, the byte after it kept.
  const Bytes w = AnsiToWide("\x81\x7F" "A");
  ASSERT_EQ(w.size(), 6u);
  EXPECT_EQ(w.substr(2), std::string("A\0\0\0", 4));
}

TEST(Codepage, LargePageConvertsWhole) {
  std::string page;
  for (int i = 0; i < 20000; ++i) page += U8(u8"<div>机器") + std::to_string(i) + "</div>";
  std::string gbk = Utf8ToAnsi(page);
  EXPECT_EQ(gbk.size(), page.size() - 20000 * 2);  // 3 UTF-8 bytes → 2 GBK bytes per character
  EXPECT_EQ(AnsiToUtf8(gbk), page);
}
