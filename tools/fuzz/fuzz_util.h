// Shared by the fuzz targets: reading one input as a few values, and checks
// that stop the run with a message (libFuzzer keeps the input as a crash).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// An input read front to back: single bytes for flags and small numbers,
// texts up to the separator byte 0x1E, and the rest (which may hold 0x1E)
// for the text under test. Seeds are written the same way (make_seeds.py).
class Input {
 public:
  Input(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}
  uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<uint8_t>(rest_[0]);
    rest_.remove_prefix(1);
    return b;
  }
  std::string Piece() {
    const size_t n = rest_.find('\x1E');
    std::string piece(rest_.substr(0, n));
    rest_.remove_prefix(n == std::string_view::npos ? rest_.size() : n + 1);
    return piece;
  }
  std::string Rest() {
    std::string rest(rest_);
    rest_ = {};
    return rest;
  }

 private:
  std::string_view rest_;
};

// True when t is well-formed GBK: every lead byte (0x81-0xFE) has a second
// byte 0x40-0xFE other than 0x7F. Rules about ASCII characters ("no ':' in
// the host") hold for such texts; in others a lead byte may take the ASCII
// byte behind it as its second, as code page 936 reads them.
inline bool ValidGbk(std::string_view t) {
  for (size_t i = 0; i < t.size(); ++i) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (c < 0x81 || c > 0xFE) continue;
    if (i + 1 >= t.size()) return false;
    const auto d = static_cast<unsigned char>(t[++i]);
    if (d < 0x40 || d > 0xFE || d == 0x7F) return false;
  }
  return true;
}

// A form value decoded as a web server decodes it ("+" is a blank, %XX a
// byte); false for a bad escape.
inline bool FormDecode(std::string_view v, std::string& out) {
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  out.clear();
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '+') {
      out += ' ';
    } else if (v[i] == '%') {
      if (i + 2 >= v.size()) return false;
      const int hi = hex(v[i + 1]), lo = hex(v[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += v[i];
    }
  }
  return true;
}

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::fuzz::Fail(#cond, __FILE__, __LINE__))
