// Host names looked up with a bound: a lookup that hangs (a resolver that
// never answers) ends at its time like every other step of a request.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace qx {

// Winsock, started once for the life of the process and never cleaned up: a
// WSACleanup that ends the count closes every socket of the process, those of
// other threads included. False when it cannot be started.
bool WinsockStarted();

enum class HostLookup { Found, NotFound, NoAnswer };

// Looks `host` up (a name, or an address written out) and waits at most `ms`
// for the answer. When `ipv4` is given, only IPv4 addresses count and the
// first one goes there, in network order.
HostLookup LookUpHost(const Text& host, int ms, std::uint32_t* ipv4 = nullptr);

}  // namespace qx
