// The second request routine, over WinHTTP: every failure is reported as a
// numbered message in statusText, and the page comes back in the local code
// page according to the charset it declares.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

// One synchronous request; the page as GBK text, empty on failure (the
// reason is in *statusText). A page cut short keeps "713 读取数据失败!" in
// *statusText and comes back as far as it was read. Pointer arguments are
// outputs (in/out for the two cookie texts); null ones are not written.
// timeoutSeconds below 1 means 30 seconds for every phase; reading stops with
// 713 once kDeadlinePhases phases have passed, and a body above kMaxBodyBytes
// fails with 713 and empty text (web/request_rules.h). A host whose
// certificate is not trusted fails with 711 (web/cert_trust.h).
// Needs no COM and keeps no state between calls but what it learnt of the
// hosts' certificates: any thread may call it, several at once.
[[nodiscard]] Text WinHttpFetch(
    std::string_view url, int method = 0, std::string_view postText = {},
    Text* cookiesToSend = nullptr, Text* cookiesReceived = nullptr,
    std::string_view extraHeaders = {}, Text* responseHeaders = nullptr, bool noRedirect = false,
    std::string_view serverUser = {}, std::string_view serverPassword = {},
    std::string_view proxy = {}, std::string_view proxyUser = {},
    std::string_view proxyPassword = {}, int timeoutSeconds = 0, Text* redirectLocation = nullptr,
    Text* statusText = nullptr, Bytes* bodyBytes = nullptr, bool mergeCookies = true,
    bool completeHeaders = true, std::string_view postBytes = {}, bool normalizeHeaderNames = true);

}  // namespace qx
