#include "portal/control_panel_flow_win.h"

#include <atomic>

#include "base/codepage.h"
#include "base/os_win.h"
#include "portal/control_panel.h"
#include "web/fetch_page.h"
#include "web/url.h"

namespace qx {
namespace {

// The saved result page (it may hold the panel's session) lives only until
// the browser has had the time to read it, and never beyond the program.
constexpr unsigned kResultPageLivesMs = 20000;
// Bumped by every write of the page: a deletion meant for an earlier page
// leaves a later one alone.
std::atomic<unsigned> resultPages{0};

const FlowOwner& ProgramFlows() {
  static FlowOwner owner;
  return owner;
}

}  // namespace

void PrepareControlPanelPage(std::string_view managePageUrl) {
  const Text page = Utf8ToAnsi(BytesToText(FetchPage(managePageUrl)));
  // A page that cannot be written must not leave the last machine's page
  // to be pressed in: none is there, and nothing is pressed.
  if (!WriteWholeFile(kControlPanelPagePath, ControlPanelFragment(page)))
    DeleteFileGbk(kControlPanelPagePath);
}

void FormEngineHost::Navigate(std::string_view path, std::string_view baseUrl) {
  Bytes file;
  // A file that cannot be read is an empty page: its lookups find nothing.
  static_cast<void>(ReadWholeFile(path, file, 16 * 1024 * 1024));
  page_ = HtmlPage::Parse(AnsiToUtf8(file));
  baseUrl_ = Text(baseUrl);
  linkUrl_.clear();
}

bool FormEngineHost::ClickLink(std::string_view locator, std::string_view target) {
  const int link = page_.FindLink(AnsiToUtf8(locator));
  if (link < 0) return false;
  page_.SetAttribute(link, "target", AnsiToUtf8(target));
  // Any target opens a new window of the default browser.
  const PageAction action = page_.Press(link, baseUrl_);
  if (action.kind == PageAction::Open && IsWebUrl(action.url)) {
    ShellOpen(action.url);
    linkUrl_ = action.url;
  }
  return true;
}

bool FormEngineHost::ClickButton(std::string_view locator) {
  const int button = page_.FindButton(AnsiToUtf8(locator));
  if (button < 0) return false;
  const PageAction action = page_.Press(button, baseUrl_);
  if (action.kind != PageAction::Submit || !IsWebUrl(action.url)) return true;
  // The form carries the panel's login token: it goes only where the page
  // came from (the portal) or where the page's link leads.
  if (!SameOrigin(action.url, baseUrl_) && (linkUrl_.empty() || !SameOrigin(action.url, linkUrl_)))
    return true;
  RunFlow(
      Lane::Portal, owner_,
      [request = PageRequest{action.url, action.post, action.body}] {
        return FollowSubmission(request);
      },
      [](SubmissionResult& result) { OpenSubmissionResult(result); });
  return true;
}

SubmissionResult FollowSubmission(PageRequest request) {
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    Text headers;
    const Bytes body = FetchPage(request.url, request.post ? 1 : 0, request.body, nullptr, nullptr,
                                 {}, &headers, /*noRedirect=*/true);
    if (ResponseStatus(headers) == 0) return {};  // nothing answered
    if (auto next = RedirectRequest(request, headers)) {
      if (next->url.empty()) return {};  // the form would go to another origin
      // A page reached by GET is the browser's to fetch, once: a panel's
      // login key in its address works only once.
      if (!next->post) return {next->url};
      request = std::move(*next);
      continue;
    }
    const unsigned page = ++resultPages;
    if (!WriteWholeFile(kControlPanelResultPath, PageWithBase(body, request.url))) return {};
    return {kControlPanelResultPath, page};
  }
  return {};
}

void OpenSubmissionResult(const SubmissionResult& result) {
  if (IsWebUrl(result.toOpen)) return ShellOpen(result.toOpen);
  if (result.toOpen != kControlPanelResultPath) return;
  ShellOpen(result.toOpen);
  RunLater(ProgramFlows(), kResultPageLivesMs, [page = result.resultPage] {
    if (resultPages == page) DeleteFileGbk(kControlPanelResultPath);
  });
}

void RemoveControlPanelResult() { DeleteFileGbk(kControlPanelResultPath); }

}  // namespace qx
