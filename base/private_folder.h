// The folders that hold the user's secrets (C:\qarvex\ with the saved
// password, and the private folder under %LOCALAPPDATA%): who may use them,
// as text the Windows part turns into a security descriptor.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

// The Administrators group (BUILTIN\Administrators).
inline constexpr const char* kAdministratorsSid = "S-1-5-32-544";

// The DACL of a private folder: protected (nothing taken from the folders
// above), full access for the user, SYSTEM and Administrators only, inherited
// by every file and folder inside. Empty when `userSid` is not a SID.
Text PrivateFolderSddl(std::string_view userSid);

// Whether a folder owned by `ownerSid` is the user's own: owned by the user,
// or by the Administrators group when the user is one of them (what an
// elevated process of the user's leaves). Anything else, an unknown owner
// included, is another account's.
bool OwnerIsUsers(std::string_view ownerSid, std::string_view userSid, bool userIsAdministrator);

}  // namespace qx
