// The SSH address split, the PuTTY command line and the password file: the
// command line, split again by the Windows rules (on bytes, as PuTTY's own
// splitter does), gives back exactly the intended arguments.
// Input: password file path 1E address.
#include <optional>
#include <string>
#include <vector>

#include "remote/ssh_command.h"
#include "tools/fuzz/fuzz_util.h"

namespace {
std::vector<std::string> SplitCommandLine(std::string_view s) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = s.size();
  for (;;) {
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || (s[i] != ' ' && s[i] != '\t'))) {
      if (s[i] == '\\') {
        size_t count = 0;
        while (i < n && s[i] == '\\') ++count, ++i;
        if (i < n && s[i] == '"') {
          arg.append(count / 2, '\\');
          if (count % 2) arg += s[i++];  // an escaped quote
        } else {
          arg.append(count, '\\');
        }
      } else if (s[i] == '"') {
        if (quoted && i + 1 < n && s[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += s[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string file = in.Piece(), address = in.Rest();
  const qx::SshTarget t = qx::SplitSshAddress(address);
  if (fuzz::ValidGbk(address))
    FUZZ_CHECK(t.host.find(':') == std::string::npos && t.port.find(':') == std::string::npos);
  FUZZ_CHECK(address.compare(0, t.host.size(), t.host) == 0);

  const std::vector<std::string> one = SplitCommandLine("x " + qx::QuoteArgument(file));
  FUZZ_CHECK(one.size() == 2 && one[1] == file);

  const std::optional<qx::Text> line = qx::PuttyCommandLine(file, t);
  FUZZ_CHECK(line.has_value() != (qx::IsUnsafeSshValue(t.host) || qx::IsUnsafeSshValue(t.port)));
  if (line) {
    std::vector<std::string> want = {"putty", "-ssh", "-l", "root"};
    if (!file.empty()) want.insert(want.end(), {"-pwfile", file});
    want.insert(want.end(), {"-P", t.port, t.host});
    FUZZ_CHECK(SplitCommandLine(*line) == want);
  }
  (void)qx::PasswordFileContent(address);
  // A name the program reads a writer from is one it could have written.
  if (const std::optional<qx::FileWriter> w = qx::PasswordFileWriter(address))
    FUZZ_CHECK(qx::PasswordFileWriter(qx::PasswordFileName(*w, 7)) == w);
  return 0;
}
