#include "base/private_folder.h"

namespace qx {
namespace {

// "S-1-" followed by numbers and dashes: nothing that could close the ACE.
bool IsSid(std::string_view sid) {
  if (!StartsWithNoCase(sid, "s-1-") || sid.size() == 4 || sid.back() == '-') return false;
  for (char c : sid.substr(4))
    if (!(c >= '0' && c <= '9') && c != '-') return false;
  return true;
}

bool SameSid(std::string_view a, std::string_view b) {
  return IsSid(a) && LowerAsciiBytes(a) == LowerAsciiBytes(b);
}

}  // namespace

Text PrivateFolderSddl(std::string_view userSid) {
  if (!IsSid(userSid)) return {};
  return Text("D:P(A;OICI;FA;;;").append(userSid).append(")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
}

bool OwnerIsUsers(std::string_view ownerSid, std::string_view userSid, bool userIsAdministrator) {
  if (SameSid(ownerSid, userSid)) return true;
  return userIsAdministrator && SameSid(ownerSid, kAdministratorsSid);
}

}  // namespace qx
