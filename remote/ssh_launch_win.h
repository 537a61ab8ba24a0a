// Linux远程: PuTTY on the selected machine, logged in as root.
#pragma once

#include <string_view>

namespace qx {

enum class SshLaunchResult { Started, InvalidAddress, NotStarted };

// Starts C:\qarvex\putty.exe on the machine at `address` ("host:port") as
// root. The password (GBK) reaches PuTTY as UTF-8 through a password file in
// a folder only the user can read; the file is deleted once PuTTY waits for
// input, after 10 s at the latest, or at once when PuTTY does not start. The
// current directory is C:\qarvex\ for the start and the program's folder after
// it. A host or port that PuTTY would take for an option starts nothing.
// Never blocks for PuTTY: a small thread waits for it.
SshLaunchResult LaunchSsh(std::string_view address, std::string_view password);

}  // namespace qx
