#include "base/text.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>

namespace qx {
namespace {

inline unsigned char Byte(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

// Width of the character that starts at byte i: 2 for a lead byte with a byte
// after it, else 1.
inline size_t CharWidth(std::string_view s, size_t i) {
  return (IsLeadByte(Byte(s, i)) && i + 1 < s.size()) ? 2 : 1;
}

// Walks character starts from boundary i up to q (the first start at or
// after it); runs of ASCII go eight bytes at a time.
inline size_t SkipToBoundary(std::string_view s, size_t i, size_t q) {
  const char* p = s.data();
  while (i < q) {
    if (q - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    i += CharWidth(s, i);
  }
  return i;
}

// Compares marker with text at i; ASCII letters fold when ignoreCase, except
// the second byte of the marker's double-byte characters.
bool MatchAt(std::string_view text, size_t i, std::string_view marker, bool ignoreCase) {
  if (!ignoreCase) return text.compare(i, marker.size(), marker) == 0;
  bool trail = false;
  for (size_t j = 0; j < marker.size(); ++j) {
    unsigned char m = Byte(marker, j), t = Byte(text, i + j);
    if (trail) {
      if (m != t) return false;
      trail = false;
    } else {
      if (LowerAsciiByte(static_cast<char>(m)) != LowerAsciiByte(static_cast<char>(t)))
        return false;
      trail = IsLeadByte(m);
    }
  }
  return true;
}

// 0-based index of the first match at or after boundary `start`, or npos.
size_t FindFrom(std::string_view text, std::string_view marker, size_t start, bool ignoreCase) {
  const size_t n = text.size(), m = marker.size();
  if (m == 0 || start > n || m > n - start) return std::string_view::npos;
  size_t i = start;  // always a character boundary
  if (!ignoreCase) {
    // Let the library find candidates fast, then walk the boundaries up to each
    // candidate; the walk never goes back, so the whole search stays linear.
    for (;;) {
      size_t q = text.find(marker, i);
      if (q == std::string_view::npos) return q;
      i = SkipToBoundary(text, i, q);
      if (i == q) return q;
      // q was the second byte of a character: go on from the next boundary.
    }
  }
  while (i + m <= n) {
    if (MatchAt(text, i, marker, true)) return i;
    i += CharWidth(text, i);
  }
  return std::string_view::npos;
}

size_t StartIndex(long pos) { return pos <= 1 ? 0 : static_cast<size_t>(pos - 1); }

}  // namespace

long FindText(std::string_view text, std::string_view marker, long from, bool ignoreCase) {
  size_t q = FindFrom(text, marker, StartIndex(from), ignoreCase);
  return q == std::string_view::npos ? -1 : static_cast<long>(q) + 1;
}

long FindLastText(std::string_view text, std::string_view marker, long limit, bool ignoreCase) {
  if (limit >= 0 && static_cast<size_t>(limit) < text.size()) text = text.substr(0, limit);
  long last = -1;
  size_t i = 0;
  for (;;) {
    size_t q = FindFrom(text, marker, i, ignoreCase);
    if (q == std::string_view::npos) return last;
    last = static_cast<long>(q) + 1;
    i = q + CharWidth(text, q);
  }
}

bool CutBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                long& pos, std::string_view& piece, bool ignoreCase) {
  size_t s = FindFrom(text, startMarker, StartIndex(pos), ignoreCase);
  if (s == std::string_view::npos) return false;
  size_t p = s + startMarker.size();
  size_t e = FindFrom(text, endMarker, p, ignoreCase);
  if (e == std::string_view::npos) return false;
  piece = text.substr(p, e - p);
  pos = static_cast<long>(p) + 1;
  return true;
}

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 long startPos, bool ignoreCase) {
  static constexpr std::string_view kQuoteWord = "#引号";
  Text start(startMarker), end(endMarker);
  if (start.find(kQuoteWord) != Text::npos) start = ReplaceAll(start, kQuoteWord, "\"");
  if (end.find(kQuoteWord) != Text::npos) end = ReplaceAll(end, kQuoteWord, "\"");
  std::string_view piece;
  long pos = startPos;
  if (!CutBetween(text, start, end, pos, piece, ignoreCase)) return {};
  return Text(piece);
}

Text TextBefore(std::string_view text, std::string_view marker, long startPos, bool ignoreCase) {
  long q;
  if (startPos >= 0) {
    q = FindText(text, marker, startPos, ignoreCase);
  } else if (startPos == -1) {
    q = FindLastText(text, marker, -1, ignoreCase);
  } else {
    long limit = static_cast<long>(text.size()) + startPos;
    q = limit < 0 ? -1 : FindLastText(text, marker, limit, ignoreCase);
  }
  if (q < 0) return {};
  return Text(text.substr(0, static_cast<size_t>(q - 1)));
}

Text TextAfter(std::string_view text, std::string_view marker, long startPos, bool ignoreCase) {
  long q;
  if (startPos == 0) {
    q = FindLastText(text, marker, -1, ignoreCase);
  } else if (startPos > 0) {
    long limit = static_cast<long>(text.size()) - startPos;
    q = limit < 0 ? -1 : FindLastText(text, marker, limit, ignoreCase);
  } else if (startPos == -1) {
    q = FindText(text, marker, 1, ignoreCase);
  } else {
    // LONG_MIN has no positive counterpart: a position beyond any text.
    q = startPos == LONG_MIN ? -1 : FindText(text, marker, -startPos, ignoreCase);
  }
  if (q < 0) return {};
  return Text(text.substr(static_cast<size_t>(q - 1) + marker.size()));
}

Text HeaderValue(std::string_view headers, std::string_view name) {
  if (name.empty()) return {};
  for (const Text& line : Split(headers, "\r\n")) {
    if (line.compare(0, name.size(), name) == 0) {
      Text marker(name);
      marker += ": ";
      return TextAfter(line, marker);
    }
  }
  return {};
}

namespace {
// Length of the blank at byte i (a boundary): 1 for a space, 2 for A1 A1, else 0.
size_t BlankAt(std::string_view s, size_t i) {
  if (s[i] == ' ') return 1;
  if (Byte(s, i) == 0xA1 && i + 1 < s.size() && Byte(s, i + 1) == 0xA1) return 2;
  return 0;
}
}  // namespace

Text TrimLeft(std::string_view text) {
  size_t i = 0, w;
  while (i < text.size() && (w = BlankAt(text, i)) != 0) i += w;
  return Text(text.substr(i));
}

Text TrimRight(std::string_view text) {
  size_t end = 0, i = 0;
  while (i < text.size()) {
    size_t w = BlankAt(text, i);
    if (w == 0) {
      w = CharWidth(text, i);
      end = i + w;
    }
    i += w;
  }
  return Text(text.substr(0, end));
}

Text Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

std::vector<Text> Split(std::string_view text, std::string_view separator) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t i = 0;
  for (;;) {
    size_t q = FindFrom(text, separator, i, false);
    if (q == std::string_view::npos) break;
    pieces.emplace_back(text.substr(i, q - i));
    i = q + separator.size();
  }
  if (i < text.size()) pieces.emplace_back(text.substr(i));
  return pieces;
}

