// The GBK-aware search against a plain walk over the character boundaries;
// TextBefore/TextAfter at any position; Split/Join, ReplaceAll, Trim, the
// case changes and the two number readers. Input: flags, position bytes,
// marker 1E text.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "base/text.h"
#include "tools/fuzz/fuzz_util.h"

namespace {
// Byte offsets of every character start, then the end of the text.
std::vector<size_t> Boundaries(std::string_view t) {
  std::vector<size_t> at;
  size_t i = 0;
  while (i < t.size()) {
    at.push_back(i);
    i += (qx::IsLeadByte(static_cast<unsigned char>(t[i])) && i + 1 < t.size()) ? 2 : 1;
  }
  at.push_back(t.size());
  return at;
}

long PlainFind(std::string_view t, std::string_view m, size_t from, const std::vector<size_t>& at) {
  if (m.empty()) return -1;
  for (size_t b : at)
    if (b >= from && b + m.size() <= t.size() && t.compare(b, m.size(), m) == 0)
      return static_cast<long>(b) + 1;
  return -1;
}

long PlainFindLast(std::string_view t, std::string_view m, long limit,
                   const std::vector<size_t>& at) {
  const size_t within = limit >= 0 && static_cast<size_t>(limit) < t.size() ? limit : t.size();
  long last = -1;
  if (m.empty()) return -1;
  for (size_t b : at)
    if (b + m.size() <= within && t.compare(b, m.size(), m) == 0) last = static_cast<long>(b) + 1;
  return last;
}

long Position(uint8_t selector, uint8_t value) {
  switch (selector % 4) {
    case 0:
      return LONG_MIN;
    case 1:
      return LONG_MAX;
    default:
      return static_cast<int8_t>(value);
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t flags = in.Byte(), a = in.Byte(), b = in.Byte();
  const std::string marker = in.Piece(), text = in.Rest();
  const bool ci = flags & 1;
  const std::vector<size_t> at = Boundaries(text);

  // The search agrees with the plain walk (case kept; folding has its own walk).
  const size_t from = at[a % at.size()];
  const long found = qx::FindText(text, marker, static_cast<long>(from) + 1, ci);
  if (!ci) FUZZ_CHECK(found == PlainFind(text, marker, from, at));
  if (found > 0) FUZZ_CHECK(static_cast<size_t>(found - 1) + marker.size() <= text.size());
  const long limit = static_cast<int8_t>(b) < 0 ? -1 : static_cast<long>(b);
  const long last = qx::FindLastText(text, marker, limit, ci);
  if (!ci) FUZZ_CHECK(last == PlainFindLast(text, marker, limit, at));

  // Before and after: always a piece of the text, whatever the position.
  const long pos = Position(flags >> 1, a);
  const qx::Text before = qx::TextBefore(text, marker, pos, ci);
  FUZZ_CHECK(text.compare(0, before.size(), before) == 0);
  const qx::Text after = qx::TextAfter(text, marker, pos, ci);
  FUZZ_CHECK(after.size() <= text.size() &&
             text.compare(text.size() - after.size(), after.size(), after) == 0);
  FUZZ_CHECK(text.find(qx::TextBetween(text, marker, marker, pos, ci)) != std::string::npos);
  FUZZ_CHECK(text.find(qx::HeaderValue(text, marker)) != std::string::npos);

  // Split and Join give the text back, less a separator at its very end.
  const qx::Text joined = qx::Join(qx::Split(text, marker), marker);
  FUZZ_CHECK(joined == text || joined + marker == text);
  FUZZ_CHECK(qx::ReplaceAll(text, marker, marker) == text);
  FUZZ_CHECK(qx::ReplaceAll(text, marker, "").size() <= text.size());

  const qx::Text trimmed = qx::Trim(text);
  FUZZ_CHECK(text.find(trimmed) != std::string::npos && qx::Trim(trimmed) == trimmed);
  FUZZ_CHECK(qx::ToLowerAscii(text).size() == text.size());
  FUZZ_CHECK(qx::ToUpperAscii(text).size() == text.size());
  FUZZ_CHECK(qx::BytesToText(text) == text.substr(0, text.find('\0')));

  // AtoiText is the C library's reading but for the end of the range.
  (void)qx::TextToInt(text);
  const long long atoi = qx::AtoiText(text);
  errno = 0;
  const long long c = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == 0 && c != LLONG_MIN && c != LLONG_MAX && text.find('\0') == std::string::npos)
    FUZZ_CHECK(atoi == c);
  return 0;
}
