#include "portal/machine_list_flow_win.h"

#include "base/codepage.h"
#include "base/timing.h"
#include "web/fetch_page.h"

namespace qx {
namespace {

Text GetPage(std::string_view portalBaseUrl, std::string_view path) {
  Text url(portalBaseUrl);
  url += path;
  return BytesToText(FetchPage(url));
}

}  // namespace

MemberSummary LoadMemberSummary(std::string_view portalBaseUrl) {
  TimingLine timing("summary");
  MemberSummary m = ParseMembersPage(Utf8ToAnsi(GetPage(portalBaseUrl, "//user/members")));
  timing.Total();
  timing.Report();
  return m;
}

MachineListLoad LoadMachineList(std::string_view portalBaseUrl) {
  TimingLine timing("list");
  std::array<Text, kListPageCount> pages;
  for (std::size_t k = 0; k < kListPageCount; ++k)
    pages[k] = GetPage(portalBaseUrl, ListPagePaths()[k]);
  timing.Lap("requests");
  for (Text& page : pages) page = Utf8ToAnsi(page);
  MachineListPages read = ReadListPages(pages);
  pages = {};
  timing.Lap("convert");
  MachineListLoad load;
  load.countText = std::move(read.countText);
  load.failedPages = std::move(read.failedPages);
  load.rows = MachineRowsFromText(read.joined);
  timing.Lap("cut");
  timing.Add("bytes", static_cast<long long>(read.joined.size()));
  timing.Add("rows", static_cast<long long>(load.rows.size()));
  timing.Report();
  return load;
}

}  // namespace qx
