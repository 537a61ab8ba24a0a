#include "base/bounded_call.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace qx {
namespace {

std::atomic<int> g_leftRunning{0};

struct Call {
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
  bool abandoned = false;  // its caller has gone on
};

}  // namespace

bool RunWithin(int ms, std::function<void()> work) {
  if (g_leftRunning.load() >= kMaxCallsLeftRunning) return false;
  auto call = std::make_shared<Call>();
  try {
    std::thread([call, work = std::move(work)] {
      work();
      std::lock_guard<std::mutex> hold(call->lock);
      call->done = true;
      if (call->abandoned) --g_leftRunning;
      call->ended.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return false;  // no thread to be had
  }
  std::unique_lock<std::mutex> hold(call->lock);
  if (call->ended.wait_for(hold, std::chrono::milliseconds(ms), [&] { return call->done; }))
    return true;
  call->abandoned = true;
  ++g_leftRunning;
  return false;
}

}  // namespace qx
