#include "remote/ssh_command.h"

#include <string>

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
  if (IsUnsafeSshValue(target.host) || IsUnsafeSshValue(target.port)) return std::nullopt;
  Text line = "putty -ssh -l root";
  if (!passwordFile.empty()) line += " -pwfile " + QuoteArgument(passwordFile);
  return line + " -P " + QuoteArgument(target.port) + " " + QuoteArgument(target.host);
}

Bytes PasswordFileContent(std::string_view password) { return AnsiToUtf8(password); }

Text PasswordFileName(const FileWriter& writer, unsigned n) {
  return "pw-" + std::to_string(writer.pid) + "-" + std::to_string(writer.started) + "-" +
         std::to_string(n) + ".txt";
}

std::optional<FileWriter> PasswordFileWriter(std::string_view name) {
  constexpr std::string_view kStart = "pw-", kEnd = ".txt";
  if (name.size() < kStart.size() + kEnd.size() || name.substr(0, kStart.size()) != kStart ||
      name.substr(name.size() - kEnd.size()) != kEnd)
    return std::nullopt;
  name = name.substr(kStart.size(), name.size() - kStart.size() - kEnd.size());
  // Three decimal numbers joined by "-".
  unsigned long long numbers[3] = {};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (name.empty() || name[0] != '-') return std::nullopt;
      name.remove_prefix(1);
    }
    const std::string_view digits = name.substr(0, name.find('-'));
    if (digits.empty() || digits.size() > 19 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
      return std::nullopt;
    numbers[i] = std::stoull(std::string(digits));
    name.remove_prefix(digits.size());
  }
  if (!name.empty() || numbers[0] > 0xFFFFFFFFu) return std::nullopt;
  return FileWriter{static_cast<unsigned long>(numbers[0]), numbers[1]};
}

}  // namespace qx
