// The control-panel login's requests and the browser it presses its page in.
#pragma once

#include <string_view>

#include "base/flow_runner_win.h"
#include "base/text.h"
#include "web/form_engine.h"
#include "web/request_rules.h"

namespace qx {

// Fetches the management page (FetchPage, GET), cuts and rewrites its form
// fragment and writes it to the local page file, also when it is empty.
// On the portal's worker.
void PrepareControlPanelPage(std::string_view managePageUrl);

// The browser the control-panel login presses its page in. The program's own
// form engine is one; an embedded browser could be another.
class PageHost {
 public:
  virtual ~PageHost() = default;
  // Shows the local page file; relative addresses in it lead to baseUrl.
  virtual void Navigate(std::string_view path, std::string_view baseUrl) = 0;
  // The link lookup (GBK locator); sets the link's target, then clicks it.
  // False when no link is taken.
  [[nodiscard]] virtual bool ClickLink(std::string_view locator, std::string_view target) = 0;
  // The button lookup over the types button, submit and reset; clicks it.
  // False when no button is taken.
  [[nodiscard]] virtual bool ClickButton(std::string_view locator) = 0;
};

// The form engine as the page host: a link opens in the default browser, a
// form is submitted through FetchPage (the portal session goes with it) on
// the portal's worker for `owner`, and the page it ends on is shown in the
// default browser.
class FormEngineHost final : public PageHost {
 public:
  explicit FormEngineHost(const FlowOwner& owner) : owner_(owner) {}
  void Navigate(std::string_view path, std::string_view baseUrl) override;
  [[nodiscard]] bool ClickLink(std::string_view locator, std::string_view target) override;
  [[nodiscard]] bool ClickButton(std::string_view locator) override;

 private:
  const FlowOwner& owner_;
  HtmlPage page_;
  Text baseUrl_;
  Text linkUrl_;  // where the page's link, once pressed, led
};

// What a submission ends on: a web URL (reached by a redirect) or the saved
// result page; empty when nothing answered.
struct SubmissionResult {
  Text toOpen;
  unsigned resultPage = 0;  // which write of the saved page
};
// Sends the request and follows the redirects that repeat the POST (at most
// kMaxRedirects). A redirect to a GET ends it: that address goes to the
// browser unfetched, so a panel's one-time login key is used once, there.
// On the portal's worker.
[[nodiscard]] SubmissionResult FollowSubmission(PageRequest request);
// Opens the result in the default browser: only a web URL or our saved page,
// which is deleted 20 s later (unless a later submission has written it
// again by then).
void OpenSubmissionResult(const SubmissionResult& result);
// Deletes the saved result page: at start and at the end of the program.
void RemoveControlPanelResult();

}  // namespace qx
