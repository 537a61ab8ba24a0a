// WinHttpFetch over WinHTTP. (WinINet lives in its own file: wininet.h and
// winhttp.h do not go together in one source file.)
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "base/codepage.h"
#include "base/handles_win.h"
#include "base/wide_win.h"
#include "web/cert_trust_win.h"
#include "web/cookies.h"
#include "web/fetch_page.h"
#include "web/request_rules.h"
#include "web/winhttp_fetch.h"

namespace qx {
namespace {

// Certificate errors are ignored (unknown CA, wrong usage, name, date) for a
// host whose certificate does not validate but was judged (web/cert_trust.h).
constexpr DWORD kSecurityFlags =
    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
    SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

[[nodiscard]] bool SetDword(HINTERNET h, DWORD option, DWORD value) {
  return WinHttpSetOption(h, option, &value, sizeof value) != FALSE;
}

// The reply's Location header; empty when it has none.
Text QueryLocation(HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (size == 0 || size > 2 * kMaxHeaderBytes) return {};
  std::wstring location(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                           location.data(), &size, WINHTTP_NO_HEADER_INDEX))
    return {};
  location.resize(size / sizeof(wchar_t));
  return Narrow(location);
}

// The pin of the certificate the request's answer came with; empty when
// there is none to read.
Text ReplyPin(HINTERNET request) {
  PCCERT_CONTEXT cert = nullptr;
  DWORD size = sizeof cert;
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size) || !cert)
    return {};
  const Text pin = CertificatePin(cert);
  CertFreeCertificateContext(cert);
  return pin;
}

// The certificate of the host behind `connection`, seen through a HEAD of its
// "/" that carries no cookie and no body.
CertProbe ProbeCertificate(HINTERNET connection, bool ignoreErrors) {
  const UniqueWinHttp probe(WinHttpOpenRequest(connection, L"HEAD", L"/", nullptr,
                                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                               WINHTTP_FLAG_SECURE));
  if (!probe ||
      !SetDword(probe.get(), WINHTTP_OPTION_DISABLE_FEATURE,
                WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS) ||
      (ignoreErrors && !SetDword(probe.get(), WINHTTP_OPTION_SECURITY_FLAGS, kSecurityFlags)))
    return {};
  if (!WinHttpSendRequest(probe.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                          0, 0) ||
      !WinHttpReceiveResponse(probe.get(), nullptr))
    return {IsCertificateError(GetLastError()) ? CertProbe::CertificateRefused : CertProbe::Failed,
            {}};
  return {CertProbe::Answered, ReplyPin(probe.get())};
}

}  // namespace

