// The SSH launch's portable rules: the machine's address cut into host and
// port, the PuTTY command line, and the content of the password file PuTTY
// reads its password from.
#pragma once

#include <optional>
#include <string_view>

#include "base/text.h"
#include "remote/file_writer.h"

namespace qx {

struct SshTarget {
  Text host;  // before the first ":"; empty when the address holds none
  Text port;  // after the last ":"; empty when the address holds none
};
SshTarget SplitSshAddress(std::string_view address);

// One argument as the Windows command-line splitters read it back
// (CommandLineToArgvW, the C runtime, PuTTY's own): left bare when it is
// not empty and holds no white space (C isspace) or quote, else quoted, with quotes escaped and the
// backslashes before a quote or the closing quote doubled. Works on the
// bytes, as PuTTY's splitter does on its ANSI command line.
Text QuoteArgument(std::string_view argument);

// True when PuTTY would read more than a host or a port into the value: an
// option of its own ("-..."), or a user name before an "@" that would
// override "-l root".
inline bool IsUnsafeSshValue(std::string_view value) {
  return (!value.empty() && value[0] == '-') || value.find('@') != std::string_view::npos;
}

// "putty -ssh -l root -pwfile <file> -P <port> <host>", each inserted value
// one argument ("-pwfile <file>" left out when there is no file: PuTTY then
// asks for the password); nothing when the host or the port is unsafe.
std::optional<Text> PuttyCommandLine(std::string_view passwordFile, const SshTarget& target);

// What the password file holds: the UTF-8 bytes of the (GBK) password, no
// line break. SSH servers expect UTF-8 passwords.
Bytes PasswordFileContent(std::string_view password);

// "pw-<pid>-<started>-<n>.txt": the writer is in the name, so that a file
// whose writer has gone is known for a leftover.
Text PasswordFileName(const FileWriter& writer, unsigned n);
// The writer named by a password file's name; nothing for any other name.
std::optional<FileWriter> PasswordFileWriter(std::string_view name);

}  // namespace qx
