#include "app/certificate_prompt_win.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <utility>

#include "base/flow_runner_win.h"
#include "base/handles_win.h"
#include "base/os_win.h"
#include "web/cert_trust.h"

namespace qx {
namespace {

DWORD g_windowThread = 0;
FlowOwner g_prompts;  // lives as long as the program

bool AskInBox(std::string_view hostPort, std::string_view oldPin, std::string_view newPin) {
  return MessageBoxGbk(CertificateChangedText(hostPort, oldPin, newPin), "系统提示：",
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

// One question's answer. It is given when the last copy of the task that
// asks it ends: after the box, or unasked when the task is dropped (the
// program is ending), which answers no.
struct Answer {
  UniqueHandle given{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<bool> yes{false};
};
struct GiveAnswer {
  explicit GiveAnswer(std::shared_ptr<Answer> a) : answer(std::move(a)) {}
  GiveAnswer(const GiveAnswer&) = delete;
  GiveAnswer& operator=(const GiveAnswer&) = delete;
  ~GiveAnswer() { SetEvent(answer->given.get()); }
  const std::shared_ptr<Answer> answer;
};

// Asked on a worker (a request of a flow): the box goes up on the window
// thread, and the worker waits for the answer. A request on the window
// thread itself asks there.
bool Ask(std::string_view hostPort, std::string_view oldPin, std::string_view newPin) {
  if (GetCurrentThreadId() == g_windowThread) return AskInBox(hostPort, oldPin, newPin);
  auto answer = std::make_shared<Answer>();
  if (!answer->given) return false;
  auto give = std::make_shared<GiveAnswer>(answer);
  PostToWindowThread(g_prompts.Token(), [give = std::move(give), hostPort = Text(hostPort),
                                         oldPin = Text(oldPin), newPin = Text(newPin)] {
    give->answer->yes = AskInBox(hostPort, oldPin, newPin);
  });
  // At the end of the program an unanswered worker is left to the process
  // exit (StopFlowRunner's wait, then TerminateProcess).
  WaitForSingleObject(answer->given.get(), INFINITE);
  return answer->yes;
}

}  // namespace

void InstallCertificatePrompt() {
  g_windowThread = GetCurrentThreadId();
  SetCertificatePrompt(Ask);
}

}  // namespace qx
