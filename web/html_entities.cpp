#include "web/html_entities.h"

#include <cstdint>

#include "base/codepage.h"

namespace qx {
namespace {

struct NamedReference {
  std::string_view name;
  char32_t character;
};
// The references a page writes for text. Names are case-sensitive; the
// upper-case forms are the old ones browsers still read.
constexpr NamedReference kNamed[] = {
    {"amp", U'&'},     {"lt", U'<'},      {"gt", U'>'},       {"quot", U'"'},    {"apos", U'\''},
    {"nbsp", U' '},    {"AMP", U'&'},     {"LT", U'<'},       {"GT", U'>'},      {"QUOT", U'"'},
    {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122},  {"yen", 0xA5},     {"middot", 0xB7},
    {"times", 0xD7},   {"divide", 0xF7},  {"deg", 0xB0},      {"plusmn", 0xB1},  {"sect", 0xA7},
    {"laquo", 0xAB},   {"raquo", 0xBB},   {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013},
    {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C},  {"rdquo", 0x201D}, {"bull", 0x2022},
};
constexpr std::size_t kLongestName = 6;

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The reference that begins with the "&" at `at`: its length up to and
// including ";", and the character it names in `character`; 0 when there is
// no reference there.
std::size_t ReadReference(std::string_view text, std::size_t at, char32_t& character) {
  std::size_t i = at + 1;
  if (i < text.size() && text[i] == '#') {
    const bool hex = ++i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    const std::size_t digits = i;
    std::uint32_t value = 0;
    for (int d; i < text.size() && (d = DigitValue(text[i], hex)) >= 0; ++i)
      if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
    if (i == digits || i >= text.size() || text[i] != ';') return 0;
    const bool named = value != 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
    character = named ? value : 0xFFFD;
    return i + 1 - at;
  }
  const std::size_t name = i;
  while (i < text.size() && i - name <= kLongestName && IsAsciiAlnum(text[i])) ++i;
  if (i >= text.size() || text[i] != ';') return 0;
  for (const NamedReference& n : kNamed) {
    if (n.name == text.substr(name, i - name)) {
      character = n.character;
      return i + 1 - at;
    }
  }
  return 0;
}

void AppendCharacter(Text& out, char32_t c) {
  if (c == 0xA0) c = U' ';  // a no-break space is a space to the user
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  Bytes wide;
  auto unit = [&wide](std::uint32_t u) {
    wide += static_cast<char>(u & 0xFF);
    wide += static_cast<char>(u >> 8);
  };
  if (c >= 0x10000) {
    unit(0xD800 + ((c - 0x10000) >> 10));
    unit(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    unit(c);
  }
  out += WideToMultiByte(kGbk, wide);
}

}  // namespace

Text DecodeHtmlEntities(std::string_view text) {
  if (text.find('&') == std::string_view::npos) return Text(text);
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      out.append(text.substr(i, 2));
      i += 2;
      continue;
    }
    char32_t character = 0;
    const std::size_t length = c == '&' ? ReadReference(text, i, character) : 0;
    if (length) {
      AppendCharacter(out, character);
      i += length;
    } else {
      out += static_cast<char>(c);
      ++i;
    }
  }
  return out;
}

}  // namespace qx
