#include "base/timing.h"

#include <cstdio>
#include <mutex>

namespace qx {
namespace {

std::mutex g_mutex;
std::function<void(std::string_view)> g_sink;

void AddMs(std::string& line, std::string_view name, std::chrono::steady_clock::duration d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "=%.1f", std::chrono::duration<double, std::milli>(d).count());
  line += ' ';
  line += name;
  line += buf;
}

}  // namespace

void TimingLine::Lap(std::string_view step) {
  const auto now = Clock::now();
  AddMs(line_, std::string(step) + "_ms", now - lap_);
  lap_ = now;
}

void TimingLine::Total() { AddMs(line_, "total_ms", Clock::now() - start_); }

void TimingLine::Add(std::string_view name, long long value) { Add(name, std::to_string(value)); }

void TimingLine::Add(std::string_view name, std::string_view value) {
  line_ += ' ';
  line_ += name;
  line_ += '=';
  line_ += value;
}

void TimingLine::Report() const {
  std::lock_guard lock(g_mutex);
  if (g_sink) g_sink(line_);
}

void SetTimingSink(std::function<void(std::string_view)> sink) {
  std::lock_guard lock(g_mutex);
  g_sink = std::move(sink);
}

bool TimingWanted() {
  std::lock_guard lock(g_mutex);
  return static_cast<bool>(g_sink);
}

}  // namespace qx
