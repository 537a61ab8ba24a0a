// FetchPage and the plain GET over WinINet. (WinHTTP lives in its own file:
// wininet.h and winhttp.h do not go together in one source file.)
#include <windows.h>
#include <wininet.h>

#include <algorithm>

#include "base/handles_win.h"
#include "base/name_lookup_win.h"
#include "base/os_win.h"
#include "base/wide_win.h"
#include "web/cert_trust_win.h"
#include "web/cookies.h"
#include "web/fetch_page.h"
#include "web/request_rules.h"
#include "web/url.h"

namespace qx {
namespace {

constexpr DWORD kReadBuffer = 1024;
// Set on a plain http request, and on an https one to a host whose
// certificate does not validate but was judged (web/cert_trust.h):
// certificate errors and redirects between http and https are ignored.
constexpr DWORD kSecurityFlags =
    SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_UNKNOWN_CA |
    SECURITY_FLAG_IGNORE_WRONG_USAGE | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
    SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTPS |
    SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTP | SECURITY_FLAG_IGNORE_WEAK_SIGNATURE;
// Set on any other https request: the certificate must validate.
constexpr DWORD kCheckedSecurityFlags =
    SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTPS | SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTP;
constexpr DWORD kHeaderBuffer = 5000;

// A call that failed this close to its timeout is taken to have waited it out.
constexpr ULONGLONG kTimeoutSlackMs = 100;

// Why this thread's last request came back empty.
thread_local RequestFailure t_failure = RequestFailure::None;

// What a WinINet error tells the user.
RequestFailure FailureOf(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_TIMEOUT:
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return RequestFailure::NoAnswer;
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
      return RequestFailure::Refused;  // refused, or cut off before the answer
  }
  return IsCertificateError(error) ? RequestFailure::Certificate : RequestFailure::Broken;
}

// Notes why the request fails, unless a reason is known already.
void NoteFailure(RequestFailure why) {
  if (t_failure == RequestFailure::None) t_failure = why;
}

// Host and object name go to WinINet as UTF-16 converted from GBK.
HINTERNET Connect(HINTERNET session, std::string_view url) {
  const std::wstring host = Wide(UrlHost(url));
  return InternetConnectW(session, host.c_str(), static_cast<INTERNET_PORT>(UrlPort(url)), nullptr,
                          nullptr, INTERNET_SERVICE_HTTP, 0, 0);
}

HINTERNET OpenRequest(HINTERNET connection, const wchar_t* verb, std::string_view url,
                      const wchar_t* version, DWORD flags) {
  const std::wstring path = Wide(UrlPath(url));
  return HttpOpenRequestW(connection, verb, path.c_str(), version, nullptr, nullptr, flags, 0);
}

// The phase timeout of the portal requests: QARVEX_REQUEST_TIMEOUT_MS (read
// once) or the default.
int PhaseTimeoutMs() {
  static const int ms = [] {
    return RequestTimeoutMs(Narrow(EnvironmentValue(L"QARVEX_REQUEST_TIMEOUT_MS")));
  }();
  return ms;
}

// Connecting, sending and every wait for data end after `ms` (the phase
// timeout unless the deadline is nearer). Set on the session (its requests
// take them over) and on each request.
void SetTimeouts(HINTERNET h, DWORD ms) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT})
    InternetSetOptionA(h, option, &ms, sizeof ms);
}

// A hop's three phases (connect, send, the wait for the answer) end by the
// deadline.
DWORD HopTimeoutMs(ULONGLONG now, ULONGLONG deadline) {
  return static_cast<DWORD>(std::clamp<ULONGLONG>((deadline - now) / 3, 100, PhaseTimeoutMs()));
}

// When a request must have ended.
ULONGLONG Deadline() {
  return GetTickCount64() + static_cast<ULONGLONG>(RequestDeadlineMs(PhaseTimeoutMs()));
}

