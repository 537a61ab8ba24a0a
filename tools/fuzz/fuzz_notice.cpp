// The notice page, the main window's notice line and the version decision.
// Input: own version (one byte) then the page as it came.
#include "portal/version_check.h"
#include "tools/fuzz/fuzz_util.h"
#include "web/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const int ownVersion = static_cast<int8_t>(in.Byte());
  const std::string page = in.Rest();
  const qx::NoticeInfo info = qx::ParseNoticePage(page);
  for (const qx::Text* t :
       {&info.publishedVersion, &info.loginNotice, &info.announcement, &info.downloadLink})
    FUZZ_CHECK(page.find(*t) != std::string::npos);
  FUZZ_CHECK(page.find(qx::NoticeLine(page)) != std::string::npos);

  const qx::VersionDecision d = qx::DecideVersion(info, ownVersion);
  if (info.publishedVersion.empty()) FUZZ_CHECK(!d.promptAndEnd);
  if (!d.promptAndEnd) FUZZ_CHECK(d.message.empty() && d.linkToOpen.empty());
  if (!d.linkToOpen.empty()) {
    // Only a web address is ever opened.
    FUZZ_CHECK(d.linkToOpen == info.downloadLink);
    FUZZ_CHECK(qx::IsWebUrl(d.linkToOpen));
  }
  return 0;
}
