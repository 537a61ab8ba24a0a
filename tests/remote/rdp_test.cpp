// The connection file and its name. Literals are GBK, as the program's texts are.
#include "remote/rdp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remote/display_settings.h"

namespace qx {
namespace {

std::vector<Text> Lines(const Text& t) { return Split(t, "\r\n"); }

TEST(Rdp, TemplateIs596BytesIn26LinesWithEachPlaceholderOnce) {
  const Text t(RdpTemplate());
  EXPECT_EQ(t.size(), 596u);
  const std::vector<Text> lines = Lines(t);
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[0], "screen mode id:i:quanping");
  EXPECT_EQ(lines[19], "password 51:b:Password");
  EXPECT_EQ(lines[25], "bitmapcachepersistenable:i:1");
  for (const char* p : {"quanping", "1024", "768", "ipAddr", "Username", "Password"}) {
    const long at = FindText(t, p);
    ASSERT_GT(at, 0) << p;
    EXPECT_EQ(FindText(t, p, at + 1), -1) << p;
  }
}

TEST(Rdp, FilledValuesStayOnTheirLines) {
  const Text tmpl(RdpTemplate());
  // Inserted values are never taken for later placeholders.
  DisplaySettings s{"2", "1920", "1080"};
  Text t = BuildRdpText("10.1.0.24:1024", "Password768", "A1B2", s);
  std::vector<Text> lines = Lines(t), base = Lines(tmpl);
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[0], "screen mode id:i:2");
  EXPECT_EQ(lines[1], "desktopwidth:i:1920");
  EXPECT_EQ(lines[2], "desktopheight:i:1080");
  EXPECT_EQ(lines[5], "full address:s:10.1.0.24:1024");
  EXPECT_EQ(lines[15], "username:s:Password768");
  EXPECT_EQ(lines[19], "password 51:b:A1B2");
  for (size_t i = 3; i < 26; ++i)
    if (i != 5 && i != 15 && i != 19) {
      EXPECT_EQ(lines[i], base[i]) << i;
    }

  // The shortcut: no settings, windowed at the template's size.
  lines = Lines(BuildRdpText("h", "u", "", std::nullopt));
  EXPECT_EQ(lines[0], "screen mode id:i:1");
  EXPECT_EQ(lines[1], "desktopwidth:i:1024");
  EXPECT_EQ(lines[2], "desktopheight:i:768");
  EXPECT_EQ(lines[19], "password 51:b:");

  // Nothing stored: windowed at 1280 × 720; a stored height without a width
  // is not used, as the window does not show it either; a width typed with a
  // blank goes as typed.
  lines = Lines(BuildRdpText("h", "u", "", DisplaySettings{"", "", "900"}));
  EXPECT_EQ(lines[0], "screen mode id:i:1");
  EXPECT_EQ(lines[1], "desktopwidth:i:1280");
  EXPECT_EQ(lines[2], "desktopheight:i:720");
  lines = Lines(BuildRdpText("h", "u", "", DisplaySettings{"1", "1600 ", ""}));
  EXPECT_EQ(lines[1], "desktopwidth:i:1600 ");
  EXPECT_EQ(lines[2], "desktopheight:i:720");

  // A value cannot add a line of its own.
  t = BuildRdpText("10.0.0.1:3389\r\nalternate shell:s:cmd", "adm\nin\x01\x7f", "",
                   DisplaySettings{"1\r\n", "800\n", "6\t00"});
  lines = Lines(t);
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[5], "full address:s:10.0.0.1:3389alternate shell:s:cmd");
  EXPECT_EQ(lines[15], "username:s:admin");
  EXPECT_EQ(lines[17], "alternate shell:s:");
  EXPECT_EQ(lines[2], "desktopheight:i:600");
  EXPECT_EQ(RdpLineValue("远程\x0b地址"), "远程地址");
}

TEST(Rdp, FileNamesStayInTheFolder) {
  EXPECT_EQ(RdpFileName("QX000001"), "QX000001.rdp");
  EXPECT_EQ(RdpFileName("业务-01 测试"), "业务-01 测试.rdp");
  EXPECT_EQ(RdpFileName("..\\..\\x"), ".._.._x.rdp");
  EXPECT_EQ(RdpFileName("a/b:c*d?e\"f<g>h|i\r\n"), "a_b_c_d_e_f_g_h_i__.rdp");
  EXPECT_EQ(RdpFileName("name. . "), "name.rdp");
  EXPECT_EQ(RdpFileName(".."), "rdp.rdp");
  EXPECT_EQ(RdpFileName(""), "rdp.rdp");
  EXPECT_EQ(RdpFileName("con"), "_con.rdp");
  EXPECT_EQ(RdpFileName("COM1.x"), "_COM1.x.rdp");
  // A double-byte character whose second byte is 0x5C or 0x7C stays whole;
  // a lead byte without a trail byte does not.
  EXPECT_EQ(RdpFileName("\x95\x5c\x81\x7c"), "\x95\x5c\x81\x7c.rdp");
  EXPECT_EQ(RdpFileName("a\x81"), "a_.rdp");
  EXPECT_EQ(RdpFileName("a\x81\x7f"), "a__.rdp");
  // A connection file beside a shortcut of the same machine.
  EXPECT_EQ(RdpConnectionFileName("QX000001", 0), "QX000001.rdp");
  EXPECT_EQ(RdpConnectionFileName("QX000001", 1), "QX000001~连接.rdp");
  EXPECT_EQ(RdpConnectionFileName("con. ", 2), "_con~连接2.rdp");
}

}  // namespace
}  // namespace qx
