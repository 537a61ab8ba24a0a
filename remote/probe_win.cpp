// Sets of 256 sockets for select(): defined before any Windows socket header.
#define FD_SETSIZE 256
#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h before windows.h.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "base/flow_runner_win.h"
#include "remote/probe_win.h"

namespace qx {
namespace {

constexpr int kMaxOpen = 256;
constexpr auto kBound = std::chrono::milliseconds(3000);
constexpr auto kBatchEvery = std::chrono::milliseconds(50);
using Clock = std::chrono::steady_clock;

struct Open {
  SOCKET s;
  int index;
  Clock::time_point started;
};

// The target's IPv4 address; false when the name does not resolve.
bool Resolve(const ProbeTarget& t, sockaddr_in& to) {
  to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(t.port);
  if (inet_pton(AF_INET, t.host.c_str(), &to.sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(t.host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  to.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

}  // namespace

struct Prober::Run {
  std::atomic<bool> cancelled{false};
  std::atomic<bool> done{false};
  std::shared_ptr<char> alive = std::make_shared<char>();  // batches apply while it lives
};

bool Prober::Running() const { return run_ && !run_->done; }

void Prober::Cancel() {
  if (!run_) return;
  run_->cancelled = true;
  run_->alive.reset();  // on the window thread: batches already posted are dropped
  run_.reset();
}

void Prober::Start(std::vector<ProbeTarget> targets, std::weak_ptr<char> owner,
                   std::function<void(const ProbeBatch&)> apply) {
  Cancel();
  auto run = std::make_shared<Run>();
  run_ = run;
  std::weak_ptr<char> alive = run->alive;
  auto post = [owner, alive, apply](ProbeBatch batch) {
    PostToWindowThread(owner, [alive, apply, batch = std::move(batch)] {
      if (!alive.expired()) apply(batch);
    });
  };
  std::thread([run, targets = std::move(targets), post] {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    std::vector<Open> open;
    ProbeBatch batch;
    size_t next = 0;
    auto lastPost = Clock::now();
    auto finish = [&](size_t k, int latency) {
      closesocket(open[k].s);
      batch.push_back({open[k].index, latency});
      open[k] = open.back();
      open.pop_back();
    };
    while (!run->cancelled && (next < targets.size() || !open.empty())) {
      while (next < targets.size() && static_cast<int>(open.size()) < kMaxOpen) {
        const int index = static_cast<int>(next++);
        sockaddr_in to;
        SOCKET s = INVALID_SOCKET;
        if (Resolve(targets[static_cast<size_t>(index)], to))
          s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long nonBlocking = 1;
        if (s == INVALID_SOCKET || ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
            (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 &&
             WSAGetLastError() != WSAEWOULDBLOCK)) {
          if (s != INVALID_SOCKET) closesocket(s);
          batch.push_back({index, kLatencyNoAnswer});
          continue;
        }
        open.push_back({s, index, Clock::now()});
      }
      if (!open.empty()) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        for (const Open& o : open) {
          FD_SET(o.s, &writable);
          FD_SET(o.s, &failed);
        }
        timeval wait{0, 20000};  // short turns: a cancel is seen at once
        select(0, nullptr, &writable, &failed, &wait);
        const auto now = Clock::now();
        for (size_t k = open.size(); k-- > 0;) {
          const auto took = now - open[k].started;
          if (FD_ISSET(open[k].s, &writable))
            finish(k, static_cast<int>(
                          std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
          else if (FD_ISSET(open[k].s, &failed) || took >= kBound)
            finish(k, kLatencyNoAnswer);
        }
      }
      const bool last = next >= targets.size() && open.empty();
      if (!batch.empty() && (last || Clock::now() - lastPost >= kBatchEvery)) {
        post(std::move(batch));
        batch.clear();
        lastPost = Clock::now();
      }
    }
    for (const Open& o : open) closesocket(o.s);
    run->done = true;
    WSACleanup();
  }).detach();
}

}  // namespace qx
