#include <gtest/gtest.h>

#include "web/cookies.h"
#include "web/url.h"

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

TEST(MergeCookies, NewItemsFirstThenOldOnesByName) {
  Text sent;
  EXPECT_EQ(MergeCookies(sent, "sid=1"), "sid=1");
  sent = "a=1; b=2";
  EXPECT_EQ(MergeCookies(sent, "b=3"), "b=3; a=1");
  EXPECT_EQ(sent, "b=3; a=1");
  sent = "SID=1";
  EXPECT_EQ(MergeCookies(sent, "sid=2"), "sid=2; SID=1");
  // Of two old items with one name only the first is taken.
  sent = "a=1; a=2; c=3";
  EXPECT_EQ(MergeCookies(sent, ""), "a=1; c=3");
  // Names are trimmed for comparison only.
  sent = "a =1";
  EXPECT_EQ(MergeCookies(sent, "a=2"), "a=2");
}

TEST(MergeCookies, DeletionTrailingSemicolonAndDuplicates) {
  Text sent = "a=1; sid=9";
  EXPECT_EQ(MergeCookies(sent, "sid=deleted"), "a=1");
  sent = "a=1;";
  EXPECT_EQ(MergeCookies(sent, ""), "a=1");
  sent = "";
  EXPECT_EQ(MergeCookies(sent, ""), "");
  EXPECT_EQ(sent, "");
  sent = "x=0";
  EXPECT_EQ(MergeCookies(sent, "x=1; x=1"), "x=1");
  sent = "sid=deleted";
  EXPECT_EQ(MergeCookies(sent, " "), "");
  sent = "a=1";
  EXPECT_EQ(MergeCookies(sent, "=deleted"), "a=1") << "a deletion without a name";
  EXPECT_EQ(CookieName(" sid =x=y"), "sid");
  EXPECT_EQ(CookieName("flag"), "flag");
}
