// FetchPage and the plain GET under Wine, checked on the wire by the
// recording server; and all three routines on several threads at once.
#include <chrono>
#include <thread>

#include "base/wide_win.h"
#include "tests/web/test_server.h"
#include "web/cert_trust_win.h"
#include "web/fetch_page.h"
#include "web/winhttp_fetch.h"

// Many requests here are sent for what the server receives: their replies
// are ignored on purpose.
#pragma GCC diagnostic ignored "-Wunused-result"

using namespace qx;
using namespace webtest;
using Strings = std::vector<std::string>;

namespace {

const Strings kDefaultNames = {"Accept", "Referer", "Accept-Language", "Content-Type"};

class FetchPageTest : public ServerTest {};

TEST_F(FetchPageTest, GetSendsTheThreeDefaultHeadersInOrder) {
  const std::string tag = NewTag(), url = HttpBase() + "/echo/" + tag;
  EXPECT_EQ(FetchPage(url), "echo");
  Recorded r = LastRequest(tag);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.line, "GET /echo/" + tag + " HTTP/1.1");
  EXPECT_EQ(r.NamesAmong(kDefaultNames), (Strings{"Accept", "Referer", "Accept-Language"}));
  EXPECT_EQ(r.Value("Accept"), "*/*");
  EXPECT_EQ(r.Value("Referer"), url);
  EXPECT_EQ(r.Value("Accept-Language"), "zh-cn");
  EXPECT_EQ(r.Value("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
  EXPECT_EQ(r.body, "");
}

TEST_F(FetchPageTest, PostSendsTheBodyAndTheFourDefaultHeadersInOrder) {
  const std::string tag = NewTag(), url = HttpBase() + "/echo/" + tag;
  EXPECT_EQ(FetchPage(url, 1, "a=1&b=2"), "echo");
  Recorded r = LastRequest(tag);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.line, "POST /echo/" + tag + " HTTP/1.1");
  EXPECT_EQ(r.body, "a=1&b=2");
  EXPECT_EQ(r.Value("Content-Length"), "7");
  EXPECT_EQ(r.NamesAmong(kDefaultNames),
            (Strings{"Accept", "Referer", "Accept-Language", "Content-Type"}));
  EXPECT_EQ(r.Value("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(r.Value("Referer"), url);
}

TEST_F(FetchPageTest, MethodIndexPicksTheVerbAndOutOfRangeMeansGet) {
  for (int method : {9, -1}) {
    const std::string tag = NewTag();
    FetchPage(HttpBase() + "/echo/" + tag, method, "ignored");
    Recorded r = LastRequest(tag);
    EXPECT_EQ(r.line, "GET /echo/" + tag + " HTTP/1.1") << "method " << method;
    EXPECT_EQ(r.body, "") << "a GET carries no body";
    EXPECT_EQ(r.Values("Content-Type").size(), 0u);
  }
  const std::string tag = NewTag();
  FetchPage(HttpBase() + "/echo/" + tag, 3, "x=1");
  Recorded r = LastRequest(tag);
  EXPECT_EQ(r.line, "PUT /echo/" + tag + " HTTP/1.1");
  EXPECT_EQ(r.body, "x=1");
  EXPECT_EQ(r.Values("Content-Type").size(), 0u) << "the form type is for POST only";
}

TEST_F(FetchPageTest, PostBytesWinOverPostTextAndEmptyOnesAreFilledFromIt) {
  std::string tag = NewTag();
  Bytes bytes;
  FetchPage(HttpBase() + "/echo/" + tag, 1, "a=1", nullptr, nullptr, {}, nullptr, false, &bytes);
  EXPECT_EQ(LastRequest(tag).body, "a=1");
  EXPECT_EQ(bytes, "a=1");

  tag = NewTag();
  bytes = std::string("b\0c", 3);
  FetchPage(HttpBase() + "/echo/" + tag, 1, "a=1", nullptr, nullptr, {}, nullptr, false, &bytes);
  EXPECT_EQ(LastRequest(tag).body, std::string("b\0c", 3));
}

TEST_F(FetchPageTest, UrlWithoutSchemeIsPlainHttp) {
  const std::string tag = NewTag();
  const std::string url = "127.0.0.1:" + std::to_string(Ports().http) + "/echo/" + tag + "?q=1";
  EXPECT_EQ(FetchPage(url), "echo");
  Recorded r = LastRequest(tag);
  EXPECT_EQ(r.line, "GET /echo/" + tag + "?q=1 HTTP/1.1");
  EXPECT_EQ(r.Value("Referer"), url) << "the URL exactly as given";
}

TEST_F(FetchPageTest, UpperCaseHttpsSchemeWithPortAndQueryReachesTheSelfSignedServer) {
  const std::string tag = NewTag();
  const std::string url = HttpsBase("HTTPS://") + "/echo/" + tag + "?b=1";
  Text headers;
  EXPECT_EQ(FetchPage(url, 0, {}, nullptr, nullptr, {}, &headers), "echo");
  EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headers;
  Recorded r = LastRequest(tag);
  EXPECT_EQ(r.line, "GET /echo/" + tag + "?b=1 HTTP/1.1");
  EXPECT_EQ(r.Value("Host"), "127.0.0.1:" + std::to_string(Ports().https));
}

// The pin is the one openssl gives for the server's public key. Another pin
// stands for a changed certificate: nothing of a refused request reaches the
// server, through either routine; trusted, the request goes and the pin is
// replaced.
TEST_F(FetchPageTest, HttpsCertificateIsPinnedAndAChangedOneIsAskedAbout) {
  const std::string host = "127.0.0.1:" + std::to_string(Ports().https);
  auto storedPin = [&] {
    wchar_t value[128] = {};
    DWORD size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, kCertificatePinsKey, Wide(host).c_str(), RRF_RT_REG_SZ, nullptr,
                 value, &size);
    return Narrow(value);
  };
  const std::string first = NewTag();
  EXPECT_EQ(FetchPage(HttpsBase() + "/echo/" + first, 1, "a=1"), "echo");
  ASSERT_EQ(ServerPin().size(), 64u);
  EXPECT_EQ(storedPin(), ServerPin());

  const std::string other(64, '0');
  RegSetKeyValueW(HKEY_CURRENT_USER, kCertificatePinsKey, Wide(host).c_str(), REG_SZ,
                  Wide(other).c_str(), static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t)));
  HostCertificates().Forget();
  Strings asked;
  bool trust = false;
  SetCertificatePrompt(
      [&](std::string_view hostPort, std::string_view oldPin, std::string_view newPin) {
        asked.push_back(Text(hostPort) + " " + Text(oldPin) + " " + Text(newPin));
        return trust;
      });
  const std::string refused = NewTag(), alsoRefused = NewTag(), trusted = NewTag();
  EXPECT_EQ(FetchPage(HttpsBase() + "/echo/" + refused, 1, "secret=1"), "");
  Text status;
  EXPECT_EQ(WinHttpFetch(HttpsBase() + "/echo/" + alsoRefused, 1, "secret=2", nullptr, nullptr, {},
                         nullptr, false, {}, {}, {}, {}, {}, 0, nullptr, &status),
            "");
  EXPECT_EQ(status, "711 发送请求失败!");
  EXPECT_EQ(RequestCount(refused) + RequestCount(alsoRefused), 0);
  EXPECT_EQ(asked, Strings(2, host + " " + other + " " + ServerPin()));
  EXPECT_EQ(storedPin(), other);

