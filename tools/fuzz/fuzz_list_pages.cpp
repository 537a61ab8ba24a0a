// The three list pages (GBK, as the program holds them after converting) to
// sections, the summed count and the machine rows; the 搜索 rule over the
// rows' addresses; the search text's character references decoded. Input:
// search text 1E page 1E page 1E page.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "portal/machine_list.h"
#include "tools/fuzz/fuzz_util.h"
#include "web/html_entities.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string search = in.Piece();
  std::array<qx::Text, qx::kListPageCount> pages;
  pages[0] = in.Piece();
  pages[1] = in.Piece();
  pages[2] = in.Rest();

  const qx::MachineListPages read = qx::ReadListPages(pages);
  errno = 0;
  char* end = nullptr;
  const long long count = std::strtoll(read.countText.c_str(), &end, 10);
  FUZZ_CHECK(!read.countText.empty() && *end == '\0' && errno == 0);
  // Figures of one sign add up, saturating at the end of the range.
  __int128 sum = 0;
  bool anyNegative = false, anyPositive = false;
  for (const qx::Text& section : read.sections) {
    const long long figure = qx::SectionCount(section);
    sum += figure;
    anyNegative |= figure < 0;
    anyPositive |= figure > 0;
  }
  if (!anyNegative)
    FUZZ_CHECK(count == (sum > LLONG_MAX ? LLONG_MAX : static_cast<long long>(sum)));
  if (!anyPositive)
    FUZZ_CHECK(count == (sum < LLONG_MIN ? LLONG_MIN : static_cast<long long>(sum)));
  FUZZ_CHECK(read.joined == qx::JoinSections(read.sections));
  FUZZ_CHECK(qx::CountLabelText(read.countText) == read.countText + "台");

  // One row per machine block, each field cut from its own block.
  const std::vector<qx::MachineRow> rows = qx::MachineRowsFromText(read.joined);
  std::vector<qx::Text> blocks;
  qx::CutAllBetween(read.joined, "<div class=\"t-row\">", "续费</a>", blocks);
  FUZZ_CHECK(rows.size() == blocks.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    FUZZ_CHECK(rows[i][qx::ColNumber] == std::to_string(i + 1));
    // Decoding never lengthens a field; without a reference it changes nothing.
    const bool references = blocks[i].find('&') != std::string::npos;
    for (int c = 1; c < qx::kMachineColumnCount; ++c)
      FUZZ_CHECK(references ? rows[i][c].size() <= blocks[i].size()
                            : blocks[i].find(rows[i][c]) != std::string::npos);
    const qx::Text& address = rows[i][qx::ColRemoteAddress];
    const bool match = qx::AddressMatches(address, search);
    if (search.empty())
      FUZZ_CHECK(match == !address.empty());
    else if (match)
      FUZZ_CHECK(address.find(search) != std::string::npos);
  }
  // Decoded once: a text whose "&"s are written "&amp;" comes back whole.
  const qx::Text decoded = qx::DecodeHtmlEntities(search);
  FUZZ_CHECK(decoded.size() <= search.size());
  FUZZ_CHECK(qx::DecodeHtmlEntities(qx::ReplaceAll(search, "&", "&amp;")) == search);
  return 0;
}
