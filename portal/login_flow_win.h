// The login requests, each through WinINet's shared cookie store. They block:
// run them on a worker (base/flow_runner_win.h), never on the window thread.
#pragma once

#include <string_view>

#include "portal/login.h"

namespace qx {

[[nodiscard]] ProbeResult ProbeSession(std::string_view portalBaseUrl);
void Logout(std::string_view portalBaseUrl);
// Posts the login form (values in UTF-8); the reply converted to GBK, and
// in *why the reason when none came.
[[nodiscard]] Text PostLogin(std::string_view portalBaseUrl, std::string_view userUtf8,
                             std::string_view passwordUtf8, RequestFailure* why = nullptr);

}  // namespace qx
