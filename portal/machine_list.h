// The member summary and the machine list, cut from the portal's HTML pages.
// Page rules only: no requests and no window code (the requests are in
// machine_list_flow_win.h, the list itself lives in the main window).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace qx {

// Collects every text between startMarker and endMarker, in order, into
// `list` (emptied first); returns how many were collected. fromPosition is a
// 1-based byte position, 0 meaning the beginning. Each piece is prefix + cut +
// suffix, with the markers put back when keepStart / keepEnd; with maxLength
// > 0 only pieces shorter than it are kept. The next start marker is searched
// right after the previous one, not after its end marker, so a block without
// an end marker runs into the next one and the next is still collected.
std::size_t CutAllBetween(std::string_view source, std::string_view startMarker,
                          std::string_view endMarker, std::vector<Text>& list,
                          bool caseInsensitive = false, std::size_t maxLength = 0,
                          std::string_view prefix = {}, std::string_view suffix = {},
                          bool keepStart = false, bool keepEnd = false, long fromPosition = 0);

// --- members page ---

struct MemberSummary {
  Text name;
  Text balance;
};
// The members page, already in GBK. A page without the markers (the login
// page of an expired session, an empty body) gives empty texts.
MemberSummary ParseMembersPage(std::string_view page);

// --- list pages ---

// The three list pages, in the order they are read.
constexpr std::size_t kListPageCount = 3;
const std::array<Text, kListPageCount>& ListPagePaths();  // each begins with "//"

// Column numbers of a machine line (0 is the running number).
enum MachineColumn : int {
  ColNumber = 0,
  ColBusinessId,
  ColRemark,
  ColLine,
  ColRemoteAddress,
  ColSystemAccount,
  ColSystemPassword,
  ColBroadbandAccount,
  ColBroadbandPassword,
  ColOpened,
  ColExpiry,
  ColState,
  ColVpsId,
  kMachineColumnCount
};

struct MachineRow {
  std::array<Text, kMachineColumnCount> columns;
  const Text& operator[](int c) const { return columns[static_cast<std::size_t>(c)]; }
};

// The list section of a page (GBK): between "<!--列表-->" and "首页</a>".
Text ListSection(std::string_view page);
// The page's own machine figure read from its section (atoi: "12台" is 12,
// no digits give 0).
long long SectionCount(std::string_view section);
// The sections joined with CR LF between them.
Text JoinSections(const std::array<Text, kListPageCount>& sections);
// The twelve fields of one machine block, with `number` in column 0; each
// field's character references are decoded once (DecodeHtmlEntities).
MachineRow MachineRowFromBlock(std::string_view block, long long number);
// Every machine block of the joined text as a line, numbered 1, 2, ...
std::vector<MachineRow> MachineRowsFromText(std::string_view joined);

// What a load of the three pages decided, before the rows are cut.
struct MachineListPages {
  std::array<Text, kListPageCount> sections;
  Text joined;     // the machine blocks are cut from it
  Text countText;  // the summed page figures, in decimal
  // The pages (1 to 3) that did not come or hold no list (an error page, a
  // page cut short): the list is not the whole list then.
  std::vector<int> failedPages;
};
// The three list pages (GBK) → sections, joined text and count.
MachineListPages ReadListPages(const std::array<Text, kListPageCount>& pages);

// The count label's text: "36台", and after it the pages that failed,
// "0台（第1、3页读取失败）", so that a partial list does not pass for all.
Text CountLabelText(std::string_view countText, const std::vector<int>& failedPages = {});

// Search rule of the 搜索 button: the text is found in the address,
// case-sensitive; an empty search text matches any address that is not empty.
bool AddressMatches(std::string_view address, std::string_view searchText);

}  // namespace qx
