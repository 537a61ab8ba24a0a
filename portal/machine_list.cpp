#include "portal/machine_list.h"

#include <climits>
#include <string>

namespace qx {

std::size_t CutAllBetween(std::string_view source, std::string_view startMarker,
                          std::string_view endMarker, std::vector<Text>& list, bool caseInsensitive,
                          std::size_t maxLength, std::string_view prefix, std::string_view suffix,
                          bool keepStart, bool keepEnd, long fromPosition) {
  list.clear();
  long p = fromPosition;
  for (;;) {
    const long s = FindText(source, startMarker, p, caseInsensitive);
    if (s < 0) break;
    p = s + static_cast<long>(startMarker.size());
    const long e = FindText(source, endMarker, p, caseInsensitive);
    if (e < 0) break;

    Text piece;
    piece.reserve(prefix.size() + suffix.size() + static_cast<std::size_t>(e - p) +
                  (keepStart ? startMarker.size() : 0) + (keepEnd ? endMarker.size() : 0));
    if (keepStart) piece += startMarker;
    piece += prefix;
    piece += source.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(e - p));
    piece += suffix;
    if (keepEnd) piece += endMarker;
    if (maxLength == 0 || piece.size() < maxLength) list.push_back(std::move(piece));
  }
  return list.size();
}

MemberSummary ParseMembersPage(std::string_view page) {
  MemberSummary m;
  m.name = TextBetween(page, "会员名：", "<!--会员名！--->");
  m.balance = TextBetween(page, "<!--当前余额!--><span>", "</span>");
  return m;
}

const std::array<Text, kListPageCount>& ListPagePaths() {
  static const std::array<Text, kListPageCount> paths = {
      "//user/cloud/menu/outstart?orderStatus=&lineID=&pagesize=500&dateType=1&rangetime=&"
      "searchType=1&searchKey=",
      "//user/cloud/menu/computer?orderStatus=&lineID=&pagesize=1000&dateType=1&rangetime=&"
      "searchType=1&searchKey=",
      "//user/cloud/menu/third?orderStatus=&lineID=&pagesize=500&dateType=1&rangetime=&"
      "searchType=1&searchKey=",
  };
  return paths;
}

Text ListSection(std::string_view page) { return TextBetween(page, "<!--列表-->", "首页</a>"); }

long long SectionCount(std::string_view section) {
  return AtoiText(TextBetween(section, "<!--统计数量！---><span class=\"num\" >[", "]</span>"));
}

Text JoinSections(const std::array<Text, kListPageCount>& sections) {
  Text joined;
  std::size_t size = 0;
  for (const Text& s : sections) size += s.size() + 2;
  joined.reserve(size);
  for (std::size_t k = 0; k < sections.size(); ++k) {
    if (k) joined += "\r\n";
    joined += sections[k];
  }
  return joined;
}

MachineRow MachineRowFromBlock(std::string_view block, long long number) {
  struct Markers {
    std::string_view start, end;
  };
  // Columns 1 to 12. The portal writes 宽带账号 where the column says 宽带账户.
  static constexpr Markers kFields[kMachineColumnCount - 1] = {
      {"<span>业务标识：", "</span>"},
      {"data-name=\"", "\"></i><!--备注---!>"},
      {"<!--线路><!--><h3>", "</h3>"},
      {"txt\">", "</span>"},
      {"<span>系统账户：", "</span>"},
      {"<span>系统密码：", "</span>"},
      {"<span>宽带账号：", "</span>"},
      {"<span>宽带密码：", "</span>"},
      {"<!--开通时间!--><h3>", "<br><em class=\"\">"},
      {"<em class=\"\">", "</em></h3>"},
      {"<!--状态><!--><h3>", "</h3>"},
      {"&id=", "\">管理</a>"},
  };
  MachineRow row;
  row.columns[ColNumber] = std::to_string(number);
  for (int c = 1; c < kMachineColumnCount; ++c)
    row.columns[static_cast<std::size_t>(c)] =
        TextBetween(block, kFields[c - 1].start, kFields[c - 1].end);
  return row;
}

std::vector<MachineRow> MachineRowsFromText(std::string_view joined) {
  std::vector<Text> blocks;
  CutAllBetween(joined, "<div class=\"t-row\">", "续费</a>", blocks);
  std::vector<MachineRow> rows;
  rows.reserve(blocks.size());
  for (std::size_t i = 0; i < blocks.size(); ++i)
    rows.push_back(MachineRowFromBlock(blocks[i], static_cast<long long>(i) + 1));
  return rows;
}

MachineListPages ReadListPages(const std::array<Text, kListPageCount>& pages) {
  MachineListPages r;
  long long count = 0;
  for (std::size_t k = 0; k < kListPageCount; ++k) {
    r.sections[k] = ListSection(pages[k]);
    // Absurd figures saturate rather than wrap.
    if (__builtin_add_overflow(count, SectionCount(r.sections[k]), &count))
      count = count < 0 ? LLONG_MAX : LLONG_MIN;
  }
  r.joined = JoinSections(r.sections);
  r.countText = std::to_string(count);
  return r;
}

Text CountLabelText(std::string_view countText) { return Text(countText) + "台"; }

bool AddressMatches(std::string_view address, std::string_view searchText) {
  if (searchText.empty()) return !address.empty();
  return FindText(address, searchText) > 0;
}

}  // namespace qx