  trust = true;
  EXPECT_EQ(PlainGet(HttpsBase() + "/echo/" + trusted), "echo");
  EXPECT_EQ(RequestCount(trusted), 1);
  EXPECT_EQ(storedPin(), ServerPin());
  EXPECT_EQ(asked.size(), 3u);
  SetCertificatePrompt(nullptr);
}

TEST_F(FetchPageTest, CallerHeadersAreNormalizedAndSuppressTheirDefaults) {
  const std::string tag = NewTag();
  FetchPage(HttpBase() + "/echo/" + tag, 0, {}, nullptr, nullptr,
            "referer: http://example.test/from\r\naccept-language: en-us\r\nx-custom-thing: AbC");
  Recorded r = LastRequest(tag);
  EXPECT_EQ(r.NamesAmong(kDefaultNames), (Strings{"Referer", "Accept-Language", "Accept"}));
  EXPECT_EQ(r.Value("Referer"), "http://example.test/from");
  EXPECT_EQ(r.Value("Accept-Language"), "en-us");
  EXPECT_EQ(r.NamesAmong({"X-Custom-Thing"}), Strings{"X-Custom-Thing"});
  EXPECT_EQ(r.Value("X-Custom-Thing"), "AbC");
}

TEST_F(FetchPageTest, CallerAgentReplacesTheDefaultAgent) {
  const std::string tag = NewTag();
  FetchPage(HttpBase() + "/echo/" + tag, 0, {}, nullptr, nullptr, "user-agent:  Probe/2.0 ");
  EXPECT_EQ(LastRequest(tag).Value("User-Agent"), "Probe/2.0");
}

