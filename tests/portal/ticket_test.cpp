#include "portal/ticket.h"

#include <gtest/gtest.h>

#include <utility>

#include "base/codepage.h"
#include "tests/test_util.h"

using namespace qx;

TEST(Ticket, DetailsTitleAndBodyByteForByte) {
  // The details text as the machine list gives it (remote/machine_details.h).
  const Text details =
      "业务标识：QX000012\r\n远程地址：10.0.0.12:20012\r\n系统账户：administrator\r\n"
      "系统密码：Qx a&b\r\n宽带账户：\r\n宽带密码：\r\n到期时间：2027-02-06 20:12:00";
  const Text id = BusinessIdOf(details);
  EXPECT_EQ(id, "QX000012");
  EXPECT_EQ(TicketWindowTitle(id), "业务标识：QX000012工单服务！");

  const TicketContact contact{"13800138000", "10001"};
  EXPECT_EQ(
      TicketBody(TicketKind::RemoteAccess, details, id, contact),
      "classID=1&title=QX000012%EF%BC%9A%E8%BF%9C%E7%A8%8B%E6%95%85%E9%9A%9C-%E5%AE%A2%E6%88%B7%E7%"
      "AB%AF%E5%B7%A5%E5%8D%95&content=%E4%B8%9A%E5%8A%A1%E6%A0%87%E8%AF%86%EF%BC%9AQX000012%0D%"
      "0A%E8%BF%9C%E7%A8%8B%E5%9C%B0%E5%9D%80%EF%BC%9A10.0.0.12%3A20012%0D%0A%E7%B3%BB%E7%BB%9F%"
      "E8%B4%A6%E6%88%B7%EF%BC%9Aadministrator%0D%0A%E7%B3%BB%E7%BB%9F%E5%AF%86%E7%A0%81%EF%BC%"
      "9AQx+a%26b%0D%0A%E5%AE%BD%E5%B8%A6%E8%B4%A6%E6%88%B7%EF%BC%9A%0D%0A%E5%AE%BD%E5%B8%A6%E5%"
      "AF%86%E7%A0%81%EF%BC%9A%0D%0A%E5%88%B0%E6%9C%9F%E6%97%B6%E9%97%B4%EF%BC%9A2027-02-06+20%"
      "3A12%3A00&attachments=&mobile=13800138000&myMobile=1&qq=10001&myQQ=1&attachmentIds=");

  // The identifier, mobile and qq are encoded too: an "&" or "=" in them
  // cannot add or shift fields.
  const Text body =
      TicketBody(TicketKind::DialUp, "业务标识：a&b=c\r\n", "a&b=c", {"1&x=2", "q q"});
  EXPECT_EQ(
      body,
      "classID=1&title=a%26b%3Dc%EF%BC%9A%E6%8B%A8%E5%8F%B7%E6%95%85%E9%9A%9C-%E5%AE%A2%E6%88%"
      "B7%E7%AB%AF%E5%B7%A5%E5%8D%95&content=%E4%B8%9A%E5%8A%A1%E6%A0%87%E8%AF%86%EF%BC%"
      "9Aa%26b%3Dc%0D%0A&attachments=&mobile=1%26x%3D2&myMobile=1&qq=q+q&myQQ=1&"
      "attachmentIds=");
}

TEST(Ticket, ContactFieldsAndVerdict) {
  const TicketContact c = ParseTicketForm(
      "<input type=\"text\" class=\"input\" name=\"mobile\" id=\"mobile\" value=\"13800138000\">"
      "<input type=\"text\" class=\"input\" name=\"qq\" id=\"qq\" value=\"10001\">");
  EXPECT_EQ(c.mobile, "13800138000");
  EXPECT_EQ(c.qq, "10001");
  // A login page instead of the form: both empty.
  const TicketContact none = ParseTicketForm("<form action=\"//login/login\"></form>");
  EXPECT_EQ(none.mobile, "");
  EXPECT_EQ(none.qq, "");

  // The verdict reads the reply: the status, then the JSON's result and text.
  const Text ok = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n";
  auto verdict = [](std::string_view headers, std::string_view body) {
    const TicketVerdict v = ReadTicketReply(headers, body);
    return std::pair(v.filed, TicketVerdictText(v));
  };
  const std::pair filed(true, Text(kTicketFiledText));
  EXPECT_EQ(verdict(ok, U8(u8R"({"result":true,"text":"工单提交成功"})")), filed);
  EXPECT_EQ(verdict(ok, ""), filed);  // a reply that says nothing else
  EXPECT_EQ(verdict(ok, "<html>ok</html>"), filed);
  // FetchPage follows a redirect and hands back the last reply: a 3xx reaches
  // the verdict only when it names no Location to go to.
  EXPECT_EQ(verdict("HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n", ""), filed);
  // An expired session answers 200 and refuses: the portal's own words, also
  // escaped as PHP writes them.
  EXPECT_EQ(verdict(ok, U8(u8R"({"result":false,"text":"请先登录","url":"/login"})")),
            std::pair(false, Text("请先登录")));
  EXPECT_EQ(
      verdict(ok, R"({ "text" : "\u8bf7\u5148\u767b\u5f55\/\"\ud83d\ude00\"", "result" : false })"),
      std::pair(false, "请先登录/\"" + Utf8ToAnsi("\xF0\x9F\x98\x80") + "\""));
  // Refused by status: the text when there is one, else the program's own.
  EXPECT_EQ(verdict("HTTP/1.1 403 Forbidden\r\n\r\n",
                    U8(u8R"({"result":false,"text":"工单提交过于频繁"})")),
            std::pair(false, Text("工单提交过于频繁")));
  EXPECT_EQ(
      verdict("HTTP/1.1 500 Internal Server Error\r\n\r\n", U8(u8R"({"result":true,"text":"x"})")),
      std::pair(false, Text("x")));
  const std::pair failed(false, Text(kTicketFailedText));
  EXPECT_EQ(verdict("", ""), failed);  // no answer at all
  EXPECT_EQ(verdict(ok, R"({"result":false})"), failed);
  EXPECT_EQ(verdict(ok, R"({"result":false,"text":"cut sho)"), failed);
  EXPECT_EQ(verdict(ok, R"({"result":false,"text":"\u12"})"), failed);
  EXPECT_EQ(verdict(ok, R"({"result":false,"text":""})"), failed);
}
