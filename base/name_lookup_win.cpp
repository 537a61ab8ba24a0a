#include "base/name_lookup_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h before windows.h.
#include <windows.h>

#include <atomic>
#include <memory>

#include "base/bounded_call_win.h"
#include "base/wide_win.h"

namespace qx {

bool WinsockStarted() {
  static const bool started = [] {
    WSADATA wsa;
    return WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
  }();
  return started;
}

HostLookup LookUpHost(const Text& host, int ms, std::uint32_t* ipv4) {
  if (!WinsockStarted()) return HostLookup::NotFound;
  // What the lookup finds outlives this call when the lookup is given up.
  struct Answer {
    std::atomic<bool> found{false};
    std::atomic<std::uint32_t> address{0};
  };
  auto answer = std::make_shared<Answer>();
  const bool wantIpv4 = ipv4 != nullptr;
  const bool ended = RunWithin(ms, [answer, name = Wide(host), wantIpv4] {
    ADDRINFOW hints{};
    hints.ai_family = wantIpv4 ? AF_INET : AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(name.c_str(), nullptr, &hints, &found) != 0 || !found) return;
    if (found->ai_family == AF_INET)
      answer->address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    FreeAddrInfoW(found);
    answer->found = true;
  });
  if (!ended) return HostLookup::NoAnswer;
  if (!answer->found) return HostLookup::NotFound;
  if (ipv4) *ipv4 = answer->address;
  return HostLookup::Found;
}

}  // namespace qx