TEST_F(FetchPageTest, WithoutCompletionOnlyTheCallerHeadersGo) {
  const std::string tag = NewTag();
  FetchPage(HttpBase() + "/echo/" + tag, 1, "a=1", nullptr, nullptr, "X-One: 1", nullptr, false,
            nullptr, {}, true, /*completeHeaders=*/false);
  Recorded r = LastRequest(tag);
  EXPECT_TRUE(r.NamesAmong(kDefaultNames).empty());
  EXPECT_EQ(r.Value("X-One"), "1");
}

TEST_F(FetchPageTest, SetCookieLinesAreCapturedWithTheirExactNameOnly) {
  const std::string tag = NewTag();
  Text received = "stale", headers;
  const std::string url =
      HttpBase() + "/reply/" + tag + "?h=" + Q("Set-Cookie: sid=abc; path=/" + tag) +
      "&h=" + Q("Set-Cookie: lang=cn") + "&h=" + Q("set-cookie: low=1; path=/" + tag);
  FetchPage(url, 0, {}, nullptr, &received, {}, &headers);
  EXPECT_EQ(received, "sid=abc; lang=cn");
  EXPECT_NE(headers.find("set-cookie: low=1"), std::string::npos) << headers;
}

TEST_F(FetchPageTest, SessionCookieFromOneCallGoesWithTheNextThroughWinInetsStore) {
  const std::string tag = NewTag();
  FetchPage(HttpBase() + "/reply/" + tag + "?h=" + Q("Set-Cookie: sess=v1; path=/echo/" + tag));
  const std::string next = NewTag();
  FetchPage(HttpBase() + "/echo/" + tag + "/" + next);
  EXPECT_TRUE(LastRequest(next).HasCookie("sess=v1"));
}

TEST_F(FetchPageTest, EmptyCookiesToSendKeepsWinInetsStoreOutOfTheRequest) {
  const std::string tag = NewTag();
  const std::string scope = "/echo/" + tag;
  // The store holds a cookie for the path...
  FetchPage(HttpBase() + "/reply/" + tag + "?h=" + Q("Set-Cookie: kept=1; path=" + scope));
  const std::string t1 = NewTag();
  FetchPage(HttpBase() + scope + "/" + t1);
  ASSERT_TRUE(LastRequest(t1).HasCookie("kept=1"));
  // ...which a call with empty cookie text neither sends...
  const std::string t2 = NewTag();
  Text none;
  FetchPage(HttpBase() + scope + "/" + t2, 0, {}, &none);
  EXPECT_TRUE(LastRequest(t2).Values("Cookie").empty());
  // ...nor feeds: what it receives goes to the caller only, merged with the empty text.
  Text sent, received;
  FetchPage(HttpBase() + "/reply/" + tag + "?h=" + Q("Set-Cookie: handheld=2; path=" + scope), 0,
            {}, &sent, &received);
  EXPECT_EQ(received, "handheld=2");
  EXPECT_EQ(sent, "handheld=2");
  const std::string t3 = NewTag();
  FetchPage(HttpBase() + scope + "/" + t3);
  Recorded r3 = LastRequest(t3);
  EXPECT_TRUE(r3.HasCookie("kept=1"));
  EXPECT_FALSE(r3.HasCookie("handheld=2"));
}

