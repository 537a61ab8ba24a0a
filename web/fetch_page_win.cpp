// FetchPage and the plain GET over WinINet. (WinHTTP lives in its own file:
// wininet.h and winhttp.h do not go together in one source file.)
#include <windows.h>
#include <wininet.h>

#include "web/cookies.h"
#include "web/fetch_page.h"
#include "web/handles_win.h"
#include "web/request_rules.h"
#include "web/url.h"
#include "web/wide_win.h"

namespace qx {
namespace {

constexpr DWORD kReadBuffer = 1024;
constexpr DWORD kHeaderBuffer = 5000;

bool IsSecure(std::string_view url) { return ToLowerAscii(url.substr(0, 8)) == "https://"; }

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

Bytes ReadBody(HINTERNET request) {
  Bytes body;
  char buffer[kReadBuffer];
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request, buffer, kReadBuffer, &got) || got == 0) break;
    body.append(buffer, got);
  }
  return body;
}

// The raw response header block, whatever its size: 5000 bytes first, then
// the size WinINet asks for. Empty when there is no response to ask about.
Text RawResponseHeaders(HINTERNET request) {
  DWORD size = kHeaderBuffer;
  Text buffer(size, ' ');
  if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &size, nullptr)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    buffer.assign(size + 2, ' ');
    size = static_cast<DWORD>(buffer.size());
    if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &size, nullptr))
      return {};
  }
  return BytesToText(buffer);
}

}  // namespace

Bytes FetchPage(std::string_view url, int method, std::string_view postText, Text* cookiesToSend,
                Text* cookiesReceived, std::string_view extraHeaders, Text* responseHeaders,
                bool noRedirect, Bytes* postBytes, std::string_view proxy, bool mergeCookies,
                bool completeHeaders, bool normalizeHeaderNames, bool socksProxy) {
  Text headers = normalizeHeaderNames ? NormalizeHeaderNames(extraHeaders) : Text(extraHeaders);
  if (method < 0 || method > 7) method = 0;
  const bool secure = IsSecure(url);
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
  if (!session) return {};
  connection.reset(Connect(session.get(), url));
  if (!connection) return {};

  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
  if (cookiesToSend) flags |= INTERNET_FLAG_NO_COOKIES;
  if (noRedirect) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  flags |= secure ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
  const std::wstring verb = Wide(MethodVerb(method));
  request.reset(OpenRequest(connection.get(), verb.c_str(), url, L"HTTP/1.1", flags));
  if (!request) return {};

  DWORD security = kFetchSecurityFlags;
  InternetSetOptionA(request.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);

  if (completeHeaders) headers = CompleteFetchHeaders(headers, url, method);
  if (cookiesToSend) headers = AppendFetchCookieHeader(headers, *cookiesToSend);
  const char* headerData = headers.empty() ? nullptr : headers.c_str();
  const auto headerLength = static_cast<DWORD>(headers.size());
  if (method == 0) {
    HttpSendRequestA(request.get(), headerData, headerLength, nullptr, 0);
  } else {
    Bytes ownBody;
    Bytes& body = postBytes ? *postBytes : ownBody;
    if (body.empty()) body = Bytes(postText);
    HttpSendRequestA(request.get(), headerData, headerLength, body.empty() ? nullptr : body.data(),
                     static_cast<DWORD>(body.size()));
  }

  Bytes result = ReadBody(request.get());
  const Text rawHeaders = RawResponseHeaders(request.get());
  request.reset();
  connection.reset();
  session.reset();

  if (responseHeaders) *responseHeaders = rawHeaders;
  Text received = CookiesFromHeaders(rawHeaders);
  if (mergeCookies && cookiesToSend) received = MergeCookies(*cookiesToSend, received);
  if (cookiesReceived) *cookiesReceived = received;
  return result;
}

Bytes PlainGet(std::string_view url) {
  UniqueInternet session, connection, request;  // closed in reverse order
  const Text agent(kPlainGetAgent);
  session.reset(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session) return {};
  connection.reset(Connect(session.get(), url));
  if (!connection) return {};
  // Fetched afresh and kept out of the cache; no header is added.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
  if (IsSecure(url)) flags |= INTERNET_FLAG_SECURE;
  request.reset(OpenRequest(connection.get(), L"GET", url, L"HTTP/1.0", flags));
  if (!request) return {};
  if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return {};
  return ReadBody(request.get());
}

}  // namespace qx
