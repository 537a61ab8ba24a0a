// The request routines' bounds under Wine, against the recording server:
// every wait ends after the phase timeout (1 s here, set through
// QARVEX_REQUEST_TIMEOUT_MS), a page that trickles in ends at the deadline
// (four phases), a redirect loop after ten redirects, and a body above 64 MB
// is a failed request. Each bound that is hit gives what a failed request
// gives.
#include <chrono>

#include "tests/web/test_server.h"
#include "web/fetch_page.h"
#include "web/request_rules.h"
#include "web/winhttp_fetch.h"

// Many requests here are sent for what the server receives: their replies
// are ignored on purpose.
#pragma GCC diagnostic ignored "-Wunused-result"

using namespace qx;
using namespace webtest;
using std::chrono::milliseconds;

namespace {

class RequestBoundsTest : public ServerTest {};

// How long `call` takes.
template <class F>
milliseconds Timed(F call) {
  const auto start = std::chrono::steady_clock::now();
  call();
  return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
}

TEST_F(RequestBoundsTest, StallsAndTricklesEndWithinTheirBoundsAsFailedRequests) {
  const std::string stall = HttpBase() + "/stall/" + NewTag() + "?s=30";
  const std::string stallBody = HttpBase() + "/stallbody/" + NewTag() + "?s=30&body=half";
  const std::string trickle = HttpBase() + "/trickle/" + NewTag() + "?n=100&ms=300";  // 30 s
  Bytes body = "unset";
  // No byte at all, and half a page: one phase (1 s) each, well before the
  // deadline (4 s), let alone the server's 30 s.
  EXPECT_LT(Timed([&] { body = FetchPage(stall); }), milliseconds(3000));
  EXPECT_EQ(body, "");
  EXPECT_LT(Timed([&] { body = PlainGet(stall); }), milliseconds(3000));
  EXPECT_EQ(body, "");
  EXPECT_LT(Timed([&] { body = FetchPage(stallBody, 1, "a=1"); }), milliseconds(3000));
  EXPECT_EQ(body, "") << "half a page is no page";
  // Bytes keep coming, each within the phase: the deadline (4 s, and one
  // phase at most) ends it, long before the page's 30 s.
  milliseconds took = Timed([&] { body = FetchPage(trickle); });
  EXPECT_GE(took, milliseconds(3500));
  EXPECT_LT(took, milliseconds(10000));
  EXPECT_EQ(body, "");

  // WinHttpFetch: its own timeout (1 s here) and the same deadline rule.
  Text status;
  took = Timed([&] {
    WinHttpFetch(HttpBase() + "/trickle/" + NewTag() + "?n=100&ms=300", 0, {}, nullptr, nullptr, {},
                 nullptr, false, {}, {}, {}, {}, {}, 1, nullptr, &status);
  });
  EXPECT_LT(took, milliseconds(10000));
  EXPECT_EQ(status, "713 读取数据失败!");
}

TEST_F(RequestBoundsTest, RedirectLoopEndsAfterTenRedirectsAsAFailedRequest) {
  const std::string tag = NewTag();
  EXPECT_EQ(FetchPage(HttpBase() + "/loop/" + tag, 1, "a=1"), "");
  EXPECT_EQ(RequestCount(tag), kMaxRedirects + 1);
  const std::string plain = NewTag();
  EXPECT_EQ(PlainGet(HttpBase() + "/loop/" + plain), "");
  EXPECT_EQ(RequestCount(plain), kMaxRedirects + 1);
}

TEST_F(RequestBoundsTest, BodyAboveSixtyFourMegabytesIsAFailedRequest) {
  const std::string url =
      HttpBase() + "/huge/" + NewTag() + "?n=" + std::to_string(kMaxBodyBytes + 1);
  EXPECT_EQ(FetchPage(url).size(), 0u);
  Text status;
  Bytes raw = "kept";
  EXPECT_EQ(WinHttpFetch(url, 0, {}, nullptr, nullptr, {}, nullptr, false, {}, {}, {}, {}, {}, 0,
                         nullptr, &status, &raw),
            "");
  EXPECT_EQ(status, "713 读取数据失败!");
  EXPECT_EQ(raw, "kept");
}

}  // namespace
