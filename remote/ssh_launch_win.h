// Linux远程: PuTTY on the selected machine, logged in as root.
#pragma once

#include <string_view>

namespace qx {

enum class SshLaunchResult { Started, InvalidAddress, NotStarted };

// Starts C:\qarvex\putty.exe on the machine at `address` ("host:port") as
// root, once the file is checked to hold the image the program carries (and
// rewritten when it does not); it is held unchangeable until PuTTY has
// started. The password (GBK) reaches PuTTY as UTF-8 through a password file
// in a folder only the user can read; the file is deleted once PuTTY waits
// for input, after 10 s at the latest, or at once when PuTTY does not start.
// PuTTY's current directory is C:\qarvex\; the program's own is left alone. A
// host or port that PuTTY would read more than a host or port from starts
// nothing. Never blocks for PuTTY: a small thread waits for it.
SshLaunchResult LaunchSsh(std::string_view address, std::string_view password);

// Deletes the password files that no other running instance of the program
// may still hand to a starting PuTTY (their names carry their writer): at
// start those a crash or a forced end left behind, at the end this
// instance's own as well, after giving the PuTTYs started last up to
// `waitMs` to read theirs.
void SweepPasswordFiles(unsigned long waitMs = 0);

}  // namespace qx
