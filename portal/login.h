// Logging in to the portal: the rules of the session probe, the login post
// and its verdict (the requests are in login_flow_win.h).
#pragma once

#include <string_view>

#include "base/text.h"
#include "web/request_rules.h"

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

// The login form body from the boxes' own text in UTF-8 (not through GBK,
// which would post a character outside it as "?"): both values go as a
// browser posts them, percent-encoded.
Text LoginBody(std::string_view userUtf8, std::string_view passwordUtf8);
// True exactly when the reply (in GBK) carries the success text.
[[nodiscard]] bool LoginSucceeded(std::string_view reply);
// The failure box shows the reply, up to kLoginBoxTextMax bytes of it (never
// half a character): a page of megabytes would hold the window for minutes.
inline constexpr size_t kLoginBoxTextMax = 4096;
// A login that got no reply at all says why instead: the portal gave no
// answer, refused the connection, or showed an untrusted certificate.
Text LoginFailureText(std::string_view reply, RequestFailure why = RequestFailure::None);

}  // namespace qx
