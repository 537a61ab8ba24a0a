// Portal work never runs on the window thread. A flow (fetch, cut, decide) is
// a plain function run on a worker thread; its result comes back to the
// window thread as a message, where the window applies it. Waits between
// steps are either steps of the flow (a sleep on the worker) or timers.
//
//   RunFlow(Lane::Portal, owner,
//           [base] { return LoadMemberSummary(base); },          // worker
//           [this](MemberSummary& m) { ShowSummary(m); });       // window thread
//
// Portal requests run one after another on one worker, in the order they were
// started, so the portal sees them in the order the program makes them. A
// request to another host (the notice page) runs on a second worker beside
// them. A window holds a FlowOwner: once the window is gone, results and
// timers meant for it are dropped, so no handler runs for a missing window.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace qx {

enum class Lane { Portal, OtherHost };

// Call once on the window thread before the first flow.
void StartFlowRunner();
// At program end, after the message loop: lets the workers finish what they
// run for at most `waitMs`; true when they did. When they did not (a request
// still stalls), the caller ends the process without waiting for them.
bool StopFlowRunner(DWORD waitMs);

// The liveness of one window for the flows it starts. Revoke() when the
// window is destroyed; everything still under way for it is then dropped.
class FlowOwner {
 public:
  FlowOwner() : alive_(std::make_shared<char>()) {}
  void Revoke() { alive_ = std::make_shared<char>(); }  // a fresh token for the next window
  std::weak_ptr<char> Token() const { return alive_; }

 private:
  std::shared_ptr<char> alive_;
};

// Runs `task` on the window thread (from any thread), if the owner's window
// still exists by then.
void PostToWindowThread(std::weak_ptr<char> owner, std::function<void()> task);
// Runs `task` on the window thread after `ms` milliseconds (a timer, no
// nested message loop), if the owner's window still exists by then.
void RunLater(const FlowOwner& owner, unsigned ms, std::function<void()> task);

// Queues `work` on the lane's worker.
void QueueOnLane(Lane lane, std::function<void()> work);
// Whether the lane's worker has work queued or under way: new work waits.
bool LaneBusy(Lane lane);

// Runs `work` on the lane's worker, then `apply` with its result on the
// window thread, unless the owner's window has gone (work not yet begun for a
// window that has gone is skipped).
template <class Work, class Apply>
void RunFlow(Lane lane, const FlowOwner& owner, Work work, Apply apply) {
  QueueOnLane(lane, [token = owner.Token(), work = std::move(work),
                     apply = std::move(apply)]() mutable {
    if (token.expired()) return;  // its window has gone before the work began
    using R = std::invoke_result_t<Work&>;
    if constexpr (std::is_void_v<R>) {
      work();
      PostToWindowThread(token, std::move(apply));
    } else {
      auto result = std::make_shared<R>(work());
      PostToWindowThread(token, [apply = std::move(apply), result]() mutable { apply(*result); });
    }
  });
}

}  // namespace qx
