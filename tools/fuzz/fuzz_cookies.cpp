// Cookie names and the merge of received cookies into sent ones.
// Input: sent 1E received.
#include "tools/fuzz/fuzz_util.h"
#include "web/cookies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  qx::Text sent = in.Piece();
  const std::string received = in.Rest();
  const qx::Text name = qx::CookieName(received);
  FUZZ_CHECK(qx::Trim(name) == name && name.size() <= received.size());
  const qx::Text merged = qx::MergeCookies(sent, received);
  FUZZ_CHECK(merged == sent);
  return 0;
}
