// Host, port and path of any text.
#include "tools/fuzz/fuzz_util.h"
#include "web/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string url = in.Rest();
  const qx::Text host = qx::UrlHost(url);
  if (fuzz::ValidGbk(url)) FUZZ_CHECK(host.find(':') == std::string::npos);
  (void)qx::UrlHost(url, true, false);
  (void)qx::UrlHost(url, true, true);
  const qx::Text hostPort = qx::UrlHost(url, false, true);
  FUZZ_CHECK(hostPort.compare(0, host.size(), host) == 0);
  const int port = qx::UrlPort(url);
  FUZZ_CHECK(port >= 0 && port <= 65535);
  const qx::Text path = qx::UrlPath(url);
  FUZZ_CHECK(!path.empty() && path[0] == '/');
  FUZZ_CHECK(path == "/" || (path.size() <= url.size() &&
                             url.compare(url.size() - path.size(), path.size(), path) == 0));
  return 0;
}