Text Join(const std::vector<Text>& pieces, std::string_view separator) {
  Text out;
  for (size_t k = 0; k < pieces.size(); ++k) {
    if (k) out += separator;
    out += pieces[k];
  }
  return out;
}

namespace {
Text ChangeCase(std::string_view text, bool lower) {
  Text out(text);
  for (size_t i = 0; i < out.size();) {
    unsigned char c = Byte(out, i);
    if (IsLeadByte(c)) {
      i += CharWidth(out, i);
      continue;
    }
    if (lower && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
    if (!lower && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
    ++i;
  }
  return out;
}
}  // namespace

Text ToLowerAscii(std::string_view text) { return ChangeCase(text, true); }
Text ToUpperAscii(std::string_view text) { return ChangeCase(text, false); }

Text LowerAsciiBytes(std::string_view bytes) {
  Text out(bytes);
  for (char& c : out) c = LowerAsciiByte(c);
  return out;
}

bool StartsWithNoCase(std::string_view bytes, std::string_view lowerPrefix) {
  return bytes.size() >= lowerPrefix.size() &&
         LowerAsciiBytes(bytes.substr(0, lowerPrefix.size())) == lowerPrefix;
}

size_t FindNoCase(std::string_view bytes, std::string_view lowerNeedle, size_t from) {
  const auto it =
      std::search(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size())),
                  bytes.end(), lowerNeedle.begin(), lowerNeedle.end(),
                  [](char a, char b) { return LowerAsciiByte(a) == b; });
  return it == bytes.end() ? std::string_view::npos : static_cast<size_t>(it - bytes.begin());
}

