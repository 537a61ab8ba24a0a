// The request-routine tests' view of the recording server
// (tests/web/recording_server.py): where it listens, and the requests it recorded,
// fetched with a bare Winsock client so that the routines under test never
// check themselves.
#pragma once

#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace webtest {

struct ServerPorts {
  int http = 0;
  int https = 0;
  int other = 0;  // a second plain port: another origin
};

// Ports from the file the fixture's server writes ($QARVEX_TEST_SERVER_DIR/ports;
// the Unix path is read through Wine's drive Z:).
inline const ServerPorts& Ports() {
  static const ServerPorts ports = [] {
    ServerPorts p;
    const char* dir = std::getenv("QARVEX_TEST_SERVER_DIR");
    if (!dir) return p;
    std::string path = std::string("Z:") + dir + "/ports";
    for (char& c : path)
      if (c == '/') c = '\\';
    if (FILE* f = std::fopen(path.c_str(), "r")) {
      if (std::fscanf(f, "%d %d %d", &p.http, &p.https, &p.other) != 3) p = {};
      std::fclose(f);
    }
    return p;
  }();
  return ports;
}

inline std::string HttpBase() { return "http://127.0.0.1:" + std::to_string(Ports().http); }
inline std::string OtherHttpBase() { return "http://127.0.0.1:" + std::to_string(Ports().other); }
inline std::string HttpsBase(const char* scheme = "https://") {
  return scheme + std::string("127.0.0.1:") + std::to_string(Ports().https);
}

inline bool WinsockReady() {
  static const bool ok = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ok;
}

// A loopback port nobody listens on (bound, then released).
inline int FreePort() {
  if (!WinsockReady()) return 0;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof a;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  closesocket(s);
  return port;
}

// One HTTP/1.0 GET to the plain port; the body, and the status code in *status.
inline std::string RawGet(const std::string& target, int* status = nullptr) {
  if (status) *status = 0;
  if (!WinsockReady()) return {};
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(Ports().http));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    send(s, request.data(), static_cast<int>(request.size()), 0);
    char buffer[8192];
    for (int n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, n);
  }
  closesocket(s);
  const size_t end = reply.find("\r\n\r\n");
  if (end == std::string::npos) return {};
  if (status && reply.size() > 12) *status = std::atoi(reply.c_str() + 9);
  return reply.substr(end + 4);
}

// A request as the server received it.
struct Recorded {
  bool found = false;
  std::string line;                                          // request line
  std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent
  std::string body;

  static bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(a[i])) !=
          std::tolower(static_cast<unsigned char>(b[i])))
        return false;
    return true;
  }
  // Values of the headers with this name (any case), in order.
  std::vector<std::string> Values(const std::string& name) const {
    std::vector<std::string> v;
    for (const auto& [n, value] : headers)
      if (SameName(n, name)) v.push_back(value);
    return v;
  }
  // The one value of a header, or "<absent>" / "<repeated>".
  std::string Value(const std::string& name) const {
    auto v = Values(name);
    return v.empty() ? "<absent>" : v.size() > 1 ? "<repeated>" : v[0];
  }
  // The items of the Cookie header. WinINet's store may add cookies that
  // other programs of the Wine prefix left for 127.0.0.1 (any port).
  std::vector<std::string> CookieItems() const {
    std::vector<std::string> items;
    for (const std::string& v : Values("Cookie")) {
      size_t at = 0;
      for (size_t q; (q = v.find("; ", at)) != std::string::npos; at = q + 2)
        items.push_back(v.substr(at, q - at));
      if (at < v.size()) items.push_back(v.substr(at));
    }
    return items;
  }
  bool HasCookie(const std::string& item) const {
    for (const std::string& i : CookieItems())
      if (i == item) return true;
    return false;
  }
  // Names (as sent) of the headers among `wanted`, in the order they came.
  std::vector<std::string> NamesAmong(const std::vector<std::string>& wanted) const {
    std::vector<std::string> out;
    for (const auto& h : headers)
      for (const auto& w : wanted)
        if (SameName(h.first, w)) out.push_back(h.first);
    return out;
  }
};

inline Recorded Parse(const std::string& raw) {
  Recorded r;
  const size_t end = raw.find("\r\n\r\n");
  if (end == std::string::npos) return r;
  r.found = true;
  r.body = raw.substr(end + 4);
  size_t at = 0;
  bool first = true;
  while (at < end) {
    size_t eol = raw.find("\r\n", at);
    if (eol == std::string::npos || eol > end) eol = end;
    std::string line = raw.substr(at, eol - at);
    at = eol + 2;
    if (first) {
      r.line = line;
      first = false;
      continue;
    }
    const size_t colon = line.find(':');
    std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' ') == std::string::npos
                       ? value.size()
                       : value.find_first_not_of(' '));
    r.headers.emplace_back(line.substr(0, colon), value);
  }
  return r;
}

// The latest request whose path holds `tag`.
inline Recorded LastRequest(const std::string& tag) {
  int status = 0;
  std::string raw = RawGet("/__req?tag=" + tag, &status);
  return status == 200 ? Parse(raw) : Recorded{};
}

inline int RequestCount(const std::string& tag) {
  return std::atoi(RawGet("/__count?tag=" + tag).c_str());
}

// A tag no other request of this or an earlier run carries.
inline std::string NewTag() {
  static int counter = 0;
  static const long long run =
      std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007LL;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(info ? info->name() : "t") + "-" + std::to_string(run) + "-" +
         std::to_string(++counter) + "z";  // "-5z" is no part of "-55z"
}

// The body /big/ sends: byte i is i % 251.
inline std::string BigBody(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}

// Percent-encodes a query value.
inline std::string Q(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// Hex text of bytes (for /reply/?hex=).
inline std::string Hex(const std::string& bytes) {
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += hex[c >> 4];
    out += hex[c & 15];
  }
  return out;
}

// The recording server's certificate pin (cert.pin, made with openssl).
inline std::string ServerPin() {
  const char* dir = std::getenv("QARVEX_TEST_SERVER_DIR");
  std::string pin;
  if (FILE* f = dir ? std::fopen((std::string("Z:") + dir + "/cert.pin").c_str(), "r") : nullptr) {
    char text[80] = {};
    if (std::fscanf(f, "%79s", text) == 1) pin = text;
    std::fclose(f);
  }
  return pin;
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(Ports().http, 0) << "recording server not found: run through ctest "
                                  "(QARVEX_TEST_SERVER_DIR names its folder)";
    // The server makes a new certificate each run: a pin of an earlier run
    // would stand for a changed certificate.
    static const bool pinsCleared =
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QARVEX\\CertificatePins") >= 0;
    (void)pinsCleared;
  }
};

}  // namespace webtest