TEST_F(FetchPageTest, CookieTextIsSentByHandAndMergedWithTheReply) {
  std::string tag = NewTag();
  Text sent = "a=1; b=2", received;
  FetchPage(HttpBase() + "/reply/" + tag + "?h=" + Q("Set-Cookie: b=3; path=/nowhere"), 0, {},
            &sent, &received);
  EXPECT_EQ(LastRequest(tag).Value("Cookie"), "a=1; b=2");
  EXPECT_EQ(received, "b=3; a=1");
  EXPECT_EQ(sent, "b=3; a=1");

  tag = NewTag();
  Text line = "Cookie: z=9";
  FetchPage(HttpBase() + "/echo/" + tag, 0, {}, &line, nullptr, {}, nullptr, false, nullptr, {},
            /*mergeCookies=*/false);
  EXPECT_EQ(LastRequest(tag).Value("Cookie"), "z=9");
  EXPECT_EQ(line, "Cookie: z=9");
}

TEST_F(FetchPageTest, RedirectsAreFollowedUnlessNoRedirect) {
  std::string tag = NewTag(), target = NewTag();
  EXPECT_EQ(FetchPage(HttpBase() + "/redirect/" + tag + "?to=" + Q("/echo/" + target)), "echo");
  EXPECT_EQ(RequestCount(target), 1);

  tag = NewTag(), target = NewTag();
  Text headers;
  EXPECT_EQ(FetchPage(HttpBase() + "/redirect/" + tag + "?to=" + Q("/echo/" + target), 0, {},
                      nullptr, nullptr, {}, &headers, /*noRedirect=*/true),
            "moved");
  EXPECT_EQ(headers.rfind("HTTP/1.1 302", 0), 0u) << headers;
  EXPECT_EQ(RequestCount(target), 0);
}

// A body (the login password) stays with its origin: a 307 to another port
// and a 308 to another host fail as failed requests and send nothing there,
// though a 302 (which drops the body) reaches the same place; within the
// origin a 307 repeats the body.
TEST_F(FetchPageTest, RedirectedBodiesStayWithTheirOrigin) {
  const std::string localhost = "http://localhost:" + std::to_string(Ports().http);
  for (const auto& [code, elsewhere] :
       {std::pair<std::string, std::string>{"307", OtherHttpBase()}, {"308", localhost}}) {
    const std::string refused = NewTag(), dropped = NewTag();
    EXPECT_EQ(FetchPage(HttpBase() + "/redirect/" + NewTag() + "?code=" + code +
                            "&to=" + Q(elsewhere + "/echo/" + refused),
                        1, "pw=secret"),
              "");
    EXPECT_EQ(FetchPage(HttpBase() + "/redirect/" + NewTag() +
                            "?code=302&to=" + Q(elsewhere + "/echo/" + dropped),
                        1, "pw=secret"),
              "echo");
    EXPECT_EQ(RequestCount(dropped), 1) << elsewhere;
    EXPECT_EQ(RequestCount(refused), 0) << code << " " << elsewhere;
  }
  const std::string kept = NewTag();
  EXPECT_EQ(FetchPage(HttpBase() + "/redirect/" + NewTag() + "?code=307&to=" + Q("/echo/" + kept),
                      1, "pw=secret"),
            "echo");
  EXPECT_EQ(LastRequest(kept).body, "pw=secret");
}

TEST_F(FetchPageTest, BodiesArriveWholeWhateverTheirSize) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{1024}, size_t{1500}, size_t{1048576}}) {
    const Bytes body = FetchPage(HttpBase() + "/big/" + NewTag() + "?n=" + std::to_string(n));
    EXPECT_EQ(body.size(), n);
    EXPECT_TRUE(body == BigBody(n)) << "body of " << n << " bytes differs";
  }
}

TEST_F(FetchPageTest, ErrorPagesComeBackLikeAnyOtherPage) {
  const Bytes body =
      FetchPage(HttpBase() + "/reply/" + NewTag() + "?status=" + Q("404 Not Found") + "&body=gone");
  EXPECT_EQ(body, "gone");
}

