// The saved user name and password, C:\qarvex\config.ini. The file is one GBK
// text cut by its markers, never parsed as an INI file:
//   "[账户密码]" CR LF "user=" name CR LF "pass=" password "pass"
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

struct Credentials {
  Text user;
  Text password;
};

Text CredentialsFileText(std::string_view user, std::string_view password);
// A missing marker gives an empty value. The password runs up to the "pass"
// that ends the file, so a password holding "pass" reads back whole.
Credentials ParseCredentialsFile(std::string_view file);

}  // namespace qx
