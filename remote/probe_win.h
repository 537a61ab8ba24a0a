// Probes machines' remote addresses with a TCP connect, many at once, on a
// worker thread of its own: at most 256 connects open, each bounded at 3 s.
// It never sends data. Results come back to the window thread in batches.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "remote/probe.h"

namespace qx {

struct ProbeResult {
  int index = 0;    // the target's position in the list given to Start
  int latency = 0;  // milliseconds, or kLatencyNoAnswer
};
using ProbeBatch = std::vector<ProbeResult>;

class Prober {
 public:
  ~Prober() { Cancel(); }
  // Cancels a probe still running, then probes the targets; `apply` runs on
  // the window thread with each batch of results, while `owner` lives and
  // this probe has not been cancelled.
  void Start(std::vector<ProbeTarget> targets, std::weak_ptr<char> owner,
             std::function<void(const ProbeBatch&)> apply);
  // At once: no batch of the running probe is applied any more; its worker
  // closes its sockets and ends on its own.
  void Cancel();

 private:
  struct Run;
  std::shared_ptr<Run> run_;
  std::shared_ptr<char> alive_;  // the batches of run_ apply while it lives
};

}  // namespace qx
