// Page requests over WinINet. The portal session lives in WinINet's
// per-process cookie store, which every request here shares unless the
// caller carries cookies by hand. Apart from what they learnt of the https
// hosts' certificates (web/cert_trust.h), the routines keep no state of
// their own between calls: any thread may call them, several at once.
#pragma once

#include <string_view>

#include "base/text.h"
#include "web/request_rules.h"

namespace qx {

// Method index → verb: 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE,
// 6 TRACE, 7 CONNECT; anything else is GET.
const char* MethodVerb(int method);

// One synchronous request; the response body, or empty bytes when the
// request failed: a handle cannot be opened, the host's certificate is not
// trusted (web/cert_trust.h), or the body did not arrive whole (a read
// failed, fewer bytes came than declared, the body passed kMaxBodyBytes, or
// the request passed its deadline). Connecting, sending and every wait for
// data end after kRequestTimeoutMs (QARVEX_REQUEST_TIMEOUT_MS overrides it),
// and reading stops once kDeadlinePhases of them have passed
// (web/request_rules.h). Pointer arguments left null are "left out":
// cookiesToSend given (even empty) switches WinINet's own cookie handling off
// and receives the merged cookies.
[[nodiscard]] Bytes FetchPage(std::string_view url, int method = 0, std::string_view postText = {},
                              Text* cookiesToSend = nullptr, Text* cookiesReceived = nullptr,
                              std::string_view extraHeaders = {}, Text* responseHeaders = nullptr,
                              bool noRedirect = false, Bytes* postBytes = nullptr,
                              std::string_view proxy = {}, bool mergeCookies = true,
                              bool completeHeaders = true, bool normalizeHeaderNames = true,
                              bool socksProxy = false);

// The plain GET: HTTP/1.0, its own User-Agent, never from or into the cache,
// redirects followed, WinINet's cookie store shared. Empty bytes on failure;
// bounded as FetchPage is.
[[nodiscard]] Bytes PlainGet(std::string_view url);

// Why the last FetchPage or PlainGet of this thread came back empty (None
// when it did not).
RequestFailure LastRequestFailure();

}  // namespace qx
