// How long the steps of a flow took, for the timing log (QARVEX_TIMING_LOG):
// flows report one line each to the sink the program sets at start-up;
// without a sink nothing is written.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace qx {

// A window-thread turn (or a task in it) this long is felt; the timing log
// reports such turns.
constexpr unsigned long long kLongTurnMs = 40;

// Collects "name=ms" fields for one line: Lap() ends a step and starts the next.
class TimingLine {
 public:
  explicit TimingLine(std::string_view what) : line_(what) {}
  void Lap(std::string_view step);  // the time since the last lap (or the start)
  void Total();                     // total_ms since the start
  void Add(std::string_view name, long long value);
  void Add(std::string_view name, std::string_view value);
  void Report() const;  // hands the line to the sink

 private:
  using Clock = std::chrono::steady_clock;
  std::string line_;
  Clock::time_point start_ = Clock::now(), lap_ = start_;
};

// The sink, called from any thread (one call at a time).
void SetTimingSink(std::function<void(std::string_view line)> sink);
// Whether there is a sink: timing that costs something is done only then.
bool TimingWanted();

}  // namespace qx
