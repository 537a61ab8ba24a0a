// The connection file built from a list line: address, account, protected
// password, then the display settings' mode, width and height, then the
// business identifier for the file name.
#include "base/codepage.h"
#include "remote/rdp.h"
#include "tools/fuzz/fuzz_util.h"

namespace {

size_t Lines(std::string_view s) {
  size_t n = 1;
  for (size_t p = s.find("\r\n"); p != std::string_view::npos; p = s.find("\r\n", p + 2)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const bool withSettings = in.Byte() & 1;
  const std::string address = in.Piece(), account = in.Piece(), password = in.Piece();
  qx::DisplaySettings settings{in.Piece(), in.Piece(), in.Piece()};
  const std::string id = in.Rest();
  const qx::Text text =
      qx::BuildRdpText(address, account, qx::HexUpper(password),
                       withSettings ? std::optional<qx::DisplaySettings>(settings) : std::nullopt);
  // No value can add a line or break one: the file keeps the template's 26.
  FUZZ_CHECK(Lines(text) == 26);
  for (size_t p = 0; (p = text.find('\n', p)) != std::string::npos; ++p)
    FUZZ_CHECK(p > 0 && text[p - 1] == '\r');
  const qx::Text name = qx::RdpFileName(id);
  FUZZ_CHECK(name.size() > 4 && name.compare(name.size() - 4, 4, ".rdp") == 0);
  // Read as GBK (a trail byte may be "\\" or "|"), no character a file name
  // cannot carry.
  const std::string wide = qx::MultiByteToWide(qx::kGbk, name);
  for (size_t i = 0; i + 1 < wide.size(); i += 2) {
    const unsigned ch =
        static_cast<unsigned char>(wide[i]) | static_cast<unsigned char>(wide[i + 1]) << 8;
    FUZZ_CHECK(ch >= 32 &&
               (ch > 127 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(ch)) ==
                                std::string_view::npos));
  }
  return 0;
}
