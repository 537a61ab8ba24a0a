#include "portal/control_panel.h"

namespace qx {

Text ManagePageUrl(std::string_view portalBaseUrl, std::string_view machineId) {
  Text url(portalBaseUrl);
  url += "//user/cloudManage/manage.html?menu=outstart&id=";
  url += machineId;
  return url;
}

Text ControlPanelFragment(std::string_view page) {
  return RewriteControlPanelFragment(TextBetween(page, "<!--分割开始!--->", "<!--分割结束!--->"));
}

Text RewriteControlPanelFragment(std::string_view fragment) {
  struct Rewrite {
    std::string_view from, to;
  };
  static constexpr Rewrite kRewrites[] = {
      {"<i class=\"icon uicon-uicon70\"></i>", ""},
      {"<div class=\"wrap\">", ""},
      {"<em>自助换机</em>", "自助换机</a>"},
      {"<input type='submit'>", "<input type=\"submit\" name=\"Submit\" value=\"提交\">"},
      {"<a href=\"javascript:;\"  class=\"qg-btn whole-bg-color\">", "'"},
  };
  Text text(fragment);
  for (const Rewrite& r : kRewrites) {
    const long at = FindText(text, r.from, 1, true);
    if (at > 0) text.replace(static_cast<size_t>(at - 1), r.from.size(), r.to);
  }
  return text;
}

}  // namespace qx
