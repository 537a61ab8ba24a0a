// The text rules of the request routines (portable).
#include "web/request_rules.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/test_util.h"
#include "web/fetch_page.h"

using namespace qx;

namespace {

TEST(RequestRules, MethodIndexOutsideTheTableIsGet) {
  EXPECT_STREQ(MethodVerb(-1), "GET");
  EXPECT_STREQ(MethodVerb(8), "GET");
  EXPECT_STREQ(MethodVerb(9), "GET");
  EXPECT_STREQ(MethodVerb(1), "POST");
  EXPECT_STREQ(MethodVerb(7), "CONNECT");
}

TEST(NormalizeHeaderNamesTest, CapitalizesEveryPartOfTheName) {
  EXPECT_EQ(NormalizeHeaderNames("content-type: text/html"), "Content-Type: text/html");
  EXPECT_EQ(NormalizeHeaderNames("accept-LANGUAGE: x"), "Accept-LANGUAGE: x");
  EXPECT_EQ(NormalizeHeaderNames("referer: http://a/b:c"), "Referer: http://a/b:c");
  EXPECT_EQ(NormalizeHeaderNames("x-requested-with:XMLHttp"), "X-Requested-With:XMLHttp");
  EXPECT_EQ(NormalizeHeaderNames("zip-zap: a"), "Zip-Zap: a");
}

TEST(NormalizeHeaderNamesTest, DropsLinesWithoutColonAndTheFinalLineBreak) {
  EXPECT_EQ(NormalizeHeaderNames("host: a\r\nnonsense\r\n\r\ncookie: k=v\r\n"),
            "Host: a\r\nCookie: k=v");
  EXPECT_EQ(NormalizeHeaderNames(""), "");
  EXPECT_EQ(NormalizeHeaderNames("no colon"), "");
  EXPECT_EQ(NormalizeHeaderNames("a--b: 1"), "A--B: 1");
}

TEST(FetchHeaders, AgentIsTheCallersOrTheDefault) {
  EXPECT_EQ(FetchAgent(""), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
  EXPECT_EQ(FetchAgent("Accept: x\r\nUser-Agent:  Probe/1 \r\nX: y"), "Probe/1");
  EXPECT_EQ(FetchAgent("user-agent: low"), "low");
}

TEST(FetchHeaders, DefaultsForGetAndPost) {
  EXPECT_EQ(CompleteFetchHeaders("", "http://h/p", 0),
            "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn");
  EXPECT_EQ(CompleteFetchHeaders("", "h/p", 1),
            "Accept: */*\r\nReferer: h/p\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");
}

TEST(FetchHeaders, CallerLinesInAnyCaseSuppressTheirDefaults) {
  EXPECT_EQ(CompleteFetchHeaders("referer: r\r\naccept-language: en", "u", 0),
            "referer: r\r\naccept-language: en\r\nAccept: */*");
  EXPECT_EQ(CompleteFetchHeaders("ACCEPT: a\r\ncontent-type: text/xml", "u", 1),
            "ACCEPT: a\r\ncontent-type: text/xml\r\nReferer: u\r\nAccept-Language: zh-cn");
  EXPECT_EQ(CompleteFetchHeaders("X: 1", "u", 2),
            "X: 1\r\nAccept: */*\r\nReferer: u\r\nAccept-Language: zh-cn");
}

TEST(FetchHeaders, CookieLine) {
  EXPECT_EQ(AppendFetchCookieHeader("A: 1", ""), "A: 1");
  EXPECT_EQ(AppendFetchCookieHeader("A: 1", "a=1; b=2"), "A: 1\r\nCookie: a=1; b=2");
  EXPECT_EQ(AppendFetchCookieHeader("A: 1", "Cookie: a=1"), "A: 1\r\nCookie: a=1");
  EXPECT_EQ(AppendFetchCookieHeader("A: 1", "cookie: a=1"), "A: 1\r\nCookie: cookie: a=1");
}

TEST(WinHttpHeaders, DefaultsInTableOrder) {
  const std::string get =
      "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
      "Accept: text/html, application/xhtml+xml, */*\r\n"
      "Accept-Encoding: identity\r\n"
      "Accept-Language: zh-cn\r\n"
      "Cache-Control: no-cache";
  EXPECT_EQ(WinHttpRequestHeaders("", 0, "", true, true), get);
  EXPECT_EQ(WinHttpRequestHeaders("", 1, "", true, true),
            "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
            "Accept: text/html, application/xhtml+xml, */*\r\n"
            "Accept-Encoding: identity\r\n"
            "Accept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n"
            "Cache-Control: no-cache");
  EXPECT_EQ(WinHttpRequestHeaders("", 0, "", true, false), get + "\r\n")
      << "not normalized: CR LF stays";
  EXPECT_EQ(WinHttpRequestHeaders("", 0, "", false, true), "");
  // Content-Type only for a POST.
  for (int method : {0, 2, 3})
    EXPECT_EQ(WinHttpRequestHeaders("", method, "", true, true).find("Content-Type"),
              std::string::npos)
        << method;
}

TEST(WinHttpHeaders, CallerLinesSuppressDefaultsOnlyWithTheSearchedText) {
  const std::string h = WinHttpRequestHeaders("user-agent: Mine\r\naccept:x", 0, "", true, true);
  EXPECT_EQ(h.find("Mozilla"), std::string::npos);
  // "Accept: " with its blank is what is searched for.
  EXPECT_EQ(h.rfind("User-Agent: Mine\r\nAccept:x\r\nAccept: text/html", 0), 0u) << h;
}

TEST(WinHttpHeaders, KeepAliveIsRemovedAndCookiesAppended) {
  EXPECT_EQ(WinHttpRequestHeaders("Connection: keep-alive\r\nX: 1", 0, "", false, true), "X: 1");
  EXPECT_EQ(WinHttpRequestHeaders("Connection: close\r\nX: 1", 0, "", false, true),
            "Connection: close\r\nX: 1");
  EXPECT_EQ(WinHttpRequestHeaders("X: 1", 0, "a=1", false, true), "X: 1\r\nCookie: a=1\r\n");
  EXPECT_EQ(WinHttpRequestHeaders("X: 1", 0, "Cookie: a=1", false, true),
            "X: 1\r\nCookie: a=1\r\n");
  EXPECT_EQ(WinHttpRequestHeaders("cookie: mine=1", 0, "a=1", false, true), "Cookie: mine=1");
  // The caller's line is found in any case, names normalized or not.
  EXPECT_EQ(WinHttpRequestHeaders("cookie: mine=1", 0, "a=1", false, false), "cookie: mine=1\r\n");
}

TEST(WinHttpTimeout, BelowOneSecondMeansThirty) {
  EXPECT_EQ(WinHttpTimeoutMs(0), 30000);
  EXPECT_EQ(WinHttpTimeoutMs(-5), 30000);
  EXPECT_EQ(WinHttpTimeoutMs(1), 1000);
  EXPECT_EQ(WinHttpTimeoutMs(7), 7000);
  // Saturates rather than overflows.
  EXPECT_EQ(WinHttpTimeoutMs(INT_MAX / 1000), INT_MAX / 1000 * 1000);
  EXPECT_EQ(WinHttpTimeoutMs(INT_MAX / 1000 + 1), INT_MAX);
  EXPECT_EQ(WinHttpTimeoutMs(INT_MAX), INT_MAX);
}

TEST(ResponseHeaders, SetCookieCaptureFollowsTheExactNameAndCutsAttributes) {
  EXPECT_EQ(CookiesFromHeaders("HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; path=/\r\n"
                               "Set-Cookie: lang=cn\r\nset-cookie: low=1\r\nSet-Cookie:glued=1\r\n"
                               "X-Set-Cookie: x=1\r\n\r\n"),
            "sid=abc; lang=cn");
  EXPECT_EQ(CookiesFromHeaders("HTTP/1.1 200 OK\r\nSet-Cookie:   spaced=1   \r\n\r\n"), "spaced=1");
  EXPECT_EQ(CookiesFromHeaders("HTTP/1.1 200 OK\r\n\r\n"), "");
  EXPECT_EQ(CookiesFromHeaders(""), "");
  Text cookie;
  EXPECT_TRUE(SetCookieFromLine("Set-Cookie: a=1;b=2", cookie));
  EXPECT_EQ(cookie, "a=1");
  EXPECT_FALSE(SetCookieFromLine("Set-Cookie2: a=1", cookie));
}

TEST(ResponseHeaders, LocationAndStatusText) {
  Text location = "unset";
  EXPECT_FALSE(LocationFromLine("Content-Type: x", location));
  EXPECT_FALSE(LocationFromLine("Location:/x", location));
  EXPECT_FALSE(LocationFromLine("Vocation: /x", location));
  EXPECT_EQ(location, "unset");
  EXPECT_TRUE(LocationFromLine("LOCATION: /y?z=1", location));
  EXPECT_EQ(location, "/y?z=1");
  EXPECT_TRUE(LocationFromLine("Location: ", location));
  EXPECT_EQ(location, "");
  EXPECT_EQ(StatusTextOf("HTTP/1.1 404 Not Found\r\nX: y\r\n\r\n"), "404 Not Found");
  EXPECT_EQ(StatusTextOf("HTTP/1.1 200 OK\r\n\r\n"), "200 OK");
  EXPECT_EQ(StatusTextOf("HTTP/1.1"), "");
}

TEST(ResponseHeaders, BodyCutShortOfTheDeclaredLength) {
  const char* block = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\ncontent-length: 10\r\n";
  EXPECT_TRUE(BodyCutShort(block, 0, 4));
  EXPECT_FALSE(BodyCutShort(block, 0, 10));
  EXPECT_FALSE(BodyCutShort(block, 2, 0)) << "HEAD has no body";
  EXPECT_FALSE(BodyCutShort("HTTP/1.1 304 Not Modified\r\nContent-Length: 10\r\n", 0, 0));
  EXPECT_FALSE(BodyCutShort(
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 10\r\n", 0, 4));
  EXPECT_FALSE(BodyCutShort("HTTP/1.1 200 OK\r\n", 0, 0));
  // Twenty digits still fit; a length beyond the largest number declares nothing.
  EXPECT_TRUE(BodyCutShort("HTTP/1.1 200 OK\r\nContent-Length: 18000000000000000000\r\n", 0, 4));
  EXPECT_FALSE(BodyCutShort("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n", 0, 4));
}

TEST(MetaCharset, FindsTheDeclaredCharset) {
  EXPECT_EQ(DetectMetaCharset("<meta charset=\"utf-8\">"), "utf-8");
  EXPECT_EQ(DetectMetaCharset(
                "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />"),
            "gb2312");
  EXPECT_EQ(DetectMetaCharset("<META CONTENT=\"text/html; CHARSET=UTF-8\">"), "UTF-8");
  EXPECT_EQ(DetectMetaCharset("<html><head><title>x</title>"), "");
  EXPECT_EQ(DetectMetaCharset("<meta name=\"x\" charset=shift_jis>"), "shift_jis");
  EXPECT_EQ(DetectMetaCharset("<meta charset=gb18030>"), "gb18030");
  EXPECT_EQ(DetectMetaCharset("<meta charset=AZaz09_>"), "AZaz09_") << "every edge of [-\\w]";
  // A lead byte as the last byte has no trail byte to pair with.
  EXPECT_EQ(DetectMetaCharset("<meta charset=big5>\x81"), "big5");
}

TEST(MetaCharset, BehavesLikeTheVbscriptPattern) {
  // "." does not cross a line feed, the next <meta does the work.
  EXPECT_EQ(DetectMetaCharset("<meta x\ncharset=utf-8>"), "");
  EXPECT_EQ(DetectMetaCharset("<meta a>\n<meta charset=big5>"), "big5");
  // ".+?" needs one character: "<metacharset=" alone does not match.
  EXPECT_EQ(DetectMetaCharset("<metacharset=utf-8>"), "");
  // "[^\w]?" takes one non-word character when the name still follows...
  EXPECT_EQ(DetectMetaCharset("<meta charset=-abc>"), "abc");
  EXPECT_EQ(DetectMetaCharset("<meta a charset=\nutf-8>"), "utf-8");
  // ...and gives it back when it must.
  EXPECT_EQ(DetectMetaCharset("<meta charset=->"), "-");
  // A charset= with no name is passed over for a later one.
  EXPECT_EQ(DetectMetaCharset("<meta charset=\"\" content=\"charset=koi8-r\">"), "koi8-r");
  // Two non-word characters are too many.
  EXPECT_EQ(DetectMetaCharset("<meta charset=\"'utf-8'\">"), "");
  // The name stops at the first character outside [-\w], a double-byte one too.
  EXPECT_EQ(DetectMetaCharset("<meta charset=utf-8登录"), "utf-8");
  EXPECT_EQ(DetectMetaCharset("<meta 登录 charset=GBK>"), "GBK");
  // 80 (the euro sign) and FF lead no character: the next byte stays its own.
  EXPECT_EQ(DetectMetaCharset("<meta \x80"
                              "charset=big5>"),
            "big5");
  EXPECT_EQ(DetectMetaCharset("<meta \xFF"
                              "charset=big5>"),
            "big5");
}

TEST(MetaCharset, OnlyTheFirst1024BytesCount) {
  const std::string tag = "<meta charset=utf-8>";
  EXPECT_EQ(DetectMetaCharset(std::string(1024 - tag.size(), ' ') + tag), "utf-8");
  EXPECT_EQ(DetectMetaCharset(std::string(1026 - tag.size(), ' ') + tag), "utf-");
  EXPECT_EQ(DetectMetaCharset(std::string(1100, ' ') + tag), "");
}

TEST(MetaCharset, CodePageTableIgnoresCase) {
  EXPECT_EQ(CodePageOfCharset("UTF-8"), 65001u);
  EXPECT_EQ(CodePageOfCharset("Gb2312"), 936u);
  EXPECT_EQ(CodePageOfCharset("GBK"), 936u);
  EXPECT_EQ(CodePageOfCharset("Shift_JIS"), 932u);
  EXPECT_EQ(CodePageOfCharset("x-nothing"), 0u);
  EXPECT_EQ(CodePageOfCharset(""), 0u);
}

TEST(DecodePageTest, Utf8PagesBecomeGbkOthersStayAsTheyAre) {
  const std::string utf8 = "<meta charset=utf-8>" + U8(u8"拨号");
  EXPECT_EQ(DecodePage(utf8), "<meta charset=utf-8>拨号");
  EXPECT_EQ(DecodePage("\xEF\xBB\xBF<meta charset=utf-8>" + U8(u8"拨号")),
            "<meta charset=utf-8>拨号")
      << "byte-order mark dropped";
  const std::string gb = "<meta charset=gb2312>" + U8(u8"拨号");
  EXPECT_EQ(DecodePage(gb), gb);
  const std::string gbk = "<meta charset=gbk>" + U8(u8"拨号") + "\xFF";
  EXPECT_EQ(DecodePage(gbk), gbk) << "gbk: the bytes as they came, not converted";
  const std::string unknown = "<meta charset=x-nothing>" + U8(u8"拨号");
  EXPECT_EQ(DecodePage(unknown), unknown);
  EXPECT_EQ(DecodePage(U8(u8"拨号")), U8(u8"拨号")) << "no tag: no decoding";
  EXPECT_EQ(DecodePage(std::string("ab\0cd", 5)), "ab") << "the page ends at the first NUL";
  EXPECT_EQ(DecodePage(""), "");
}

TEST(RequestBounds, RedirectTargetsMethodsAndTheTimeoutOverride) {
  const std::string from = "http://h:81/a/b?q=1";
  EXPECT_EQ(RedirectTarget(from, " HTTPS://x/y "), "https://x/y");
  EXPECT_EQ(RedirectTarget(from, "//user/members"), "http://user/members");
  EXPECT_EQ(RedirectTarget(from, "/login"), "http://h:81/login");
  EXPECT_EQ(RedirectTarget(from, "?r=2"), "http://h:81/a/b?r=2");
  EXPECT_EQ(RedirectTarget(from, "c?d=/e"), "http://h:81/a/c?d=/e");
  EXPECT_EQ(RedirectTarget("h.example", "c"), "http://h.example/c");
  EXPECT_EQ(RedirectTarget(from, "JavaScript:alert(1)"), "");
  EXPECT_EQ(RedirectTarget(from, "file://c/x"), "");
  EXPECT_EQ(RedirectTarget(from, "c:/x"), "") << "a one-letter scheme";
  EXPECT_EQ(RedirectTarget(from, ""), "");
  EXPECT_EQ(MethodAfterRedirect(302, 1), 0);
  EXPECT_EQ(MethodAfterRedirect(307, 1), 1);
  EXPECT_EQ(MethodAfterRedirect(303, 3), 0);
  EXPECT_EQ(MethodAfterRedirect(303, 2), 2);
  for (long status : {301, 302, 303, 307, 308}) EXPECT_TRUE(IsRedirectStatus(status)) << status;
  EXPECT_FALSE(IsRedirectStatus(304));

  EXPECT_EQ(RequestTimeoutMs(""), 30000);
  EXPECT_EQ(RequestTimeoutMs(" 1500 "), 1500);
  EXPECT_EQ(RequestTimeoutMs("5"), 100);
  EXPECT_EQ(RequestTimeoutMs("999999999"), 600000);
  EXPECT_EQ(RequestTimeoutMs("-1"), 30000);
  EXPECT_EQ(RequestTimeoutMs("1e3"), 30000);
  EXPECT_EQ(RequestDeadlineMs(30000), 120000);
}

}  // namespace
