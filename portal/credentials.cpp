#include "portal/credentials.h"

namespace qx {

Text CredentialsFileText(std::string_view user, std::string_view password) {
  Text t = "[账户密码]\r\nuser=";
  t += user;
  t += "\r\npass=";
  t += password;
  t += "pass";
  return t;
}

Credentials ParseCredentialsFile(std::string_view file) {
  Credentials c;
  c.user = TextBetween(file, "user=", "\r\n");
  // The password line follows the user line; a user name holding "pass=" must
  // not be taken for it.
  long lineStart = FindText(file, "\r\npass=");
  long valueAt = lineStart > 0 ? lineStart + 7 : -1;
  if (valueAt < 0) {
    long p = FindText(file, "pass=");
    if (p < 0) return c;
    valueAt = p + 5;
  }
  std::string_view rest = file.substr(static_cast<size_t>(valueAt - 1));
  if (rest.size() >= 4 && rest.substr(rest.size() - 4) == "pass") {
    c.password = Text(rest.substr(0, rest.size() - 4));
  } else {
    c.password = TextBefore(rest, "pass");  // a file cut short: up to the next "pass"
  }
  return c;
}

}  // namespace qx
