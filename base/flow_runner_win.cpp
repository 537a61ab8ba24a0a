#include "base/flow_runner_win.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "base/handles_win.h"
#include "base/timing.h"

namespace qx {
namespace {

constexpr UINT kRunTask = WM_APP + 20;
constexpr wchar_t kClass[] = L"QarvexFlowRunner";

using Task = std::function<void()>;

// One worker thread running its queue in order.
class Worker {
 public:
  void Start() {
    done_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_ = std::thread([this] { Loop(); });
  }

  void Queue(Task task) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      queue_.push_back(std::move(task));
      ++outstanding_;
    }
    wake_.notify_one();
  }

  // Asks the worker to end after the task it runs; queued tasks are dropped.
  void AskToStop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      outstanding_ -= static_cast<int>(queue_.size());
      queue_.clear();
    }
    wake_.notify_one();
  }

  HANDLE DoneEvent() const { return done_.get(); }
  bool Busy() const { return outstanding_ > 0; }

  // Joins a worker that has ended; one still inside a request is left to the
  // process exit.
  void JoinOrLeave() {
    if (!thread_.joinable()) return;
    if (WaitForSingleObject(done_.get(), 0) == WAIT_OBJECT_0)
      thread_.join();
    else
      thread_.detach();
  }

 private:
  void Loop() {
    for (;;) {
      Task task;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) break;
        task = std::move(queue_.front());
        queue_.pop_front();
      }
      task();
      task = nullptr;
      --outstanding_;
    }
    SetEvent(done_.get());
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> queue_;
  bool stopping_ = false;
  std::atomic<int> outstanding_ = 0;  // queued and under way
  std::thread thread_;
  UniqueHandle done_;
};

Worker g_portal, g_otherHost;
std::atomic<HWND> g_taskWindow = nullptr;  // message-only, on the window thread; workers post to it

// A task posted to the window thread, for the window `owner` stands for.
struct Posted {
  std::weak_ptr<char> owner;
  Task task;
};

// Timers on the window thread: id → task.
std::map<UINT_PTR, std::pair<std::weak_ptr<char>, Task>> g_timers;
UINT_PTR g_nextTimer = 1;

// Runs a task on the window thread; one long enough to be felt goes to the
// timing log under its type's name, which names the code that posted it.
void RunTimed(Task& task, const char* how) {
  const ULONGLONG start = GetTickCount64();
  task();
  if (const ULONGLONG ms = GetTickCount64() - start; ms >= kLongTurnMs) {
    TimingLine line(how);
    line.Add(task.target_type().name(), static_cast<long long>(ms));
    line.Report();
  }
}

LRESULT CALLBACK TaskWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kRunTask) {
    std::unique_ptr<Posted> posted(reinterpret_cast<Posted*>(lp));
    if (!posted->owner.expired()) RunTimed(posted->task, "long_task");
    return 0;
  }
  if (msg == WM_TIMER) {
    KillTimer(hwnd, wp);
    auto it = g_timers.find(wp);
    if (it == g_timers.end()) return 0;
    auto [token, task] = std::move(it->second);
    g_timers.erase(it);
    if (!token.expired()) RunTimed(task, "long_timer");
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void StartFlowRunner() {
  if (g_taskWindow) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = TaskWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassExW(&wc);
  g_taskWindow = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  g_portal.Start();
  g_otherHost.Start();
}

bool StopFlowRunner(DWORD waitMs) {
  g_portal.AskToStop();
  g_otherHost.AskToStop();
  HANDLE done[] = {g_portal.DoneEvent(), g_otherHost.DoneEvent()};
  const bool ended =
      done[0] && done[1] && WaitForMultipleObjects(2, done, TRUE, waitMs) == WAIT_OBJECT_0;
  g_portal.JoinOrLeave();
  g_otherHost.JoinOrLeave();
  g_timers.clear();
  if (HWND w = g_taskWindow.exchange(nullptr)) DestroyWindow(w);
  return ended;
}

void QueueOnLane(Lane lane, std::function<void()> work) {
  (lane == Lane::Portal ? g_portal : g_otherHost).Queue(std::move(work));
}

bool LaneBusy(Lane lane) { return (lane == Lane::Portal ? g_portal : g_otherHost).Busy(); }

void PostToWindowThread(std::weak_ptr<char> owner, std::function<void()> task) {
  auto* boxed = new Posted{std::move(owner), std::move(task)};
  HWND target = g_taskWindow;
  if (!target || !PostMessageW(target, kRunTask, 0, reinterpret_cast<LPARAM>(boxed)))
    delete boxed;  // the program is ending
}

void RunLater(const FlowOwner& owner, unsigned ms, std::function<void()> task) {
  if (!g_taskWindow) return;
  const UINT_PTR id = g_nextTimer++;
  g_timers.emplace(id, std::make_pair(owner.Token(), std::move(task)));
  if (!SetTimer(g_taskWindow, id, ms, nullptr)) g_timers.erase(id);
}

}  // namespace qx