// The body, read in pieces of up to 1024 bytes until the server has sent it
// all. Each read asks only for what has arrived (a read of a full buffer
// would wait for all of it, however slowly it trickles in), so the deadline
// is looked at whenever bytes come. False when the body cannot be trusted
// whole: a read failed (a reset, a timeout), the body grew past
// kMaxBodyBytes, or the deadline passed.
[[nodiscard]] bool ReadBody(HINTERNET request, ULONGLONG deadline, Bytes& body) {
  body.clear();
  char buffer[kReadBuffer];
  for (;;) {
    if (GetTickCount64() > deadline) return false;
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) return false;
    if (available == 0) return true;
    DWORD got = 0;
    if (!InternetReadFile(request, buffer, std::min(available, kReadBuffer), &got)) return false;
    if (got == 0) return true;
    if (body.size() + got > kMaxBodyBytes) return false;
    body.append(buffer, got);
  }
}

// What the reply holds for `info` (HttpQueryInfoA), whatever its size:
// `firstSize` bytes first, then the size WinINet asks for (at most
// kMaxHeaderBytes). Empty when there is nothing to ask about.
Text QueryReply(HINTERNET request, DWORD info, DWORD firstSize) {
  DWORD size = firstSize;
  Text buffer(size, '\0');
  if (!HttpQueryInfoA(request, info, buffer.data(), &size, nullptr)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > kMaxHeaderBytes) return {};
    buffer.assign(size + 2, '\0');
    size = static_cast<DWORD>(buffer.size());
    if (!HttpQueryInfoA(request, info, buffer.data(), &size, nullptr)) return {};
  }
  return BytesToText(buffer);
}

// The raw response header block. Empty when there is no response.
Text RawResponseHeaders(HINTERNET request) {
  return QueryReply(request, HTTP_QUERY_RAW_HEADERS_CRLF, kHeaderBuffer);
}

// The status code of the reply; 0 when there is none.
long StatusCode(HINTERNET request) {
  DWORD status = 0, size = sizeof status;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                      nullptr))
    return 0;
  return static_cast<long>(status);
}

// The reply's Location header; empty when it has none.
Text LocationOf(HINTERNET request) { return QueryReply(request, HTTP_QUERY_LOCATION, 1024); }

// The pin of the certificate the request's answer came with; empty when
// there is none to read.
Text ReplyPin(HINTERNET request) {
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  DWORD size = sizeof chain;
  if (!InternetQueryOptionW(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, &chain, &size) ||
      !chain)
    return {};
  const Text pin = ChainPin(chain);
  CertFreeCertificateChain(chain);
  return pin;
}

// The certificate of the host behind `connection`, seen through a HEAD of its
// "/" that carries no cookie and no body.
CertProbe ProbeCertificate(HINTERNET connection, bool ignoreErrors, DWORD timeoutMs) {
  const UniqueInternet probe(HttpOpenRequestW(
      connection, L"HEAD", L"/", L"HTTP/1.1", nullptr, nullptr,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT |
          INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_SECURE,
      0));
  if (!probe) return {};
  SetTimeouts(probe.get(), timeoutMs);
  DWORD security = ignoreErrors ? kSecurityFlags : kCheckedSecurityFlags;
  InternetSetOptionA(probe.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);
  if (!HttpSendRequestA(probe.get(), nullptr, 0, nullptr, 0)) {
    const DWORD error = GetLastError();
    if (ignoreErrors || !IsCertificateError(error)) t_failure = FailureOf(error);
    return {IsCertificateError(error) ? CertProbe::CertificateRefused : CertProbe::Failed, {}};
  }
  return {CertProbe::Answered, ReplyPin(probe.get())};
}

// How a hop to `url` goes as far as its host's certificate is concerned
// (web/cert_trust.h); plain http has nothing to plan.
CertPlan PlanCertificate(HINTERNET connection, std::string_view url, bool withBody,
                         ULONGLONG deadline) {
  if (!IsHttpsUrl(url)) return {};
  return HostCertificates().Plan(
      HostPortKey(UrlHost(url), UrlPort(url)), withBody, [&](bool ignoreErrors) {
        const ULONGLONG now = GetTickCount64();
        return now > deadline
                   ? CertProbe{}
                   : ProbeCertificate(connection, ignoreErrors, HopTimeoutMs(now, deadline));
      });
}

// WinINet's timeouts do not cover its name lookup, so the host is looked up
// first, within the hop's bound; on Windows the resolver's cache then answers
// WinINet's own lookup at once. False when no answer came in time; a name
// that is not found is left to WinINet to report.
bool LookedUpInTime(std::string_view url, ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  return now <= deadline &&
         LookUpHost(UrlHost(url), static_cast<int>(HopTimeoutMs(now, deadline))) !=
             HostLookup::NoAnswer;
}

