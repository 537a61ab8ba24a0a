// Logging in to the portal: the session probe, the login post and its
// verdict. The session cookie stays in WinINet's per-process cookie store.
#pragma once

#include <string_view>

#include "web/text.h"

namespace qx {

// --- page rules (portable) ---

struct ProbeResult {
  Text memberName;
  long long loginState = 0;  // 1: a live session
  bool live() const { return loginState == 1; }
};
// The "//user" page, already in GBK.
ProbeResult ParseProbePage(std::string_view page);
// The hint line for a live session.
Text OneClickHint(std::string_view memberName);

// The login form body. The portal's form is UTF-8, so both values go as a
// browser posts them: UTF-8 bytes, percent-encoded.
Text LoginBody(std::string_view user, std::string_view password);
// True exactly when the reply (in GBK) carries the success text.
bool LoginSucceeded(std::string_view reply);

// --- flows (each a request through the shared cookie store) ---

ProbeResult ProbeSession(std::string_view portalBaseUrl);
void Logout(std::string_view portalBaseUrl);
// Posts the login form; the raw reply body as text (UTF-8 as the portal sent it).
Text PostLogin(std::string_view portalBaseUrl, std::string_view user, std::string_view password);

}  // namespace qx