Text WinHttpFetch(std::string_view url, int method, std::string_view postText, Text* cookiesToSend,
                  Text* cookiesReceived, std::string_view extraHeaders, Text* responseHeaders,
                  bool noRedirect, std::string_view serverUser, std::string_view serverPassword,
                  std::string_view proxy, std::string_view proxyUser,
                  std::string_view proxyPassword, int timeoutSeconds, Text* redirectLocation,
                  Text* statusText, Bytes* bodyBytes, bool mergeCookies, bool completeHeaders,
                  std::string_view postBytes, bool normalizeHeaderNames) {
  // Declared in this order so that they close request first, then
  // connection, then session, whichever way the call ends.
  UniqueWinHttp session, connection, request;
  auto fail = [&](const char* message) {
    if (statusText) *statusText = message;
    return Text();
  };
  if (method < 0 || method > 7) method = 0;

  if (!WinHttpCheckPlatform()) return fail("700 当前系统不支持WinHttp服务!");

  const std::wstring wideUrl = Wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
      static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wideUrl.c_str(), static_cast<DWORD>(wideUrl.size()), 0, &parts))
    return fail("701 解析URL地址失败!");
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring object = L"/";
  if (parts.dwUrlPathLength > 0) {
    object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  if (proxy.empty()) {
    session.reset(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0));
  } else {
    const std::wstring proxyName = secure ? Wide(proxy) : Wide("http=" + Text(proxy));
    session.reset(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxyName.c_str(),
                              WINHTTP_NO_PROXY_BYPASS, 0));
  }
  if (!session) return fail("702 创建WinHttp会话失败!");

  const int t = WinHttpTimeoutMs(timeoutSeconds);
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(RequestDeadlineMs(t));
  if (!WinHttpSetTimeouts(session.get(), t, t, t, t)) return fail("705 设置超时时间失败!");

  connection.reset(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
  if (!connection) return fail("703 创建WinHttp连接失败!");
  // Nothing of the request goes to a host whose certificate is not trusted.
  CertPlan plan;
  if (secure) {
    plan = HostCertificates().Plan(
        HostPortKey(Narrow(host), parts.nPort), !postBytes.empty() || !postText.empty(),
        [&](bool ignoreErrors) { return ProbeCertificate(connection.get(), ignoreErrors); });
    if (!plan.go) return fail("711 发送请求失败!");
  }

  const std::wstring verb = Wide(MethodVerb(method));
  request.reset(WinHttpOpenRequest(connection.get(), verb.c_str(), object.c_str(), nullptr,
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                   secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return fail("704 创建WinHttp请求失败!");
  // The wait for the response headers has a timeout of its own (90 s by
  // default); the caller's timeout is meant for every phase, that one too.
  // Should the option not take, that wait keeps WinHTTP's own 90 s bound.
  (void)SetDword(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, static_cast<DWORD>(t));

  // Basic credentials for the server or the proxy, when both texts are given.
  auto credentials = [&](DWORD target, std::string_view user, std::string_view password) {
    if (user.empty() || password.empty()) return true;
    const std::wstring wideUser = Wide(user), widePassword = Wide(password);
    return WinHttpSetCredentials(request.get(), target, WINHTTP_AUTH_SCHEME_BASIC, wideUser.c_str(),
                                 widePassword.c_str(), nullptr) != FALSE;
  };
  if (!credentials(WINHTTP_AUTH_TARGET_SERVER, serverUser, serverPassword) ||
      !credentials(WINHTTP_AUTH_TARGET_PROXY, proxyUser, proxyPassword))
    return fail("707 设置代理凭证失败!");
  if (plan.ignoreErrors && !SetDword(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, kSecurityFlags))
    return fail("忽略错误/证书错误  失败！");
  // WinHTTP keeps no cookies of its own: a caller who wants a session carries
  // the cookie text in and out.
  if (!SetDword(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES))
    return fail("708 禁止自动设置Cookies失败!");
  // WinHTTP would repeat a body after a 307 or 308 wherever it leads: a
  // request that carries one follows its redirects here, hop by hop.
  const std::string_view body = postBytes.empty() ? postText : postBytes;
  const bool followHere = !noRedirect && !body.empty();
  if ((noRedirect || followHere) &&
      !SetDword(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS))
    return fail("709 重定向设置失败!");

  const std::string_view cookies =
      cookiesToSend ? std::string_view(*cookiesToSend) : std::string_view();
  const Text headers =
      WinHttpRequestHeaders(extraHeaders, method, cookies, completeHeaders, normalizeHeaderNames);
  if (!headers.empty()) {
    const std::wstring wideHeaders = Wide(headers);
    if (!WinHttpAddRequestHeaders(request.get(), wideHeaders.c_str(),
                                  static_cast<DWORD>(wideHeaders.size()), WINHTTP_ADDREQ_FLAG_ADD))
      return fail("710 设置协议头失败!");
  }

  const auto bodyLength = static_cast<DWORD>(body.size());
  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()),
                          bodyLength, bodyLength, 0)) {
    if (secure && !plan.ignoreErrors && IsCertificateError(GetLastError()))
      HostCertificates().Refused(plan.hostPort);
    return fail("711 发送请求失败!");
  }
  if (!WinHttpReceiveResponse(request.get(), nullptr)) return fail("712 服务器未响应!");
  // A reply read with the certificate errors ignored comes with the key that
  // was judged (a redirect to another host shows that host's), or it is not
  // taken.
  if (plan.ignoreErrors && !HostCertificates().ReplyMatches(plan, ReplyPin(request.get())))
    return fail("711 发送请求失败!");

  if (followHere) {
    DWORD status = 0, size = sizeof status;
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    const Text next =
        IsRedirectStatus(status) ? RedirectTarget(url, QueryLocation(request.get())) : Text();
    if (!next.empty()) {
      const int nextMethod = MethodAfterRedirect(status, method);
      const bool keepsBody = nextMethod != 0;
      if (keepsBody && !BodyMayFollowRedirect(url, next)) return fail("711 发送请求失败!");
      static thread_local int hops = 0;  // of this request, followed by calls of this routine
      if (hops == kMaxRedirects) return fail("711 发送请求失败!");
      request.reset();
      connection.reset();
      session.reset();
      ++hops;
      Text page =
          WinHttpFetch(next, nextMethod, keepsBody ? postText : std::string_view(), cookiesToSend,
                       cookiesReceived, extraHeaders, responseHeaders, false, serverUser,
                       serverPassword, proxy, proxyUser, proxyPassword, timeoutSeconds,
                       redirectLocation, statusText, bodyBytes, mergeCookies, completeHeaders,
                       keepsBody ? postBytes : std::string_view(), normalizeHeaderNames);
      --hops;
      return page;
    }
  }

  // A read that fails part way (the connection closed before the whole page
  // came, or the deadline passed) keeps its message, so a cut page is never
  // taken for a whole one; what was read so far still comes back. A body
  // larger than kMaxBodyBytes is not kept at all.
  Bytes received;
  bool readFailed = false;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request.get(), &available)) {
      readFailed = true;
      break;
    }
    if (available < 1) break;
    if (received.size() + available > kMaxBodyBytes) return fail("713 读取数据失败!");
    Bytes chunk(available, '\0');
    DWORD got = 0;
    if (!WinHttpReadData(request.get(), chunk.data(), available, &got)) {
      readFailed = true;
      break;
    }
    received.append(chunk.data(), got);
    if (GetTickCount64() > deadline) {
      readFailed = true;
      break;
    }
  }

  DWORD size = 0;
  WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (size > 2 * kMaxHeaderBytes) return Text();  // UTF-16: two bytes a character
  Bytes wideHeaders(size + 2, '\0');
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF,
                           WINHTTP_HEADER_NAME_BY_INDEX, wideHeaders.data(), &size,
                           WINHTTP_NO_HEADER_INDEX))
    return Text();
  wideHeaders.resize(size);
  const Text rawHeaders = WideToText(wideHeaders, kGbk);
  // WinHTTP may also end the read quietly when the connection closes before
  // the page is whole (Wine's does): the declared length tells.
  if (BodyCutShort(rawHeaders, method, received.size())) readFailed = true;

  if (responseHeaders) *responseHeaders = rawHeaders;
  if (statusText) *statusText = readFailed ? Text("713 读取数据失败!") : StatusTextOf(rawHeaders);
  Text cookiesOut = cookiesReceived ? *cookiesReceived : Text();
  Text location, cookie;
  for (const Text& line : Split(rawHeaders, "\r\n")) {
    if (SetCookieFromLine(line, cookie)) {
      cookiesOut += cookie;
      cookiesOut += "; ";
    }
    (void)LocationFromLine(line, location);  // a later Location line wins
  }
  if (cookiesOut.size() >= 2 && cookiesOut.compare(cookiesOut.size() - 2, 2, "; ") == 0)
    cookiesOut.resize(cookiesOut.size() - 2);
  if (mergeCookies && cookiesToSend && !cookiesToSend->empty())
    cookiesOut = MergeCookies(*cookiesToSend, cookiesOut);
  if (cookiesReceived) *cookiesReceived = cookiesOut;
  if (redirectLocation) *redirectLocation = location;
  if (bodyBytes) *bodyBytes = received;
  return DecodePage(received);
}

}  // namespace qx
