#include "remote/probe.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(Probe, PlainHostAndPortOnlyAndHowResultsReadAndSort) {
  auto t = ProbeTargetOf("10.0.0.1:3389");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->host, "10.0.0.1");
  EXPECT_EQ(t->port, 3389);
  EXPECT_EQ(ProbeTargetOf("vps-3.example.com:65535")->port, 65535);
  for (const char* bad : {"10.0.0.1", "10.0.0.1:", ":22", "10.0.0.1:0", "10.0.0.1:65536",
                          "10.0.0.1:3389\r\nalternate shell:s:cmd", "a b:22", "10.0.0.1:22x",
                          "[::1]:22", "10.0.0.1:000022"})
    EXPECT_FALSE(ProbeTargetOf(bad)) << bad;

  EXPECT_EQ(LatencyText(23), "23 ms");
  EXPECT_EQ(LatencyText(0), "0 ms");
  EXPECT_EQ(LatencyText(kLatencyNoAnswer), "无响应");
  EXPECT_EQ(LatencyText(kLatencyProbing), "检测中…");
  EXPECT_EQ(LatencyText(kLatencyNotProbed), "—");
  // Unreachable machines after every answering one, however slow.
  EXPECT_LT(LatencySortKey(2999), LatencySortKey(kLatencyNoAnswer));
  EXPECT_LT(LatencySortKey(3), LatencySortKey(25));
  EXPECT_LT(LatencySortKey(kLatencyNoAnswer), LatencySortKey(kLatencyNotProbed));
}

}  // namespace
}  // namespace qx
