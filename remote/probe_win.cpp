// Sets of 256 sockets for select(): defined before any Windows socket header.
#define FD_SETSIZE 256
#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h before windows.h.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>

#include "base/bounded_call_win.h"
#include "base/flow_runner_win.h"
#include "base/name_lookup_win.h"
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

// The targets' IPv4 addresses (port included), each looked up once within
// the probe's bound; nullopt for a name not found in time. The lookups come
// first, so that a slow one does not stretch the times of connects under way.
std::vector<std::optional<sockaddr_in>> Resolve(const std::vector<ProbeTarget>& targets,
                                                const std::atomic<bool>& cancelled) {
  std::vector<std::optional<sockaddr_in>> all(targets.size());
  std::map<Text, std::optional<std::uint32_t>> looked;
  for (size_t i = 0; i < targets.size() && !cancelled; ++i) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(targets[i].port);
    const Text& host = targets[i].host;
    if (inet_pton(AF_INET, host.c_str(), &to.sin_addr) != 1) {  // a name, not an address
      auto [at, isNew] = looked.try_emplace(host);
      std::uint32_t address = 0;
      if (isNew &&
          LookUpHost(host, static_cast<int>(kBound.count()), &address) == HostLookup::Found)
        at->second = address;
      if (!at->second) continue;
      to.sin_addr.s_addr = *at->second;
    }
    all[i] = to;
  }
  return all;
}

}  // namespace

struct Prober::Run {
  std::atomic<bool> cancelled{false};
};

void Prober::Cancel() {
  if (!run_) return;
  run_->cancelled = true;
  run_.reset();
  alive_.reset();  // on the window thread: batches already posted are dropped
}

void Prober::Start(std::vector<ProbeTarget> targets, std::weak_ptr<char> owner,
                   std::function<void(const ProbeBatch&)> apply) {
  Cancel();
  auto run = std::make_shared<Run>();
  run_ = run;
  // Held here, not by the worker: its last batch still applies after it ends.
  alive_ = std::make_shared<char>();
  std::weak_ptr<char> alive = alive_;
  auto post = [owner, alive, apply](ProbeBatch batch) {
    PostToWindowThread(owner, [alive, apply, batch = std::move(batch)] {
      if (!alive.expired()) apply(batch);
    });
  };
  const size_t count = targets.size();
  const bool started = StartDetachedThread([run, targets = std::move(targets), post] {
    // Never cleaned up here: that would close the sockets of a probe that
    // starts meanwhile.
    const std::vector<std::optional<sockaddr_in>> addresses =
        WinsockStarted() ? Resolve(targets, run->cancelled)
                         : std::vector<std::optional<sockaddr_in>>(targets.size());
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
        const std::optional<sockaddr_in>& to = addresses[static_cast<size_t>(index)];
        SOCKET s = to ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
        u_long nonBlocking = 1;
        if (s == INVALID_SOCKET || ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
            (connect(s, reinterpret_cast<const sockaddr*>(&*to), sizeof *to) != 0 &&
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
  });
  if (started) return;
  // No thread to be had: nothing is probed, and nothing stays "检测中…".
  ProbeBatch none;
  for (size_t i = 0; i < count; ++i) none.push_back({static_cast<int>(i), kLatencyNoAnswer});
  post(std::move(none));
}

}  // namespace qx
