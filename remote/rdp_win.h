// Remote Desktop on Windows: the protected password, writing the connection
// file into the program's folder, opening it with the shell.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

// The password (GBK) protected with CryptProtectData for the current user, as
// the "password 51:b:" line wants it: upper-case hexadecimal. The plaintext
// is the password in UTF-16LE with its terminating NUL, the description
// "psw". Empty for an empty password or when protection fails.
Text ProtectRdpPassword(std::string_view password);

// The machine's columns a connection file is made of.
struct RdpMachine {
  Text businessId, address, account, password;
};

enum class RdpConnectResult {
  Opened,
  NotWritten,  // the file could not be written; nothing was opened
};

// Writes the connection file with the display settings, opens it with the
// program associated with .rdp files and deletes it 5 s later, without
// holding up the window. A second connection while the machine's file waits
// writes and opens it again, and the deletion waits 5 s from then. The file
// is named after the machine (RdpConnectionFileName) unless a shortcut of
// the user's has that name: it then takes the next free name, and the
// shortcut stays as it is. NotWritten leaves the system's error code in
// *error.
[[nodiscard]] RdpConnectResult ConnectRdp(const RdpMachine& machine,
                                          unsigned long* error = nullptr);
// Writes the shortcut at 1024 × 768 (windowed) under the machine's name and
// leaves it, the user's file from then on (also when a connection file was
// waiting there); true when written.
[[nodiscard]] bool SaveRdpShortcut(const RdpMachine& machine);

// Deletes the connection files that no other running instance of the
// program waits for: at start those a crash or a forced end left behind, at
// the end this instance's own as well. Which .rdp files are connection files
// is kept in a journal (HKCU\Software\QARVEX\ConnectionFiles) written before
// each file and cleared after its deletion; shortcuts are never in it.
void SweepConnectionFiles();

}  // namespace qx