Text TrimAsciiBlanks(std::string_view bytes) {
  size_t b = 0, e = bytes.size();
  while (b < e && IsAsciiBlank(bytes[b])) ++b;
  while (e > b && IsAsciiBlank(bytes[e - 1])) --e;
  return Text(bytes.substr(b, e - b));
}

void AppendHexByte(Text& out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 15];
}

Text HexUpper(std::string_view bytes) {
  Text out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) AppendHexByte(out, b);
  return out;
}

Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                bool ignoreCase) {
  if (from.empty()) return Text(text);
  Text out;
  size_t i = 0;
  for (;;) {
    size_t q = FindFrom(text, from, i, ignoreCase);
    if (q == std::string_view::npos) break;
    out.append(text.substr(i, q - i));
    out.append(to);
    i = q + from.size();
  }
  out.append(text.substr(i));
  return out;
}

namespace {
long long Accumulate(long long v, int digit, bool& overflow) {
  if (v > (LLONG_MAX - digit) / 10) {
    overflow = true;
    return LLONG_MAX;
  }
  return v * 10 + digit;
}
}  // namespace

namespace {

// The value of the digit at i (ASCII or full-width) and its width in bytes;
// width 0 when none is there.
std::pair<int, size_t> DigitAt(std::string_view text, size_t i) {
  if (i >= text.size()) return {0, 0};
  const unsigned char c = Byte(text, i);
  if (c >= '0' && c <= '9') return {c - '0', 1};
  if (c == 0xA3 && i + 1 < text.size() && Byte(text, i + 1) >= 0xB0 && Byte(text, i + 1) <= 0xB9)
    return {Byte(text, i + 1) - 0xB0, 2};
  return {0, 0};
}

// Where the number of TextToInt begins (past blanks and sign), and its sign.
size_t NumberStart(std::string_view text, bool& negative) {
  size_t i = 0, w;
  while (i < text.size() && (w = BlankAt(text, i)) != 0) i += w;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  return i;
}

}  // namespace

long long TextToInt(std::string_view text) {
  bool negative = false;
  size_t i = NumberStart(text, negative);
  long long v = 0;
  bool overflow = false;
  for (auto [digit, width] = DigitAt(text, i); width != 0 && !overflow;
       std::tie(digit, width) = DigitAt(text, i)) {
    v = Accumulate(v, digit, overflow);
    i += width;
  }
  return negative ? -v : v;
}

bool ReadsAsNumber(std::string_view text) {
  bool negative = false;
  return DigitAt(text, NumberStart(text, negative)).second != 0;
}

long long AtoiText(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long v = 0;
  bool overflow = false;
  while (i < text.size() && !overflow && text[i] >= '0' && text[i] <= '9')
    v = Accumulate(v, text[i++] - '0', overflow);
  return negative ? -v : v;
}

}  // namespace qx
