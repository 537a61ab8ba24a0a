#include "portal/machine_list.h"

#include <climits>
#include <string>

#include "web/html_entities.h"

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

namespace {

// The character boundaries of a block, found in one pass, so that each of
// its twelve field searches checks a candidate in constant time instead of
// walking the block again (2,000 blocks are cut on every load).
class BlockCutter {
 public:
  explicit BlockCutter(std::string_view block) : block_(block), boundary_(block.size() + 1, 0) {
    for (std::size_t i = 0; i < block.size();) {
      boundary_[i] = 1;
      i += IsLeadByte(static_cast<unsigned char>(block[i])) && i + 1 < block.size() ? 2 : 1;
    }
    boundary_[block.size()] = 1;
  }

  // What TextBetween(block, start, end) gives: the text between the first
  // start marker and the first end marker after it, both at character starts.
  std::string_view Between(std::string_view start, std::string_view end) const {
    const std::size_t s = Find(start, 0);
    if (s == std::string_view::npos) return {};
    const std::size_t from = s + start.size();
    const std::size_t e = Find(end, from);
    if (e == std::string_view::npos) return {};
    return block_.substr(from, e - from);
  }

 private:
  std::size_t Find(std::string_view marker, std::size_t from) const {
    if (marker.empty()) return std::string_view::npos;
    for (std::size_t q = block_.find(marker, from); q != std::string_view::npos;
         q = block_.find(marker, q + 1))
      if (boundary_[q]) return q;
    return std::string_view::npos;
  }

  std::string_view block_;
  std::vector<char> boundary_;
};

}  // namespace

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
  const BlockCutter cutter(block);
  MachineRow row;
  row.columns[ColNumber] = std::to_string(number);
  // The page writes text with its character references (a password "a&b" as
  // "a&amp;b"): each field is kept as the portal means it. Markup in a field
  // stays.
  for (int c = 1; c < kMachineColumnCount; ++c)
    row.columns[static_cast<std::size_t>(c)] =
        DecodeHtmlEntities(cutter.Between(kFields[c - 1].start, kFields[c - 1].end));
  return row;
}

std::vector<MachineRow> MachineRowsFromText(std::string_view joined) {
  // The blocks as CutAllBetween collects them, without copying each one.
  std::vector<MachineRow> rows;
  long pos = 0;
  std::string_view block;
  while (CutBetween(joined, "<div class=\"t-row\">", "续费</a>", pos, block))
    rows.push_back(MachineRowFromBlock(block, static_cast<long long>(rows.size()) + 1));
  return rows;
}

MachineListPages ReadListPages(const std::array<Text, kListPageCount>& pages) {
  MachineListPages r;
  long long count = 0;
  for (std::size_t k = 0; k < kListPageCount; ++k) {
    r.sections[k] = ListSection(pages[k]);
    if (r.sections[k].empty()) r.failedPages.push_back(static_cast<int>(k) + 1);
    // Absurd figures saturate rather than wrap.
    if (__builtin_add_overflow(count, SectionCount(r.sections[k]), &count))
      count = count < 0 ? LLONG_MAX : LLONG_MIN;
  }
  r.joined = JoinSections(r.sections);
  r.countText = std::to_string(count);
  return r;
}

Text CountLabelText(std::string_view countText, const std::vector<int>& failedPages) {
  Text label = Text(countText) + "台";
  if (failedPages.empty()) return label;
  label += "（第";
  for (std::size_t i = 0; i < failedPages.size(); ++i) {
    if (i) label += "、";
    label += std::to_string(failedPages[i]);
  }
  return label + "页读取失败）";
}

bool AddressMatches(std::string_view address, std::string_view searchText) {
  if (searchText.empty()) return !address.empty();
  return FindText(address, searchText) > 0;
}

}  // namespace qx
