#include "web/url.h"

#include <gtest/gtest.h>

using namespace qx;

TEST(SplitUrl, UpperCaseSchemeExplicitPortAndQuery) {
  const char* url = "HTTP://WWW.Example.COM:8080/A/b?c=D";
  EXPECT_EQ(UrlHost(url), "www.example.com");
  EXPECT_EQ(UrlHost(url, false, true), "www.example.com:8080");
  EXPECT_EQ(UrlPort(url), 8080);
  EXPECT_EQ(UrlPath(url), "/A/b?c=D");
  EXPECT_EQ(UrlPort("HTTPS://h.example:8443/a?b=1"), 8443);
  EXPECT_EQ(UrlPath("HTTPS://h.example:8443/a?b=1"), "/a?b=1");
}

TEST(SplitUrl, DefaultsWithoutPortPathOrScheme) {
  EXPECT_EQ(UrlHost("http://h.example"), "h.example");
  EXPECT_EQ(UrlPath("http://h.example"), "/");
  EXPECT_EQ(UrlPath("https://h.example:99"), "/");
  EXPECT_EQ(UrlPort("https://h.example/x"), 443);
  EXPECT_EQ(UrlPort("HTTPS://h.example/x"), 443);
  EXPECT_EQ(UrlPort("http://h:65535/"), 65535);
  EXPECT_EQ(UrlPort("http://h:65536/"), 0) << "no port at all";
  EXPECT_EQ(UrlPort("http://:8080/"), 8080) << "a port without a host";
  EXPECT_EQ(UrlPort("http://h.example/x"), 80);
  EXPECT_EQ(UrlHost("h.example/p/q"), "h.example");
  EXPECT_EQ(UrlPort("h.example/p/q"), 80);
  EXPECT_EQ(UrlPath("h.example/p/q"), "/p/q");
  // The portal's paths begin with two slashes; they stay as they are.
  EXPECT_EQ(UrlPath("http://127.0.0.1:8000//user/members"), "//user/members");
  EXPECT_EQ(UrlHost("http://127.0.0.1:8000//user"), "127.0.0.1");
}

TEST(SplitUrl, HostWhoseLettersOccurInTheScheme) {
  EXPECT_EQ(UrlPath("http://h/x"), "/x");
  EXPECT_EQ(UrlPath("https://s/p?q=1"), "/p?q=1");
  EXPECT_EQ(UrlPath("http://t:8/x"), "/x");
  EXPECT_EQ(UrlPath("HTTP://P"), "/");
  // The host behind "http://" is found whatever its case, after an earlier "://".
  EXPECT_EQ(UrlPath("ftp://a/http://Host/p"), "/p");
}

TEST(SplitUrl, RootDomain) {
  EXPECT_EQ(UrlHost("http://a.b.example.com/x", true), "example.com");
  EXPECT_EQ(UrlHost("http://localhost/x", true), "localhost");
}

TEST(BrowserFormEncode, BrowserFormRules) {
  EXPECT_EQ(BrowserFormEncode("a&b=c%d+e f"), "a%26b%3Dc%25d%2Be+f");
  EXPECT_EQ(BrowserFormEncode("\xE7\x99\xBB"), "%E7%99%BB");
  EXPECT_EQ(BrowserFormEncode("Az09-_.*"), "Az09-_.*");
}

TEST(FormEncode, Table) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"", ""},
      {"a b", "a+b"},
      {"\r\n", "%0D%0A"},
      {"工单", "%E5%B7%A5%E5%8D%95"},  // each character as the three groups of its UTF-8 bytes
      {"AZaz09-._'()*", "AZaz09-._'()*"},
      {"!~", "%21%7E"},
      {"&=+%/:?#\"", "%26%3D%2B%25%2F%3A%3F%23%22"},
      {std::string("a\0b", 3), "ab"},  // a NUL byte is dropped
      {"\x7F", "%7F"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormEncode(c.in), c.out) << c.in;
}
