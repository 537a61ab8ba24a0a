#include "base/bounded_call_win.h"

#include <windows.h>
// process.h after windows.h.
#include <process.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "base/handles_win.h"

namespace qx {
namespace {

std::atomic<int> g_leftRunning{0};

unsigned __stdcall RunBody(void* boxed) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(boxed));
  (*body)();
  return 0;
}

struct Call {
  UniqueHandle ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::mutex lock;
  bool done = false;
  bool abandoned = false;  // its caller has gone on
};

}  // namespace

bool RunWithin(int ms, std::function<void()> work) {
  if (g_leftRunning.load() >= kMaxCallsLeftRunning) return false;
  auto call = std::make_shared<Call>();
  if (!call->ended) return false;
  const bool started = StartDetachedThread([call, work = std::move(work)] {
    work();
    {
      std::lock_guard<std::mutex> hold(call->lock);
      call->done = true;
      if (call->abandoned) --g_leftRunning;
    }
    SetEvent(call->ended.get());
  });
  if (!started) return false;
  if (WaitForSingleObject(call->ended.get(), static_cast<DWORD>(ms < 0 ? 0 : ms)) == WAIT_OBJECT_0)
    return true;
  std::lock_guard<std::mutex> hold(call->lock);
  if (call->done) return true;  // it ended just now
  call->abandoned = true;
  ++g_leftRunning;
  return false;
}

bool StartDetachedThread(std::function<void()> body) {
  auto* boxed = new std::function<void()>(std::move(body));
  const uintptr_t thread = _beginthreadex(nullptr, 0, RunBody, boxed, 0, nullptr);
  if (!thread) {
    delete boxed;
    return false;
  }
  CloseHandle(reinterpret_cast<HANDLE>(thread));
  return true;
}

}  // namespace qx
