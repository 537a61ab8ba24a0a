#include "web/url.h"

#include "base/codepage.h"

namespace qx {

Text UrlHost(std::string_view url, bool rootDomain, bool keepPort) {
  Text u = ToLowerAscii(url);
  if (u.empty() || u.back() != '/') u += '/';
  Text host;
  if (u.compare(0, 8, "https://") == 0) {
    host = TextBetween(u, "https://", "/");
  } else {
    if (FindText(u, "http://") < 0) u.insert(0, "http://");
    host = TextBetween(u, "http://", "/");
  }
  if (rootDomain) {
    auto labels = Split(host, ".");
    if (labels.size() >= 2) host = labels[labels.size() - 2] + "." + labels.back();
  }
  if (!keepPort) {
    long colon = FindText(host, ":");
    if (colon > 0) host.resize(static_cast<size_t>(colon - 1));
  }
  return host;
}

int UrlPort(std::string_view url) {
  Text h = UrlHost(url, false, true);
  long colon = FindLastText(h, ":");
  if (colon > 0) {
    long long port = 0;
    for (size_t i = static_cast<size_t>(colon); i < h.size() && h[i] >= '0' && h[i] <= '9'; ++i) {
      port = port * 10 + (h[i] - '0');
      if (port > 0x7FFFFFFF) break;
    }
    return static_cast<int>(port > 0xFFFF ? 0 : port);
  }
  return ToLowerAscii(url.substr(0, 5)) == "https" ? 443 : 80;
}

Text UrlPath(std::string_view url) {
  // The host is looked for behind the scheme, which may hold its letters ("http://h/x").
  const long scheme = FindText(url, "://");
  const long hostFrom = scheme < 0 ? 1 : scheme + 3;
  Text h = UrlHost(url);
  long p = h.empty() ? hostFrom : FindText(url, h, hostFrom, true);
  long q = FindText(url, "/", p < 1 ? hostFrom : p, true);
  if (q < 0) return "/";
  return Text(url.substr(static_cast<size_t>(q - 1)));
}

namespace {
constexpr char kHex[] = "0123456789ABCDEF";
}  // namespace

Text BrowserFormEncode(std::string_view bytes) {
  Text out;
  out.reserve(bytes.size() * 3);
  for (unsigned char c : bytes) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '*') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

Text FormEncode(std::string_view text) {
  // The whole text converted (a NUL inside it included, to be dropped below).
  const Bytes utf8 = WideToMultiByte(kUtf8, MultiByteToWide(kGbk, text));
  Text out;
  out.reserve(utf8.size() * 3);
  for (unsigned char c : utf8) {
    if (c == 0) continue;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '\'' || c == '(' || c == ')' || c == '*') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace qx
