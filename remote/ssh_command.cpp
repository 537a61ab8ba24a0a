#include "remote/ssh_command.h"

#include "base/codepage.h"

namespace qx {

SshTarget SplitSshAddress(std::string_view address) {
  return {TextBefore(address, ":"), TextAfter(address, ":")};
}

Text QuoteArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\f\r\"") == std::string_view::npos)
    return Text(argument);
  Text out = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');  // the backslashes, then an escaped quote
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');  // before the closing quote
  out += '"';
  return out;
}

std::optional<Text> PuttyCommandLine(std::string_view passwordFile, const SshTarget& target) {
  if (LooksLikeOption(target.host) || LooksLikeOption(target.port)) return std::nullopt;
  Text line = "putty -ssh -l root";
  if (!passwordFile.empty()) line += " -pwfile " + QuoteArgument(passwordFile);
  return line + " -P " + QuoteArgument(target.port) + " " + QuoteArgument(target.host);
}

Bytes PasswordFileContent(std::string_view password) { return AnsiToUtf8(password); }

}  // namespace qx
