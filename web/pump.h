// Lets the window thread handle its pending messages in the middle of a long
// synchronous job (a request), so the windows stay responsive.
#pragma once

namespace qx {

// Dispatches every message waiting in the calling thread's queue, then returns.
void PumpMessages();

}  // namespace qx