TEST_F(FetchPageTest, HeaderBlockOfAnySizeIsReadWholeWithItsCookies) {
  // Filler lines of 117 bytes with CR LF: 10 of them fit the first 5000-byte
  // buffer, 43 come close to it, 44 and 300 go past it.
  for (int n : {10, 43, 44, 300}) {
    const std::string tag = NewTag();
    Text received, headers;
    EXPECT_EQ(FetchPage(HttpBase() + "/bigheaders/" + tag + "?n=" + std::to_string(n), 0, {},
                        nullptr, &received, {}, &headers),
              "long");
    EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << n << " lines";
    char last[32];
    std::snprintf(last, sizeof last, "X-Filler-%03d: ", n - 1);
    EXPECT_NE(headers.find(last + std::string(100, 'a') + "\r\n"), std::string::npos)
        << n << " lines";
    EXPECT_EQ(headers.substr(headers.size() - 4), "\r\n\r\n") << "no blank padding";
    EXPECT_EQ(received, "big1=one; big2=two") << n << " lines";
    if (n >= 44) {
      EXPECT_GT(headers.size(), 5000u);
    }
  }
}

TEST_F(FetchPageTest, UnreachablePortGivesEmptyBytesPromptly) {
  const int port = FreePort();
  ASSERT_GT(port, 0);
  Text received = "before";
  const auto start = std::chrono::steady_clock::now();
  const Bytes body =
      FetchPage("http://127.0.0.1:" + std::to_string(port) + "/x", 0, {}, nullptr, &received);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(body, "");
  EXPECT_EQ(received, "");
  EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST_F(FetchPageTest, DroppedConnectionGivesEmptyBytes) {
  EXPECT_EQ(FetchPage(HttpBase() + "/drop/" + NewTag()), "");
}

TEST_F(FetchPageTest, PlainGetIsHttp10WithItsOwnAgentAndNoAddedHeaders) {
  const std::string tag = NewTag(), target = NewTag();
  EXPECT_EQ(PlainGet(HttpBase() + "/redirect/" + tag + "?to=" + Q("/echo/" + target)), "echo");
  Recorded r = LastRequest(tag);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.line.substr(0, 15 + tag.size()), "GET /redirect/" + tag + "?");
  EXPECT_EQ(r.line.substr(r.line.size() - 9), " HTTP/1.0");
  EXPECT_EQ(r.Value("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_TRUE(r.NamesAmong(kDefaultNames).empty());
  EXPECT_EQ(r.Value("Pragma"), "<absent>");
  EXPECT_EQ(r.Value("Cache-Control"), "<absent>");
  // The redirect is followed (Wine's WinINet asks the second time with HTTP/1.1).
  Recorded next = LastRequest(target);
  ASSERT_TRUE(next.found);
  EXPECT_EQ(next.line.substr(0, 10 + target.size()), "GET /echo/" + target);
  EXPECT_EQ(next.Value("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
}

TEST_F(FetchPageTest, PlainGetSharesTheCookieStore) {
  const std::string tag = NewTag(), scope = "/echo/" + tag;
  FetchPage(HttpBase() + "/reply/" + tag + "?h=" + Q("Set-Cookie: plain=7; path=" + scope));
  const std::string t1 = NewTag();
  PlainGet(HttpBase() + scope + "/" + t1);
  EXPECT_TRUE(LastRequest(t1).HasCookie("plain=7"));
}

TEST_F(FetchPageTest, PlainGetOfAnUnreachablePortIsEmpty) {
  const int port = FreePort();
  EXPECT_EQ(PlainGet("http://127.0.0.1:" + std::to_string(port) + "/x"), "");
}

TEST_F(FetchPageTest, RoutinesServeSeveralThreadsAtOnce) {
  // Portal requests and the notice page run on worker threads side by side.
  constexpr int kThreads = 4;
  std::vector<std::string> tags, pages(kThreads * 3);
  for (int i = 0; i < kThreads; ++i) tags.push_back(NewTag());
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      const std::string base = HttpBase() + "/echo/" + tags[i];
      pages[3 * i] = FetchPage(base + "a");
      pages[3 * i + 1] = WinHttpFetch(base + "b");
      pages[3 * i + 2] = PlainGet(base + "c");
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(pages, Strings(kThreads * 3, "echo"));
  for (const std::string& tag : tags) EXPECT_EQ(RequestCount(tag), 3) << tag;
}

}  // namespace
