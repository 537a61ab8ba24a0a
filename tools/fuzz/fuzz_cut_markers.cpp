// CutAllBetween, TextBetween and CutBetween with random markers and options.
// Input: flags, maxLength, fromPosition (bytes), start 1E end 1E prefix 1E
// suffix 1E source.
#include <vector>

#include "portal/machine_list.h"
#include "tools/fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t flags = in.Byte();
  const size_t maxLength = in.Byte();
  const long from = static_cast<int8_t>(in.Byte());
  const std::string start = in.Piece(), end = in.Piece(), prefix = in.Piece(), suffix = in.Piece(),
                    source = in.Rest();
  const bool ci = flags & 1, keepStart = flags & 2, keepEnd = flags & 4;

  std::vector<qx::Text> list{"stale"};
  const size_t n = qx::CutAllBetween(source, start, end, list, ci, maxLength, prefix, suffix,
                                     keepStart, keepEnd, from);
  FUZZ_CHECK(n == list.size());
  const std::string head = (keepStart ? start : "") + prefix, tail = suffix + (keepEnd ? end : "");
  for (const qx::Text& piece : list) {
    if (maxLength) FUZZ_CHECK(piece.size() < maxLength);
    FUZZ_CHECK(piece.size() >= head.size() + tail.size());
    FUZZ_CHECK(piece.compare(0, head.size(), head) == 0);
    FUZZ_CHECK(piece.compare(piece.size() - tail.size(), tail.size(), tail) == 0);
    if (!ci) {
      const std::string cut = piece.substr(head.size(), piece.size() - head.size() - tail.size());
      FUZZ_CHECK(source.find(start + cut + end) != std::string::npos);
    }
  }

  long pos = from;
  std::string_view piece;
  if (qx::CutBetween(source, start, end, pos, piece, ci)) {
    FUZZ_CHECK(pos >= 1 && static_cast<size_t>(pos - 1) + piece.size() <= source.size());
    FUZZ_CHECK(source.compare(static_cast<size_t>(pos - 1), piece.size(), piece) == 0);
    FUZZ_CHECK(static_cast<size_t>(pos - 1) >= start.size());
    if (!ci) {
      FUZZ_CHECK(source.compare(static_cast<size_t>(pos - 1) - start.size(), start.size(), start) ==
                 0);
      FUZZ_CHECK(source.compare(static_cast<size_t>(pos - 1) + piece.size(), end.size(), end) == 0);
    }
    // The first piece of the walk is the same cut.
    std::vector<qx::Text> plain;
    qx::CutAllBetween(source, start, end, plain, ci, 0, {}, {}, false, false, from);
    FUZZ_CHECK(!plain.empty() && plain[0] == piece);
  }
  const qx::Text between = qx::TextBetween(source, start, end, from, ci);
  FUZZ_CHECK(source.find(between) != std::string::npos);
  return 0;
}
