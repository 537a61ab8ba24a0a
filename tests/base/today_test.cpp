#include "base/today.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(Today, OnlyARealDateStandsInForTheClock) {
  const auto d = ParseDate("2024-02-29");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->year * 10000 + d->month * 100 + d->day, 20240229);
  for (const char* bad : {"2023-02-29", "2024-04-31", "2024-13-01", "2024-1-01", "2024-01-01 ", ""})
    EXPECT_FALSE(ParseDate(bad)) << bad;
}

}  // namespace
}  // namespace qx
