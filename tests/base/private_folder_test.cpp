// The private folders' access rules, as text.
#include "base/private_folder.h"

#include <gtest/gtest.h>

using namespace qx;

namespace {
constexpr const char* kUser = "S-1-5-21-1-2-3-1001";
}

TEST(PrivateFolder, DaclIsProtectedAndGrantsTheUserSystemAndAdministratorsOnly) {
  EXPECT_EQ(PrivateFolderSddl(kUser),
            "D:P(A;OICI;FA;;;S-1-5-21-1-2-3-1001)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
  // Nothing but a SID: another text could close the ACE and open one for everyone.
  EXPECT_EQ(PrivateFolderSddl(""), "");
  EXPECT_EQ(PrivateFolderSddl("S-1-5-21-1)(A;OICI;FA;;;WD"), "");
  EXPECT_EQ(PrivateFolderSddl("WD"), "");
}

TEST(PrivateFolder, OwnerIsTheUserOrTheAdministratorsTheUserIsOneOf) {
  EXPECT_TRUE(OwnerIsUsers(kUser, kUser, false));
  EXPECT_TRUE(OwnerIsUsers("s-1-5-21-1-2-3-1001", kUser, false));
  EXPECT_FALSE(OwnerIsUsers("S-1-5-21-1-2-3-1002", kUser, true));
  EXPECT_FALSE(OwnerIsUsers("S-1-5-21-1-2-3-10010", kUser, true));
  // Made by an elevated process: the user's only when the user is an administrator.
  EXPECT_TRUE(OwnerIsUsers(kAdministratorsSid, kUser, true));
  EXPECT_FALSE(OwnerIsUsers(kAdministratorsSid, kUser, false));
  EXPECT_FALSE(OwnerIsUsers("S-1-5-18", kUser, true));  // SYSTEM
  // An owner or a user that could not be read is nobody's.
  EXPECT_FALSE(OwnerIsUsers("", "", true));
  EXPECT_FALSE(OwnerIsUsers(kUser, "", true));
}
