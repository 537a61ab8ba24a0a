#include "base/name_lookup_win.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(LookUpHost, FindsNamesAndAddressesAndTellsANameNotFound) {
  std::uint32_t address = 0;
  ASSERT_EQ(LookUpHost("localhost", 30000, &address), HostLookup::Found);
  const auto* octets = reinterpret_cast<const unsigned char*>(&address);
  EXPECT_EQ(octets[0], 127);
  address = 0;
  ASSERT_EQ(LookUpHost("10.1.2.3", 30000, &address), HostLookup::Found);
  EXPECT_EQ(octets[0] * 1000 + octets[3], 10003);
  EXPECT_EQ(LookUpHost("qarvex-no-such-host.invalid", 30000), HostLookup::NotFound);
}

}  // namespace
}  // namespace qx