// What a request sends at each of its hops.
struct Outgoing {
  int method;              // method index; a redirect may turn it into GET
  const wchar_t* version;  // L"HTTP/1.1" or L"HTTP/1.0"
  DWORD flags;             // request flags but the scheme's own
  std::string_view headers;
  std::string_view body;  // sent for every method but GET
  bool followRedirects;
  bool lookUpHosts;  // false when a proxy looks the names up
};

// Opens the request for `url` and sends it; while the reply is a redirect
// that is to be followed, does the same for its target: at most
// kMaxRedirects times and within the deadline. On return `connection` and
// `request` hold the last reply and `sent` tells whether its send
// succeeded. False when the request failed: a handle could not be opened or
// a redirect could not be followed (too many, past the deadline, a target
// that is not http or https, a body that would leave its origin).
[[nodiscard]] bool SendFollowingRedirects(HINTERNET session, Text url, Outgoing out,
                                          ULONGLONG deadline, UniqueInternet& connection,
                                          UniqueInternet& request, bool& sent) {
  for (int hop = 0;; ++hop) {
    request.reset();
    if (out.lookUpHosts && !LookedUpInTime(url, deadline)) {
      NoteFailure(RequestFailure::NoAnswer);
      return false;
    }
    connection.reset(Connect(session, url));
    if (!connection) return false;
    const bool withBody = out.method != 0 && !out.body.empty();
    // Nothing of the request goes to a host whose certificate is not trusted.
    const CertPlan plan = PlanCertificate(connection.get(), url, withBody, deadline);
    if (!plan.go) {
      NoteFailure(RequestFailure::Certificate);  // unless the probe found no host at all
      return false;
    }
    const DWORD flags = out.flags | (IsHttpsUrl(url) ? INTERNET_FLAG_SECURE
                                                     : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS);
    const std::wstring verb = Wide(MethodVerb(out.method));
    request.reset(OpenRequest(connection.get(), verb.c_str(), url, out.version, flags));
    if (!request) return false;
    const ULONGLONG now = GetTickCount64();
    if (now > deadline) {
      NoteFailure(RequestFailure::NoAnswer);
      return false;
    }
    const DWORD hopMs = HopTimeoutMs(now, deadline);
    SetTimeouts(request.get(), hopMs);
    DWORD security = IsHttpsUrl(url) && !plan.ignoreErrors ? kCheckedSecurityFlags : kSecurityFlags;
    InternetSetOptionA(request.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);

    const char* headerData = out.headers.empty() ? nullptr : out.headers.data();
    const auto headerLength = static_cast<DWORD>(out.headers.size());
    sent = HttpSendRequestA(request.get(), headerData, headerLength,
                            withBody ? const_cast<char*>(out.body.data()) : nullptr,
                            withBody ? static_cast<DWORD>(out.body.size()) : 0) != FALSE;
    if (!sent) {
      const DWORD error = GetLastError();
      // A send that waited out its timeout got no answer, whatever the error
      // (Wine's for a timeout is not always ERROR_INTERNET_TIMEOUT).
      const bool waitedOut = GetTickCount64() - now + kTimeoutSlackMs >= hopMs;
      NoteFailure(waitedOut ? RequestFailure::NoAnswer : FailureOf(error));
      if (IsHttpsUrl(url) && !plan.ignoreErrors && IsCertificateError(error))
        HostCertificates().Refused(plan.hostPort);
    }
    // A reply read with the certificate errors ignored comes with the key
    // that was judged, or it is not taken.
    if (sent && plan.ignoreErrors &&
        !HostCertificates().ReplyMatches(plan, ReplyPin(request.get())))
      return false;
    if (!sent || !out.followRedirects) return true;
    const long status = StatusCode(request.get());
    if (!IsRedirectStatus(status)) return true;
    const Text location = LocationOf(request.get());
    if (location.empty()) return true;  // nowhere to go: the reply is the page
    Text next = RedirectTarget(url, location);
    if (next.empty() || hop == kMaxRedirects) return false;
    out.method = MethodAfterRedirect(status, out.method);
    if (out.method != 0 && !out.body.empty() && !BodyMayFollowRedirect(url, next)) return false;
    url = std::move(next);
  }
}

}  // namespace

