#include "web/url.h"

#include <algorithm>

#include "base/codepage.h"

namespace qx {

Text UrlHost(std::string_view url, bool rootDomain, bool keepPort) {
  Text u = ToLowerAscii(url);
  if (u.empty() || u.back() != '/') u += '/';
  Text host;
  if (IsHttpsUrl(u)) {
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

bool SameOrigin(std::string_view a, std::string_view b) {
  return IsHttpsUrl(a) == IsHttpsUrl(b) && UrlHost(a) == UrlHost(b) && UrlPort(a) == UrlPort(b);
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

bool IsAsciiAlnum(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Every byte `keep` lets through stays; a blank becomes "+" when blankAsPlus;
// any other byte becomes %XX (upper-case hex).
template <typename Keep>
Text PercentEncode(std::string_view bytes, Keep keep, bool blankAsPlus) {
  Text out;
  out.reserve(bytes.size() * 3);
  for (unsigned char c : bytes) {
    if (keep(c)) {
      out += static_cast<char>(c);
    } else if (blankAsPlus && c == ' ') {
      out += '+';
    } else {
      out += '%';
      AppendHexByte(out, c);
    }
  }
  return out;
}

}  // namespace

Text BrowserFormEncode(std::string_view bytes) {
  return PercentEncode(
      bytes,
      [](unsigned char c) {
        return IsAsciiAlnum(c) || c == '-' || c == '_' || c == '.' || c == '*';
      },
      true);
}

Text FormEncode(std::string_view text) {
  // The whole text converted, a NUL inside it included, then dropped.
  Bytes utf8 = WideToMultiByte(kUtf8, MultiByteToWide(kGbk, text));
  std::erase(utf8, '\0');
  return PercentEncode(
      utf8,
      [](unsigned char c) {
        return IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '\'' || c == '(' ||
               c == ')' || c == '*';
      },
      true);
}

bool IsWebUrl(std::string_view url) { return StartsWithNoCase(url, "http://") || IsHttpsUrl(url); }

bool IsHttpsUrl(std::string_view url) { return StartsWithNoCase(url, "https://"); }

Text WithoutFragment(std::string_view url) { return Text(url.substr(0, url.find('#'))); }

// --- resolution ---

namespace {

struct UrlParts {
  Text scheme;  // lower case; empty when none
  bool hasAuthority = false;
  Text authority;
  Text path;
  bool hasQuery = false;
  Text query;
  bool hasFragment = false;
  Text fragment;
};

bool IsSchemeChar(char c, bool first) {
  const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return alpha;
  return alpha || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// ^(([^:/?#]+):)?(//([^/?#]*))?([^?#]*)(\?([^#]*))?(#(.*))?
UrlParts SplitUrlParts(std::string_view s) {
  UrlParts p;
  size_t i = 0;
  const size_t colon = s.find(':');
  if (colon != std::string_view::npos && colon > 0 &&
      s.substr(0, colon).find_first_of("/?#") == std::string_view::npos) {
    bool ok = true;
    for (size_t k = 0; k < colon && ok; ++k) ok = IsSchemeChar(s[k], k == 0);
    if (ok) {
      p.scheme = LowerAsciiBytes(s.substr(0, colon));
      i = colon + 1;
    }
  }
  if (s.substr(i, 2) == "//") {
    p.hasAuthority = true;
    const size_t end = std::min(s.find_first_of("/?#", i + 2), s.size());
    p.authority = Text(s.substr(i + 2, end - i - 2));
    i = end;
  }
  const size_t pathEnd = std::min(s.find_first_of("?#", i), s.size());
  p.path = Text(s.substr(i, pathEnd - i));
  i = pathEnd;
  if (i < s.size() && s[i] == '?') {
    p.hasQuery = true;
    const size_t end = std::min(s.find('#', i), s.size());
    p.query = Text(s.substr(i + 1, end - i - 1));
    i = end;
  }
  if (i < s.size() && s[i] == '#') {
    p.hasFragment = true;
    p.fragment = Text(s.substr(i + 1));
  }
  return p;
}

// RFC 3986 5.2.4.
Text RemoveDotSegments(std::string_view in) {
  Text input(in), output;
  while (!input.empty()) {
    if (input.rfind("../", 0) == 0) {
      input.erase(0, 3);
    } else if (input.rfind("./", 0) == 0) {
      input.erase(0, 2);
    } else if (input.rfind("/./", 0) == 0) {
      input.erase(0, 2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.rfind("/../", 0) == 0 || input == "/..") {
      input = input.size() == 3 ? Text("/") : input.substr(3);
      const size_t last = output.rfind('/');
      output.resize(last == Text::npos ? 0 : last);
    } else if (input == "." || input == "..") {
      input.clear();
    } else {
      const size_t next = input.find('/', 1);
      const size_t n = next == Text::npos ? input.size() : next;
      output.append(input, 0, n);
      input.erase(0, n);
    }
  }
  return output;
}

Text JoinUrlParts(const UrlParts& p) {
  Text out;
  if (!p.scheme.empty()) out += p.scheme + ":";
  if (p.hasAuthority) out += "//" + p.authority;
  out += p.path;
  if (p.hasQuery) out += "?" + p.query;
  if (p.hasFragment) out += "#" + p.fragment;
  return out;
}

// A reference cleaned as a browser's URL parser does first.
Text CleanReference(std::string_view reference, bool special) {
  size_t b = 0, e = reference.size();
  while (b < e && static_cast<unsigned char>(reference[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(reference[e - 1]) <= 0x20) --e;
  Text out;
  bool inPath = true;
  for (char c : reference.substr(b, e - b)) {
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c == '?' || c == '#') inPath = false;
    out += (special && inPath && c == '\\') ? '/' : c;
  }
  return out;
}

}  // namespace

Text ResolveUrl(std::string_view base, std::string_view reference) {
  const UrlParts b = SplitUrlParts(base);
  const bool special = b.scheme == "http" || b.scheme == "https";
  const Text cleaned = CleanReference(reference, special);
  UrlParts r = SplitUrlParts(cleaned);
  UrlParts t;
  if (!r.scheme.empty()) {
    t = r;
    t.path = RemoveDotSegments(r.path);
  } else {
    t.scheme = b.scheme;
    if (r.hasAuthority) {
      t.hasAuthority = true;
      t.authority = r.authority;
      t.path = RemoveDotSegments(r.path);
      t.hasQuery = r.hasQuery;
      t.query = r.query;
    } else {
      t.hasAuthority = b.hasAuthority;
      t.authority = b.authority;
      if (r.path.empty()) {
        t.path = b.path;
        t.hasQuery = r.hasQuery || b.hasQuery;
        t.query = r.hasQuery ? r.query : b.query;
      } else {
        if (r.path[0] == '/') {
          t.path = RemoveDotSegments(r.path);
        } else {
          Text merged;
          if (b.hasAuthority && b.path.empty()) {
            merged = "/" + r.path;
          } else {
            const size_t slash = b.path.rfind('/');
            merged = (slash == Text::npos ? Text() : b.path.substr(0, slash + 1)) + r.path;
          }
          t.path = RemoveDotSegments(merged);
        }
        t.hasQuery = r.hasQuery;
        t.query = r.query;
      }
    }
    t.hasFragment = r.hasFragment;
    t.fragment = r.fragment;
  }
  if (special && t.hasAuthority && t.path.empty()) t.path.push_back('/');
  // What a URL cannot carry, percent-encoded; everything else as it stands.
  return PercentEncode(
      JoinUrlParts(t),
      [](unsigned char c) {
        return c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '`';
      },
      false);
}

}  // namespace qx
