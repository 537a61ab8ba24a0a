#include "remote/probe.h"

#include <string>

namespace qx {

std::optional<ProbeTarget> ProbeTargetOf(std::string_view address) {
  const size_t colon = address.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const std::string_view host = address.substr(0, colon), port = address.substr(colon + 1);
  for (char c : host)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
          c == '-'))
      return std::nullopt;
  if (port.empty() || port.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return ProbeTarget{Text(host), static_cast<unsigned short>(value)};
}

Text LatencyText(int latency) {
  switch (latency) {
    case kLatencyProbing:
      return "检测中…";
    case kLatencyNoAnswer:
      return "无响应";
    case kLatencyNotProbed:
      return "—";
  }
  return latency >= 0 ? std::to_string(latency) + " ms" : Text();
}

long long LatencySortKey(int latency) {
  if (latency >= 0) return latency;
  constexpr long long kAfterAll = 1LL << 40;
  return kAfterAll + (latency == kLatencyProbing ? 0 : latency == kLatencyNoAnswer ? 1 : 2);
}

}  // namespace qx
