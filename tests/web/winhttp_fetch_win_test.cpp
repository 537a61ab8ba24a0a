// WinHttpFetch under Wine against the recording server: numbered failures,
// timeouts, status text, Location, cookies, headers and the page charset.
#include <chrono>

#include "tests/test_util.h"
#include "tests/web/test_server.h"
#include "web/winhttp_fetch.h"

// Many requests here are sent for what the server receives: their replies
// are ignored on purpose.
#pragma GCC diagnostic ignored "-Wunused-result"

using namespace qx;
using namespace webtest;
using Strings = std::vector<std::string>;

namespace {

class WinHttpFetchTest : public ServerTest {};

// The page a /reply/ URL serves with the given body bytes.
std::string ReplyUrl(const std::string& body, const std::string& more = {}) {
  return HttpBase() + "/reply/" + NewTag() + "?hex=" + Hex(body) + more;
}

TEST_F(WinHttpFetchTest, UnparseableUrlIs701) {
  Text status = "unchanged?", body = "kept";
  EXPECT_EQ(WinHttpFetch("not a url", 0, {}, nullptr, nullptr, {}, nullptr, false, {}, {}, {}, {},
                         {}, 0, nullptr, &status, &body),
            "");
  EXPECT_EQ(status, "701 解析URL地址失败!");
  EXPECT_EQ(body, "kept") << "outputs keep their values on failure";
}

TEST_F(WinHttpFetchTest, UnreachablePortIs711) {
  const int port = FreePort();
  ASSERT_GT(port, 0);
  Text status;
  EXPECT_EQ(WinHttpFetch("http://127.0.0.1:" + std::to_string(port) + "/", 0, {}, nullptr, nullptr,
                         {}, nullptr, false, {}, {}, {}, {}, {}, 0, nullptr, &status),
            "");
  EXPECT_EQ(status, "711 发送请求失败!");
}

TEST_F(WinHttpFetchTest, StalledServerFailsAfterTheTimeout) {
  Text status;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(
      WinHttpFetch(HttpBase() + "/stall/" + NewTag() + "?s=20", 0, {}, nullptr, nullptr, {},
                   nullptr, false, {}, {}, {}, {}, {}, /*timeoutSeconds=*/1, nullptr, &status),
      "");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(status, "712 服务器未响应!");
  EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST_F(WinHttpFetchTest, DroppedConnectionIs712) {
  Text status;
  WinHttpFetch(HttpBase() + "/drop/" + NewTag(), 0, {}, nullptr, nullptr, {}, nullptr, false, {},
               {}, {}, {}, {}, 5, nullptr, &status);
  EXPECT_EQ(status, "712 服务器未响应!");
}

TEST_F(WinHttpFetchTest, PageCutShortIs713WithWhatCame) {
  Text status;
  Bytes raw;
  EXPECT_EQ(WinHttpFetch(HttpBase() + "/cut/" + NewTag() + "?body=half", 0, {}, nullptr, nullptr,
                         {}, nullptr, false, {}, {}, {}, {}, {}, 5, nullptr, &status, &raw),
            "half");
  EXPECT_EQ(status, "713 读取数据失败!");
  EXPECT_EQ(raw, "half");
}

TEST_F(WinHttpFetchTest, StatusTextAndErrorPageBody) {
  Text status, headers;
  Bytes body;
  EXPECT_EQ(
      WinHttpFetch(
          HttpBase() + "/reply/" + NewTag() + "?status=" + Q("404 Not Found") + "&body=gone", 0, {},
          nullptr, nullptr, {}, &headers, false, {}, {}, {}, {}, {}, 0, nullptr, &status, &body),
      "gone");
  EXPECT_EQ(status, "404 Not Found");
  EXPECT_EQ(body, "gone");
  EXPECT_EQ(headers.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u) << headers;
}

TEST_F(WinHttpFetchTest, NoRedirectGivesTheLocationAndThe302Body) {
  const std::string target = NewTag();
  Text status, location = "old";
  EXPECT_EQ(WinHttpFetch(HttpBase() + "/redirect/" + NewTag() + "?to=" + Q("/echo/" + target), 0,
                         {}, nullptr, nullptr, {}, nullptr, /*noRedirect=*/true, {}, {}, {}, {}, {},
                         0, &location, &status),
            "moved");
  EXPECT_EQ(location, "/echo/" + target);
  EXPECT_EQ(status, "302 Found");
  EXPECT_EQ(RequestCount(target), 0);

  const std::string followed = NewTag();
  EXPECT_EQ(WinHttpFetch(HttpBase() + "/redirect/" + NewTag() + "?to=" + Q("/echo/" + followed)),
            "echo");
  EXPECT_EQ(RequestCount(followed), 1);

  // A body stays with its origin: a 307 to another port is not sent on,
  // a 302 there (no body) and a 307 within the origin (the body) are.
  const std::string refused = NewTag(), dropped = NewTag(), kept = NewTag();
  status.clear();
  EXPECT_EQ(WinHttpFetch(HttpBase() + "/redirect/" + NewTag() +
                             "?code=307&to=" + Q(OtherHttpBase() + "/echo/" + refused),
                         1, "pw=secret", nullptr, nullptr, {}, nullptr, false, {}, {}, {}, {}, {},
                         0, nullptr, &status),
            "");
  EXPECT_EQ(status, "711 发送请求失败!");
  EXPECT_EQ(WinHttpFetch(HttpBase() + "/redirect/" + NewTag() +
                             "?code=302&to=" + Q(OtherHttpBase() + "/echo/" + dropped),
                         1, "pw=secret"),
            "echo");
  EXPECT_EQ(
      WinHttpFetch(HttpBase() + "/redirect/" + NewTag() + "?code=307&to=" + Q("/echo/" + kept), 1,
                   "pw=secret"),
      "echo");
  EXPECT_EQ(RequestCount(dropped), 1);
  EXPECT_EQ(LastRequest(kept).body, "pw=secret");
  EXPECT_EQ(RequestCount(refused), 0);
}

TEST_F(WinHttpFetchTest, SelfSignedHttpsServerIsAccepted) {
  const std::string tag = NewTag();
  Text status;
  EXPECT_EQ(WinHttpFetch(HttpsBase() + "/echo/" + tag + "?q=1", 0, {}, nullptr, nullptr, {},
                         nullptr, false, {}, {}, {}, {}, {}, 0, nullptr, &status),
            "echo");
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(LastRequest(tag).line, "GET /echo/" + tag + "?q=1 HTTP/1.1");
}

TEST_F(WinHttpFetchTest, DefaultHeadersGoInTableOrder) {
  const Strings names = {"User-Agent",      "Accept",       "Accept-Encoding",
                         "Accept-Language", "Content-Type", "Cache-Control"};
  std::string tag = NewTag();
  WinHttpFetch(HttpBase() + "/echo/" + tag);
  Recorded r = LastRequest(tag);
  EXPECT_EQ(r.NamesAmong(names), (Strings{"User-Agent", "Accept", "Accept-Encoding",
                                          "Accept-Language", "Cache-Control"}));
  EXPECT_EQ(r.Value("User-Agent"),
            "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)");
  EXPECT_EQ(r.Value("Accept"), "text/html, application/xhtml+xml, */*");
  EXPECT_EQ(r.Value("Accept-Encoding"), "identity");
  EXPECT_EQ(r.Value("Cache-Control"), "no-cache");

  tag = NewTag();
  WinHttpFetch(HttpBase() + "/echo/" + tag, 1, "a=1&b=2");
  r = LastRequest(tag);
  EXPECT_EQ(r.line, "POST /echo/" + tag + " HTTP/1.1");
  EXPECT_EQ(r.body, "a=1&b=2");
  EXPECT_EQ(r.NamesAmong(names), names);
  EXPECT_EQ(r.Value("Content-Type"), "application/x-www-form-urlencoded");
}

TEST_F(WinHttpFetchTest, CallerAgentInAnyCaseSuppressesTheDefault) {
  const std::string tag = NewTag();
  WinHttpFetch(HttpBase() + "/echo/" + tag, 9, {}, nullptr, nullptr, "user-agent: Probe/3");
  Recorded r = LastRequest(tag);
  EXPECT_EQ(r.line.substr(0, 4), "GET ");
  EXPECT_EQ(r.Values("User-Agent"), Strings{"Probe/3"});
  EXPECT_EQ(r.NamesAmong({"User-Agent"}), Strings{"User-Agent"}) << "name normalized";
}

TEST_F(WinHttpFetchTest, CookiesAreCarriedByHandOnly) {
  // WinHTTP keeps nothing: a cookie set by one call is not sent by the next.
  const std::string tag = NewTag();
  Text received;
  WinHttpFetch(HttpBase() + "/reply/" + tag + "?h=" + Q("Set-Cookie: sid=abc; path=/") +
                   "&h=" + Q("Set-Cookie: lang=cn") + "&h=" + Q("set-cookie: low=1"),
               0, {}, nullptr, &received);
  EXPECT_EQ(received, "sid=abc; lang=cn");
  const std::string next = NewTag();
  WinHttpFetch(HttpBase() + "/echo/" + next);
  EXPECT_TRUE(LastRequest(next).Values("Cookie").empty());

  // Cookie text given: sent, and merged with the reply's cookies.
  const std::string hand = NewTag();
  Text sent = "a=1; sid=old", merged;
  WinHttpFetch(HttpBase() + "/reply/" + hand + "?h=" + Q("Set-Cookie: sid=new; path=/"), 0, {},
               &sent, &merged);
  EXPECT_EQ(LastRequest(hand).Value("Cookie"), "a=1; sid=old");
  EXPECT_EQ(merged, "sid=new; a=1");
  EXPECT_EQ(sent, "sid=new; a=1");
}

// Pages and the charset they declare.
TEST_F(WinHttpFetchTest, Utf8PageComesBackInGbk) {
  const std::string head =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
  Bytes raw;
  EXPECT_EQ(
      WinHttpFetch(ReplyUrl(head + U8(u8"</head><body>拨号VPS管理终端</body>")), 0, {}, nullptr,
                   nullptr, {}, nullptr, false, {}, {}, {}, {}, {}, 0, nullptr, nullptr, &raw),
      head + "</head><body>拨号VPS管理终端</body>");
  EXPECT_EQ(raw, head + U8(u8"</head><body>拨号VPS管理终端</body>")) << "bodyBytes stay raw";
}

TEST_F(WinHttpFetchTest, UpperCaseMetaAndCharsetAreFound) {
  const std::string head =
      "<HTML><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=UTF-8\">";
  EXPECT_EQ(WinHttpFetch(ReplyUrl(head + U8(u8"登录"))), head + "登录");
}

TEST_F(WinHttpFetchTest, Gb2312PageIsKeptByteForByte) {
  // UTF-8 bytes under a gb2312 tag: taken as they are, not decoded.
  const std::string page = "<meta charset=\"gb2312\">" + U8(u8"登录");
  EXPECT_EQ(WinHttpFetch(ReplyUrl(page)), page);
}

TEST_F(WinHttpFetchTest, CharsetTagAfterByte1024IsNotSeen) {
  const std::string tail = "<meta charset=\"utf-8\">" + U8(u8"登录");
  EXPECT_EQ(WinHttpFetch(ReplyUrl(tail, "&pad=1100")), std::string(1100, 'x') + tail);
  // ...while one that ends inside the first 1024 bytes is.
  EXPECT_EQ(WinHttpFetch(ReplyUrl(tail, "&pad=990")),
            std::string(990, 'x') + "<meta charset=\"utf-8\">登录");
}

TEST_F(WinHttpFetchTest, OtherCharsetsAreDecoded) {
  // 中文 in Big5 is A4 A4 A4 E5.
  EXPECT_EQ(WinHttpFetch(ReplyUrl("<meta charset=big5>\xA4\xA4\xA4\xE5")),
            "<meta charset=big5>中文");
  // ü is FC in ISO-8859-1 and A8 B9 in GBK.
  EXPECT_EQ(WinHttpFetch(ReplyUrl("<meta charset=iso-8859-1>\xFC")),
            "<meta charset=iso-8859-1>\xA8\xB9");
}

TEST_F(WinHttpFetchTest, UpperCaseGbkIsDecodedWhileLowerCaseGbkIsKept) {
  // A lead byte cut off at the end shows the difference: decoding turns it
  // into the default character.
  EXPECT_EQ(WinHttpFetch(ReplyUrl("<meta charset=GBK>登录\x81")), "<meta charset=GBK>登录?");
  EXPECT_EQ(WinHttpFetch(ReplyUrl("<meta charset=gbk>登录\x81")), "<meta charset=gbk>登录\x81");
}

TEST_F(WinHttpFetchTest, UnknownCharsetKeepsTheBytes) {
  const std::string page = "<meta charset=x-nothing>" + U8(u8"登录");
  EXPECT_EQ(WinHttpFetch(ReplyUrl(page)), page);
}

}  // namespace
