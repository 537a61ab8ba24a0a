// The tray's balloon for machines that have expired or expire within 7 days:
// after a list load, once a day at most (the day of the last balloon is kept
// for the user under HKCU\Software\QARVEX); a click on it shows those
// machines, sorted by 到期时间 and selected.
#pragma once

#include <vector>

#include "app/machine_list_view_win.h"
#include "app/tray_win.h"
#include "base/text.h"

namespace qx {

// Now, in the portal's local time as ParseDateTime counts it: today's date
// (Today(), which the tests may set) at the clock's time of day.
long long ExpiryClockNow();

class ExpiryBalloon {
 public:
  // After a load: the balloon, unless one was shown today or none is due.
  void Offer(const MachineListView& view, TrayIcon& tray);
  // The balloon was clicked: its machines sorted by expiry and selected.
  void ShowMachines(MachineListView& view) const;

 private:
  std::vector<Text> businessIds_;  // the machines of the last balloon
};

}  // namespace qx