Bytes FetchPage(std::string_view url, int method, std::string_view postText, Text* cookiesToSend,
                Text* cookiesReceived, std::string_view extraHeaders, Text* responseHeaders,
                bool noRedirect, Bytes* postBytes, std::string_view proxy, bool mergeCookies,
                bool completeHeaders, bool normalizeHeaderNames, bool socksProxy) {
  t_failure = RequestFailure::None;
  Text headers = normalizeHeaderNames ? NormalizeHeaderNames(extraHeaders) : Text(extraHeaders);
  if (method < 0 || method > 7) method = 0;
  const bool secure = IsHttpsUrl(url);
  const Text agent = FetchAgent(headers);

  // Declared in this order so that they close request first, then
  // connection, then session, whichever way the call ends.
  UniqueInternet session, connection, request;
  if (proxy.empty()) {
    session.reset(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  } else {
    Text proxyText = socksProxy ? "SOCKS=" + Text(proxy)
                     : secure   ? Text(proxy)
                                : "http=" + Text(proxy);
    session.reset(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxyText.c_str(), "", 0));
  }
  if (!session) {
    NoteFailure(RequestFailure::Broken);
    return {};
  }
  const ULONGLONG deadline = Deadline();
  SetTimeouts(session.get(), static_cast<DWORD>(PhaseTimeoutMs()));

  // Fetched afresh and never written to the cache: the portal's pages carry
  // the session and every machine's passwords.
  DWORD flags =
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (cookiesToSend) flags |= INTERNET_FLAG_NO_COOKIES;
  if (completeHeaders) headers = CompleteFetchHeaders(headers, url, method);
  if (cookiesToSend) headers = AppendFetchCookieHeader(headers, *cookiesToSend);
  Bytes ownBody;
  Bytes& body = postBytes ? *postBytes : ownBody;
  if (method != 0 && body.empty()) body = Bytes(postText);
  bool sent = false;
  if (!SendFollowingRedirects(
          session.get(), Text(url),
          {method, L"HTTP/1.1", flags, headers, body, !noRedirect, proxy.empty()}, deadline,
          connection, request, sent)) {
    NoteFailure(RequestFailure::Broken);  // when nothing said why before
    return {};
  }

  Bytes result;
  const bool whole = ReadBody(request.get(), deadline, result);
  const Text rawHeaders = RawResponseHeaders(request.get());
  request.reset();
  connection.reset();
  session.reset();
  // A body that did not arrive whole is a failed request: a page cut short
  // would pass for a page with fewer machines on it.
  if (!whole || BodyCutShort(rawHeaders, method, result.size())) result.clear();
  if (!result.empty())
    t_failure = RequestFailure::None;
  else
    NoteFailure(RequestFailure::Broken);  // when nothing said why before

  if (responseHeaders) *responseHeaders = rawHeaders;
  Text received = CookiesFromHeaders(rawHeaders);
  if (mergeCookies && cookiesToSend) received = MergeCookies(*cookiesToSend, received);
  if (cookiesReceived) *cookiesReceived = received;
  return result;
}

Bytes PlainGet(std::string_view url) {
  t_failure = RequestFailure::None;
  UniqueInternet session, connection, request;  // closed in reverse order
  const Text agent(kPlainGetAgent);
  session.reset(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session) {
    NoteFailure(RequestFailure::Broken);
    return {};
  }
  const ULONGLONG deadline = Deadline();
  SetTimeouts(session.get(), static_cast<DWORD>(PhaseTimeoutMs()));
  // Fetched afresh and kept out of the cache; no header is added.
  const DWORD flags =
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
  bool sent = false;
  Bytes body;
  if (!SendFollowingRedirects(session.get(), Text(url), {0, L"HTTP/1.0", flags, {}, {}, true, true},
                              deadline, connection, request, sent) ||
      !sent || !ReadBody(request.get(), deadline, body) ||
      BodyCutShort(RawResponseHeaders(request.get()), 0, body.size()))
    body.clear();
  if (!body.empty())
    t_failure = RequestFailure::None;
  else
    NoteFailure(RequestFailure::Broken);  // when nothing said why before
  return body;
}

RequestFailure LastRequestFailure() { return t_failure; }

}  // namespace qx
