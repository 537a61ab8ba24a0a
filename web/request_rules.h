// The text rules of the two request routines (FetchPage over WinINet and
// WinHttpFetch over WinHTTP) and of the form engine's submissions: header
// names, default headers, the agent, the Cookie line, redirects, Set-Cookie
// and Location capture, the status and the page charset. Portable: the
// *_win.cpp files only call the platform APIs.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/text.h"

namespace qx {

// Both routines' agent when the caller brings none (WinINet).
inline constexpr std::string_view kFetchAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
// The plain GET's agent.
inline constexpr std::string_view kPlainGetAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// Rewrites header lines with capitalized names ("content-type: x" →
// "Content-Type: x"); lines without ":" are dropped, the final CR LF too.
Text NormalizeHeaderNames(std::string_view headers);

// The agent FetchPage opens its session with: the value of the caller's
// User-Agent line (any case), blanks trimmed, else the default agent.
Text FetchAgent(std::string_view headers);

// FetchPage's default headers: Accept, Referer (the URL as given),
// Accept-Language and, for POST (method index 1), Content-Type, each only
// when the header text lacks it (any case).
Text CompleteFetchHeaders(std::string_view headers, std::string_view url, int method);

// FetchPage's Cookie line appended to the header text when `cookies` is not
// empty; a text already holding "Cookie:" is appended as it is.
Text AppendFetchCookieHeader(std::string_view headers, std::string_view cookies);

// WinHttpFetch's request header text: the caller's lines, the missing
// default lines, names normalized, "Connection: keep-alive" removed and the
// Cookie line when the caller carries cookies.
Text WinHttpRequestHeaders(std::string_view extraHeaders, int method, std::string_view cookies,
                           bool completeHeaders, bool normalizeHeaderNames);

// WinHttpFetch's timeout for every phase: 30 s when timeoutSeconds < 1.
int WinHttpTimeoutMs(int timeoutSeconds);

// Bounds of every request. A body above kMaxBodyBytes, or a response header
// block above kMaxHeaderBytes, is a failed request: nothing of it is kept.
inline constexpr size_t kMaxBodyBytes = size_t{64} << 20;
inline constexpr size_t kMaxHeaderBytes = size_t{1} << 20;
// The portal requests (FetchPage, the plain GET) wait at most this long for
// each phase: connecting, sending, and every wait for data.
inline constexpr int kRequestTimeoutMs = 30000;
// A request still reading after this many phase timeouts stops at its next
// read, so a server that trickles bytes cannot hold it open either.
inline constexpr int kDeadlinePhases = 4;
// The portal requests' phase timeout from the text of the override
// (QARVEX_REQUEST_TIMEOUT_MS): empty or not a plain number gives
// kRequestTimeoutMs; anything else is kept within 100 ms..600000 ms.
int RequestTimeoutMs(std::string_view overrideText);
// The deadline of a request whose phase timeout is timeoutMs.
long long RequestDeadlineMs(int timeoutMs);

// Why a request came back empty, as a user would be told: the server gave
// no answer (a timeout, a name that does not resolve), refused the
// connection, showed a certificate that is not trusted, or answered in a way
// that cannot be used (cut short, too large, redirected without end).
enum class RequestFailure { None, NoAnswer, Refused, Certificate, Broken };

// Redirects are followed by the routines themselves (WinINet would follow a
// loop for ever), at most this many for one request; the form engine's
// submissions follow as many.
inline constexpr int kMaxRedirects = 10;
// 301, 302, 303, 307 and 308.
bool IsRedirectStatus(long status);
// The method index after a redirect with this status: 303 turns every
// method but HEAD into GET, 301 and 302 turn POST into GET, 307 and 308
// keep it.
int MethodAfterRedirect(long status, int method);
// Where a redirect from `current` with this Location goes: Location resolved
// against `current` as a browser does (ResolveUrl, web/url.h), a `current`
// without "://" taken as http. Empty when Location is blank or the target is
// not an http or https URL: such a redirect is not followed.
[[nodiscard]] Text RedirectTarget(std::string_view current, std::string_view location);

// Whether a redirect from `from` to `to` may carry the request's body on:
// a body (a login password, a form's token) stays with its origin, so it
// never goes to another host or port, nor from https to plain http. A hop
// that would carry it elsewhere fails as a failed request.
[[nodiscard]] bool BodyMayFollowRedirect(std::string_view from, std::string_view to);

// The HTTP status of a raw response header block ("HTTP/1.1 302 Found..."),
// 0 when there is none.
[[nodiscard]] int ResponseStatus(std::string_view responseHeaders);

// A request the form engine's submission makes.
struct PageRequest {
  Text url;
  bool post = false;
  Text body;
};
// The request a browser makes next when `request` got `responseHeaders`:
// the RedirectTarget of the Location of a redirect status, without its
// fragment (a GET, except that 307 and 308 repeat a POST with its body);
// nothing for any other answer, a missing Location or a target that is not
// followed. A POST that would be repeated to another origin gives a request
// with an empty URL: the submission fails there.
[[nodiscard]] std::optional<PageRequest> RedirectRequest(const PageRequest& request,
                                                         std::string_view responseHeaders);

// The cookie of one response header line: true when the name is exactly
// "Set-Cookie" (case as written), with `cookie` = the name=value pair.
[[nodiscard]] bool SetCookieFromLine(std::string_view line, Text& cookie);
// The cookies a header block sets, "; "-separated, in order.
Text CookiesFromHeaders(std::string_view headerBlock);
// The value of a "Location: " line (name in any case); false for other lines.
[[nodiscard]] bool LocationFromLine(std::string_view line, Text& location);
// "200 OK" from "HTTP/1.1 200 OK\r\n...": from the 10th byte to the first CR LF.
Text StatusTextOf(std::string_view headerBlock);
// True when the response declares a longer body (its first Content-Length
// line, name in any case) than the `received` bytes: the connection ended
// before the page did. Never for HEAD (method index 2), a chunked reply or a
// status that has no body (1xx, 204, 304).
[[nodiscard]] bool BodyCutShort(std::string_view headerBlock, int method, size_t received);

// The charset a page declares in its first 1024 bytes, as the pattern
// <meta.+?charset=[^\w]?([-\w]+) finds it (case ignored; "." stops at LF,
// \w is ASCII); empty when none.
Text DetectMetaCharset(std::string_view page);
// Windows code page for a charset name (any case); 0 when unknown.
// 1200 stands for UTF-16LE, which is copied rather than converted.
unsigned CodePageOfCharset(std::string_view charset);
// The page as WinHttpFetch returns it: the body in the local code page.
// No charset, "gbk" or "gb2312" (exactly so), or an unknown charset: the body
// bytes up to the first NUL. Otherwise the body decoded from the charset.
Text DecodePage(std::string_view body);

}  // namespace qx
