#include "base/codepage.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

namespace qx {
namespace {

// GBK bytes of every UTF-16 code unit of the basic plane, built once from the
// platform's own code page 936, so that a table lookup converts each
// character exactly as the platform does.
struct GbkTable {
  std::array<std::uint16_t, 65536> bytes{};  // first byte low, second high
  std::array<std::uint8_t, 65536> length{};  // 0: a surrogate, no character of its own
  Bytes beyondBmp;                           // what a character outside the basic plane becomes
};

void StoreUnit(Bytes& wide, unsigned u) {
  wide += static_cast<char>(u & 0xFF);
  wide += static_cast<char>(u >> 8);
}

std::unique_ptr<GbkTable> BuildGbkTable() {
  auto t = std::make_unique<GbkTable>();
  Bytes wide;
  wide.reserve(2 * 65536);
  for (unsigned u = 0; u < 65536; ++u)
    if (u < 0xD800 || u > 0xDFFF) StoreUnit(wide, u);
  const Bytes all = WideToMultiByte(kGbk, wide);
  // One call for the whole plane; a lead byte tells a character's length.
  std::size_t at = 0;
  bool whole = true;
  for (unsigned u = 0; u < 65536 && whole; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    const std::size_t n =
        at < all.size() && IsLeadByte(static_cast<unsigned char>(all[at])) ? 2 : 1;
    if (at + n > all.size()) whole = false;
    if (!whole) break;
    t->length[u] = static_cast<std::uint8_t>(n);
    t->bytes[u] =
        static_cast<std::uint16_t>(static_cast<unsigned char>(all[at]) |
                                   (n == 2 ? static_cast<unsigned char>(all[at + 1]) << 8 : 0));
    at += n;
  }
  if (!whole || at != all.size()) {
    // The lengths did not line up: one character at a time.
    for (unsigned u = 0; u < 65536; ++u) {
      if (u >= 0xD800 && u <= 0xDFFF) continue;
      Bytes one;
      StoreUnit(one, u);
      const Bytes out = WideToMultiByte(kGbk, one);
      t->length[u] = static_cast<std::uint8_t>(out.size() == 2 ? 2 : 1);
      t->bytes[u] = static_cast<std::uint16_t>(
          (out.empty() ? '?' : static_cast<unsigned char>(out[0])) |
          (out.size() == 2 ? static_cast<unsigned char>(out[1]) << 8 : 0));
    }
  }
  Bytes pair;
  StoreUnit(pair, 0xD83D);
  StoreUnit(pair, 0xDE00);
  t->beyondBmp = WideToMultiByte(kGbk, pair);
  return t;
}

const GbkTable& Table() {
  static const std::unique_ptr<GbkTable> table = BuildGbkTable();
  return *table;
}

// One pass over valid UTF-8 (up to its first NUL) straight into GBK; false
// for any malformed sequence, which the platform's own conversion handles.
bool Utf8ToGbkByTable(std::string_view in, Text& out) {
  const GbkTable& t = Table();
  // GBK never takes more bytes than UTF-8 for the same characters, except a
  // character beyond the basic plane, which becomes the platform's default.
  out.assign(in.size() + (t.beyondBmp.size() > 4 ? in.size() : 0), '\0');
  char* w = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const auto* end = p + in.size();
  while (p < end) {
    // Runs of ASCII eight bytes at a time (a NUL ends the text).
    if (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      const bool ascii = (word & 0x8080808080808080ULL) == 0;
      const bool nul = ((word - 0x0101010101010101ULL) & ~word & 0x8080808080808080ULL) != 0;
      if (ascii && !nul) {
        std::memcpy(w, p, 8);
        w += 8;
        p += 8;
        continue;
      }
    }
    unsigned c = *p;
    if (c == 0) break;
    if (c < 0x80) {
      *w++ = static_cast<char>(c);
      ++p;
      continue;
    }
    int n;
    unsigned min;
    if ((c & 0xE0) == 0xC0) {
      n = 1, min = 0x80, c &= 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2, min = 0x800, c &= 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3, min = 0x10000, c &= 0x07;
    } else {
      return false;
    }
    if (end - p <= n) return false;
    for (int i = 1; i <= n; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    p += n + 1;
    if (c > 0xFFFF) {
      std::memcpy(w, t.beyondBmp.data(), t.beyondBmp.size());
      w += t.beyondBmp.size();
      continue;
    }
    const std::uint16_t b = t.bytes[c];
    *w++ = static_cast<char>(b & 0xFF);
    if (t.length[c] == 2) *w++ = static_cast<char>(b >> 8);
  }
  out.resize(static_cast<std::size_t>(w - out.data()));
  return true;
}

}  // namespace

Bytes TextToWide(std::string_view text, unsigned codePage) {
  auto nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.empty()) return {};
  Bytes wide = MultiByteToWide(codePage, text);
  wide.append(2, '\0');
  return wide;
}

Bytes WideToBytes(std::string_view wide, unsigned codePage) {
  size_t units = wide.size() / 2, n = 0;
  while (n < units && (wide[2 * n] != '\0' || wide[2 * n + 1] != '\0')) ++n;
  if (n == 0) return {};
  Bytes out = WideToMultiByte(codePage, wide.substr(0, 2 * n));
  auto nul = out.find('\0');
  if (nul != Bytes::npos) out.resize(nul);
  return out;
}

Text Utf8ToAnsiByPlatform(std::string_view text) {
  return WideToText(TextToWide(text, kUtf8), kGbk);
}

Text Utf8ToAnsi(std::string_view text) {
  Text out;
  if (Utf8ToGbkByTable(text, out)) return out;
  return Utf8ToAnsiByPlatform(text);
}

Bytes AnsiToUtf8(std::string_view text) { return WideToBytes(AnsiToWide(text), kUtf8); }

}  // namespace qx
