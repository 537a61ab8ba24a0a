#include "web/request_rules.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "base/codepage.h"
#include "web/fetch_page.h"
#include "web/url.h"

namespace qx {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool Contains(std::string_view text, std::string_view marker, bool ignoreCase) {
  return FindText(text, marker, 1, ignoreCase) > 0;
}

}  // namespace

const char* MethodVerb(int method) {
  static const char* const kVerbs[] = {"GET",     "POST",   "HEAD",  "PUT",
                                       "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  return (method < 0 || method > 7) ? kVerbs[0] : kVerbs[method];
}

Text NormalizeHeaderNames(std::string_view headers) {
  Text out;
  for (const Text& line : Split(headers, kCrLf)) {
    const size_t colon = line.find(':');  // ':' is never the second byte of a GBK character
    if (colon == Text::npos) continue;
    Text name = line.substr(0, colon);
    if (name.find('-') == Text::npos) {
      if (!name.empty()) name[0] = UpperAsciiByte(name[0]);
    } else {
      std::vector<Text> parts = Split(name, "-");
      for (Text& part : parts)
        if (!part.empty()) part[0] = UpperAsciiByte(part[0]);
      name = Join(parts, "-");
    }
    out += name;
    out.append(line, colon);
    out += kCrLf;
  }
  if (out.size() >= 2) out.resize(out.size() - 2);
  return out;
}

Text FetchAgent(std::string_view headers) {
  if (!Contains(headers, "User-Agent:", true)) return Text(kFetchAgent);
  Text agent = Trim(TextBetween(Text(headers) + "\r\n", "User-Agent:", kCrLf, 0, true));
  return agent.empty() ? Text(kFetchAgent) : agent;
}

Text CompleteFetchHeaders(std::string_view headers, std::string_view url, int method) {
  Text h(headers);
  if (h.empty()) h = "Accept: */*";
  if (!Contains(h, "Accept:", true)) h += "\r\nAccept: */*";
  if (!Contains(h, "Referer:", true)) {
    h += "\r\nReferer: ";
    h += url;
  }
  if (!Contains(h, "Accept-Language:", true)) h += "\r\nAccept-Language: zh-cn";
  if (method == 1 && !Contains(h, "Content-Type:", true))
    h += "\r\nContent-Type: application/x-www-form-urlencoded";
  return h;
}

Text AppendFetchCookieHeader(std::string_view headers, std::string_view cookies) {
  Text h(headers);
  if (cookies.empty()) return h;
  h += Contains(cookies, "Cookie:", false) ? "\r\n" : "\r\nCookie: ";
  h += cookies;
  return h;
}

Text WinHttpRequestHeaders(std::string_view extraHeaders, int method, std::string_view cookies,
                           bool completeHeaders, bool normalizeHeaderNames) {
  struct Default {
    std::string_view search, line;
    bool postOnly;
  };
  static constexpr Default kDefaults[] = {
      {"User-Agent: ",
       "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)", false},
      {"Accept: ", "Accept: text/html, application/xhtml+xml, */*", false},
      {"Accept-Encoding: ", "Accept-Encoding: identity", false},
      {"Accept-Language: ", "Accept-Language: zh-cn", false},
      {"Content-Type:", "Content-Type: application/x-www-form-urlencoded", true},
      {"Cache-Control: ", "Cache-Control: no-cache", false},
  };
  Text h(extraHeaders);
  if (!h.empty()) h += kCrLf;
  if (completeHeaders) {
    for (const Default& d : kDefaults) {
      if (d.postOnly && method != 1) continue;
      if (Contains(h, d.search, true)) continue;
      h += d.line;
      h += kCrLf;
    }
  }
  if (normalizeHeaderNames) h = NormalizeHeaderNames(h);
  if (Contains(h, "Connection", false) && HeaderValue(h, "Connection") == "keep-alive")
    h = ReplaceAll(h, "Connection: keep-alive\r\n", "");
  if (!Contains(h, "Cookie:", true) && !cookies.empty()) {
    h += Contains(cookies, "Cookie:", false) ? "\r\n" : "\r\nCookie: ";
    h += cookies;
    h += kCrLf;
  }
  return h;
}

int WinHttpTimeoutMs(int timeoutSeconds) {
  if (timeoutSeconds < 1) return 30000;
  if (timeoutSeconds > INT_MAX / 1000) return INT_MAX;
  return timeoutSeconds * 1000;
}

int RequestTimeoutMs(std::string_view overrideText) {
  const Text value = Trim(overrideText);
  if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != Text::npos)
    return kRequestTimeoutMs;
  const long long ms = AtoiText(value);
  return static_cast<int>(std::clamp(ms, 100LL, 600000LL));
}

long long RequestDeadlineMs(int timeoutMs) {
  return static_cast<long long>(timeoutMs) * kDeadlinePhases;
}

