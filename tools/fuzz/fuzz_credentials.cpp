// config.ini read back. Input: mode byte, then either a whole file (even
// mode) or user 1E password (odd mode), written and read again.
#include "portal/credentials.h"
#include "tools/fuzz/fuzz_util.h"

namespace {
// True when the characters of t end where t ends: no lead byte at its end
// that would take the file's next byte as its second.
bool WholeCharacters(std::string_view t) {
  size_t i = 0;
  while (i < t.size()) i += qx::IsLeadByte(static_cast<unsigned char>(t[i])) ? 2 : 1;
  return i == t.size();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  if (in.Byte() % 2 == 0) {
    const std::string file = in.Rest();
    const qx::Credentials c = qx::ParseCredentialsFile(file);
    FUZZ_CHECK(file.find(c.user) != std::string::npos);
    FUZZ_CHECK(file.find(c.password) != std::string::npos);
    return 0;
  }
  const std::string user = in.Piece(), password = in.Rest();
  const qx::Credentials c = qx::ParseCredentialsFile(qx::CredentialsFileText(user, password));
  // A user name that is one line of whole characters reads back as written,
  // and so does any password behind it. (The program writes the boxes' text
  // converted to GBK: whole characters always.)
  if (user.find("\r\n") == std::string::npos && WholeCharacters(user)) {
    FUZZ_CHECK(c.user == user);
    FUZZ_CHECK(c.password == password);
  }
  return 0;
}
