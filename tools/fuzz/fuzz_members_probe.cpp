// The members page (name and balance) and the session probe page (member
// name, login state), with the one-click hint built from the name.
#include "portal/login.h"
#include "portal/machine_list.h"
#include "tools/fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string page = in.Rest();
  const qx::MemberSummary m = qx::ParseMembersPage(page);
  FUZZ_CHECK(page.find(m.name) != std::string::npos);
  FUZZ_CHECK(page.find(m.balance) != std::string::npos);
  const qx::ProbeResult p = qx::ParseProbePage(page);
  FUZZ_CHECK(page.find(p.memberName) != std::string::npos);
  FUZZ_CHECK(p.live() == (p.loginState == 1));
  const qx::Text hint = qx::OneClickHint(p.memberName);
  FUZZ_CHECK(hint.find(p.memberName) != std::string::npos);
  return 0;
}