bool IsRedirectStatus(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

int MethodAfterRedirect(long status, int method) {
  if (status == 303 && method != 2) return 0;
  if ((status == 301 || status == 302) && method == 1) return 0;
  return method;
}

Text RedirectTarget(std::string_view current, std::string_view location) {
  if (TrimAsciiBlanks(location).empty()) return {};
  Text base(current);
  if (base.find("://") == Text::npos) base.insert(0, "http://");  // taken as http, as requested
  Text target = ResolveUrl(base, location);
  return IsWebUrl(target) ? target : Text();
}

bool BodyMayFollowRedirect(std::string_view from, std::string_view to) {
  return SameOrigin(from, to);
}

int ResponseStatus(std::string_view responseHeaders) {
  if (responseHeaders.substr(0, 5) != "HTTP/") return 0;
  const std::string_view line = responseHeaders.substr(0, responseHeaders.find(kCrLf));
  const size_t space = line.find(' ');
  if (space == std::string_view::npos) return 0;
  int status = 0, digits = 0;
  for (size_t i = space + 1; i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 3;
       ++i, ++digits)
    status = status * 10 + (line[i] - '0');
  return digits == 3 ? status : 0;
}

std::optional<PageRequest> RedirectRequest(const PageRequest& request,
                                           std::string_view responseHeaders) {
  const int status = ResponseStatus(responseHeaders);
  if (!IsRedirectStatus(status)) return std::nullopt;
  Text location;
  bool found = false;
  for (const Text& line : Split(responseHeaders, kCrLf))
    if ((found = LocationFromLine(line, location))) break;
  if (!found) return std::nullopt;
  PageRequest next;
  next.url = WithoutFragment(RedirectTarget(request.url, location));
  if (next.url.empty()) return std::nullopt;
  if (MethodAfterRedirect(status, request.post ? 1 : 0) == 1) {
    if (!BodyMayFollowRedirect(request.url, next.url)) return PageRequest{};
    next.post = true;
    next.body = request.body;
  }
  return next;
}

bool SetCookieFromLine(std::string_view line, Text& cookie) {
  if (TextBefore(line, ": ") != "Set-Cookie") return false;
  if (Contains(line, ";", false))
    cookie = Trim(TextBetween(line, "Set-Cookie:", ";"));
  else
    cookie = Trim(ReplaceAll(line, "Set-Cookie:", "", true));
  return true;
}

Text CookiesFromHeaders(std::string_view headerBlock) {
  Text cookies, cookie;
  for (const Text& line : Split(headerBlock, kCrLf)) {
    if (!SetCookieFromLine(line, cookie)) continue;
    cookies += cookie;
    cookies += "; ";
  }
  if (cookies.size() >= 2) cookies.resize(cookies.size() - 2);
  return cookies;
}

bool LocationFromLine(std::string_view line, Text& location) {
  constexpr std::string_view kName = "location: ";
  if (!StartsWithNoCase(line, kName)) return false;
  location = Text(line.substr(kName.size()));
  return true;
}

Text StatusTextOf(std::string_view headerBlock) {
  if (headerBlock.size() < 10) return {};
  std::string_view rest = headerBlock.substr(9);
  return Text(rest.substr(0, rest.find(kCrLf)));
}

bool BodyCutShort(std::string_view headerBlock, int method, size_t received) {
  if (method == 2) return false;
  const long long status = AtoiText(StatusTextOf(headerBlock));
  if ((status >= 100 && status < 200) || status == 204 || status == 304) return false;
  bool declared = false;
  unsigned long long length = 0;
  for (const Text& line : Split(headerBlock, kCrLf)) {
    const Text name = ToLowerAscii(Trim(TextBefore(line, ":")));
    if (name == "transfer-encoding") return false;
    if (name != "content-length" || declared) continue;
    const Text value = Trim(TextAfter(line, ":", -1));
    if (value.empty() || value.find_first_not_of("0123456789") != Text::npos) return false;
    for (char c : value) {
      if (length > (ULLONG_MAX - 9) / 10) return false;
      length = length * 10 + static_cast<unsigned>(c - '0');
    }
    declared = true;
  }
  return declared && length > received;
}

// The page's charset, matched as VBScript.RegExp matches
// <meta.+?charset=[^\w]?([-\w]+) with IgnoreCase: "." is any character but
// LF, \w is [A-Za-z0-9_], and a GBK double-byte character counts as one
// character that is neither.
Text DetectMetaCharset(std::string_view page) {
  page = page.substr(0, 1024);
  // Characters as code page 936 reads them: a lead byte pairs only with a
  // valid trail byte, so a stray high byte never swallows the "<" after it.
  auto pairs = [&](size_t i) {
    if (i + 1 >= page.size()) return false;
    const auto lead = static_cast<unsigned char>(page[i]),
               trail = static_cast<unsigned char>(page[i + 1]);
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
  };
  std::vector<size_t> at;  // start byte of every character, then the end
  for (size_t i = 0; i < page.size(); i += pairs(i) ? 2 : 1) at.push_back(i);
  const size_t n = at.size();
  at.push_back(page.size());
  auto single = [&](size_t k) { return at[k + 1] - at[k] == 1; };
  auto byteAt = [&](size_t k) { return static_cast<unsigned char>(page[at[k]]); };
  auto isWord = [&](size_t k) {
    if (!single(k)) return false;
    unsigned char c = byteAt(k);
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  };
  auto isWordOrDash = [&](size_t k) { return isWord(k) || (single(k) && byteAt(k) == '-'); };
  auto isLf = [&](size_t k) { return single(k) && byteAt(k) == '\n'; };
  auto literal = [&](size_t k, std::string_view lit) {  // lit is lower case
    if (k + lit.size() > n) return false;
    for (size_t j = 0; j < lit.size(); ++j)
      if (!single(k + j) || LowerAsciiByte(static_cast<char>(byteAt(k + j))) != lit[j])
        return false;
    return true;
  };
  // Length of the run of [-\w] from k.
  auto run = [&](size_t k) {
    size_t e = k;
    while (e < n && isWordOrDash(e)) ++e;
    return e - k;
  };
  auto piece = [&](size_t k, size_t len) { return Text(page.substr(at[k], at[k + len] - at[k])); };

  for (size_t s = 0; s < n; ++s) {
    if (!literal(s, "<meta")) continue;
    // ".+?": at least one character, never LF, as few as will do.
    for (size_t e = s + 6; e <= n && !isLf(e - 1); ++e) {
      if (!literal(e, "charset=")) continue;
      const size_t v = e + 8;
      if (v < n && !isWord(v)) {  // "[^\w]?" takes one character when it can
        if (size_t len = run(v + 1)) return piece(v + 1, len);
      }
      if (size_t len = run(v)) return piece(v, len);
    }
  }
  return {};
}

unsigned CodePageOfCharset(std::string_view charset) {
  struct Entry {
    std::string_view name;
    unsigned codePage;
  };
  static constexpr Entry kTable[] = {
      {"utf-8", 65001},       {"utf8", 65001},         {"unicode-1-1-utf-8", 65001},
      {"gbk", 936},           {"gb2312", 936},         {"gb_2312-80", 936},
      {"x-gbk", 936},         {"cp936", 936},          {"windows-936", 936},
      {"euc-cn", 936},        {"csgb2312", 936},       {"gb18030", 54936},
      {"big5", 950},          {"big5-hkscs", 950},     {"x-x-big5", 950},
      {"cp950", 950},         {"shift_jis", 932},      {"shift-jis", 932},
      {"sjis", 932},          {"x-sjis", 932},         {"ms_kanji", 932},
      {"windows-31j", 932},   {"cp932", 932},          {"euc-jp", 20932},
      {"euc-kr", 949},        {"ks_c_5601-1987", 949}, {"cp949", 949},
      {"iso-2022-jp", 50220}, {"hz-gb-2312", 52936},   {"us-ascii", 20127},
      {"ascii", 20127},       {"iso-8859-1", 28591},   {"latin1", 28591},
      {"iso-8859-2", 28592},  {"iso-8859-3", 28593},   {"iso-8859-4", 28594},
      {"iso-8859-5", 28595},  {"iso-8859-6", 28596},   {"iso-8859-7", 28597},
      {"iso-8859-8", 28598},  {"iso-8859-9", 28599},   {"iso-8859-13", 28603},
      {"iso-8859-15", 28605}, {"windows-874", 874},    {"windows-1250", 1250},
      {"windows-1251", 1251}, {"windows-1252", 1252},  {"windows-1253", 1253},
      {"windows-1254", 1254}, {"windows-1255", 1255},  {"windows-1256", 1256},
      {"windows-1257", 1257}, {"windows-1258", 1258},  {"koi8-r", 20866},
      {"koi8-u", 21866},      {"utf-16", 1200},        {"utf-16le", 1200},
      {"unicode", 1200},
  };
  const Text name = ToLowerAscii(charset);
  for (const Entry& e : kTable)
    if (e.name == name) return e.codePage;
  return 0;
}

Text DecodePage(std::string_view body) {
  Text page = BytesToText(body);
  const Text charset = DetectMetaCharset(page);
  if (charset.empty() || charset == "gbk" || charset == "gb2312") return page;
  const unsigned codePage = CodePageOfCharset(charset);
  if (codePage == 0) return page;
  Bytes wide = codePage == 1200 ? Bytes(body.substr(0, body.size() & ~size_t{1}))
                                : MultiByteToWide(codePage, body);
  if (wide.empty()) return page;  // a code page this system cannot convert
  if (wide.size() >= 2 && static_cast<unsigned char>(wide[0]) == 0xFF &&
      static_cast<unsigned char>(wide[1]) == 0xFE)
    wide.erase(0, 2);  // the stream reader drops a byte-order mark
  return WideToText(wide, kGbk);
}

}  // namespace qx
