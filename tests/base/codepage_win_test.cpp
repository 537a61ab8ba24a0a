// Expectations tied to the Windows conversion tables (run under Wine).
#include <gtest/gtest.h>

#include "base/codepage.h"
#include "tests/test_util.h"

using namespace qx;

TEST(CodepageWin, CharactersGbkLacksBecomeTheDefaultCharacter) {
  // U+1F600 (emoji) and U+0E01 (Thai) have no GBK form.
  EXPECT_EQ(Utf8ToAnsi(U8(u8"a\U0001F600b")), "a??b");  // one per UTF-16 unit
  EXPECT_EQ(Utf8ToAnsi(U8(u8"\u0E01")), "?");
  EXPECT_EQ(Utf8ToAnsi(U8(u8"€")), "\x80");  // code page 936 maps the euro sign to 80
}

TEST(CodepageWin, CodePageZeroMeansGbkWhateverTheSystemCodePage) {
  Bytes w = AnsiToWide("拨号VPS管理终端");
  EXPECT_EQ(WideToBytes(w, 0), "拨号VPS管理终端");
}

TEST(CodepageWin, InvalidUtf8BecomesReplacementCharacter) {
  Bytes w = TextToWide(
      "a\xFF"
      "b",
      kUtf8);
  ASSERT_EQ(w.size(), 8u);
  EXPECT_EQ(static_cast<unsigned char>(w[2]) | static_cast<unsigned char>(w[3]) << 8, 0xFFFD);
}
