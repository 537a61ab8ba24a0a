// The probe of a machine's remote address: which addresses are probed, and
// how a result reads in the list's 延迟 column. No sockets here (the probe
// itself is in probe_win.h).
#pragma once

#include <optional>

#include "base/text.h"

namespace qx {

// A plain host:port: a host of letters, digits, dots and dashes, and a port
// of 1 to 65535. Anything else (a trailing line, a space, no port) is not probed.
struct ProbeTarget {
  Text host;
  unsigned short port = 0;
};
std::optional<ProbeTarget> ProbeTargetOf(std::string_view address);

// A machine's latency: milliseconds (>= 0), or one of these.
constexpr int kLatencyProbing = -1;    // "检测中…"
constexpr int kLatencyNoAnswer = -2;   // "无响应"
constexpr int kLatencyNotProbed = -3;  // "—": not a plain host:port
Text LatencyText(int latency);
// Ascending order: the fastest first, then those being probed, those that do
// not answer, and those not probed last.
long long LatencySortKey(int latency);

}  // namespace qx
