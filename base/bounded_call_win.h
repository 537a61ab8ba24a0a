// A call that may hang in the system (a name lookup, say) run so that its
// caller waits for it only so long.
#pragma once

#include <functional>

namespace qx {

// At most this many calls that ran past their wait may still be running; past
// that, RunWithin starts nothing and gives up at once.
inline constexpr int kMaxCallsLeftRunning = 8;

// Runs `work` on a thread of its own and waits for it at most `ms`
// milliseconds. True when it returned in time. False when the wait ran out
// (or too many earlier calls are still running): the caller goes on, and the
// thread is left to finish on its own, keeping whatever `work` holds alive
// until then. So `work` must own what it touches (shared pointers, copies),
// never refer to the caller's locals.
bool RunWithin(int ms, std::function<void()> work);

// Runs `body` on a new thread that nobody joins; false when no thread could
// be started. A Windows thread, not std::thread: under Wine a detached
// std::thread of the MinGW runtime now and then starts only seconds late.
bool StartDetachedThread(std::function<void()> body);

}  // namespace qx
