// The member summary and list page requests; the page rules are in
// machine_list.cpp, which builds natively.
#include <chrono>

#include "portal/machine_list.h"
#include "web/codepage.h"
#include "web/fetch_page.h"

namespace qx {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

Text GetPage(std::string_view portalBaseUrl, std::string_view path) {
  Text url(portalBaseUrl);
  url += path;
  return BytesToText(FetchPage(url));
}

}  // namespace

MemberSummary LoadMemberSummary(std::string_view portalBaseUrl) {
  return ParseMembersPage(Utf8ToAnsi(GetPage(portalBaseUrl, "//user/members")));
}

MachineListPages LoadMachineList(std::string_view portalBaseUrl, ListLoadTimings* timings) {
  std::array<Text, kListPageCount> pages;
  auto t0 = Clock::now();
  for (std::size_t k = 0; k < kListPageCount; ++k)
    pages[k] = GetPage(portalBaseUrl, ListPagePaths()[k]);
  const double requestMs = MillisecondsSince(t0);

  t0 = Clock::now();
  for (Text& page : pages) page = Utf8ToAnsi(page);
  MachineListPages result = ReadListPages(pages);
  if (timings) {
    timings->requestMs = requestMs;
    timings->convertMs = MillisecondsSince(t0);
  }
  return result;
}

}  // namespace qx
