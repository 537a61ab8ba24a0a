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
  AlreadyOpening,  // a file of the same name still waits for its deletion
  NotWritten,      // the file could not be written; nothing was opened
};

// Writes the file with the display settings, opens it with the program
// associated with .rdp files and deletes it 5 s later, without holding up the
// window. While a file of the same name waits for its deletion, a second
// connection to it is ignored.
[[nodiscard]] RdpConnectResult ConnectRdp(const RdpMachine& machine);
// Writes the file at 1024 × 768 (windowed) and leaves it; true when written.
[[nodiscard]] bool SaveRdpShortcut(const RdpMachine& machine);

}  // namespace qx
