// The login reply's verdict and the login form body.
// Input: user 1E password 1E reply.
#include <string>
#include <vector>

#include "portal/login.h"
#include "tools/fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string user = in.Piece(), password = in.Piece(), reply = in.Rest();
  if (qx::LoginSucceeded(reply)) FUZZ_CHECK(reply.find("登录成功") != std::string::npos);

  // The body is six fields; the two values come back as they were typed.
  const qx::Text body = qx::LoginBody(user, password);
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t amp; (amp = body.find('&', start)) != std::string::npos; start = amp + 1)
    fields.push_back(body.substr(start, amp - start));
  fields.push_back(body.substr(start));
  FUZZ_CHECK(fields.size() == 6);
  FUZZ_CHECK(fields[0] == "redirectURL=" && fields[3] == "captcha=" && fields[4] == "saveNull=0" &&
             fields[5] == "customerServiceID=");
  FUZZ_CHECK(fields[1].rfind("username=", 0) == 0 && fields[2].rfind("password=", 0) == 0);
  std::string back;
  FUZZ_CHECK(fuzz::FormDecode(std::string_view(fields[1]).substr(9), back) && back == user);
  FUZZ_CHECK(fuzz::FormDecode(std::string_view(fields[2]).substr(9), back) && back == password);
  return 0;
}
