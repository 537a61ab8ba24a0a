// The control-panel page: its address, the fragment the program shows and
// its link and button pressed through the form engine.
#include "portal/control_panel.h"

#include <gtest/gtest.h>

#include "base/codepage.h"
#include "web/form_engine.h"

using namespace qx;

namespace {

// The management page's fragment as the portal writes it (GBK).
const char kManagePage[] =
    "<h2>业务管理</h2><!--分割开始!--->\n<div class=\"wrap\">\n<div class=\"panel-box\">\n"
    "<a href=\"/user/cloudManage/change.html?id=7\" class=\"side-link\">"
    "<i class=\"icon uicon-uicon70\"></i><em>自助换机</em></a>\n"
    "<form name=\"panelForm\" action=\"/panel/login\" method=\"post\" target=\"_blank\">\n"
    "<input type=\"hidden\" name=\"vpsid\" value=\"7\">\n"
    "<input type=\"hidden\" name=\"token\" value=\"a&amp;b\">\n"
    "<A HREF=\"javascript:;\"  CLASS=\"qg-btn whole-bg-color\"><input type='submit'></a>\n"
    "<input type='submit'>\n"
    "</form>\n</div>\n</div>\n<!--分割结束!---><p>footer</p>";

}  // namespace

TEST(ControlPanel, FragmentRewrittenOnceEachCaseIgnored) {
  EXPECT_EQ(ManagePageUrl("http://p", "7"),
            "http://p//user/cloudManage/manage.html?menu=outstart&id=7");
  const Text fragment = ControlPanelFragment(kManagePage);
  EXPECT_EQ(fragment,
            "\n\n<div class=\"panel-box\">\n"
            "<a href=\"/user/cloudManage/change.html?id=7\" class=\"side-link\">自助换机</a></a>\n"
            "<form name=\"panelForm\" action=\"/panel/login\" method=\"post\" target=\"_blank\">\n"
            "<input type=\"hidden\" name=\"vpsid\" value=\"7\">\n"
            "<input type=\"hidden\" name=\"token\" value=\"a&amp;b\">\n"
            "'<input type=\"submit\" name=\"Submit\" value=\"提交\"></a>\n"
            "<input type='submit'>\n"  // only the first bare submit gains the name
            "</form>\n</div>\n</div>\n");
  // An error page without the markers: an empty page.
  EXPECT_EQ(ControlPanelFragment("<html>502 Bad Gateway</html>"), "");
  // A rewrite whose text is absent changes nothing.
  EXPECT_EQ(RewriteControlPanelFragment("<p>x</p>"), "<p>x</p>");
  EXPECT_EQ(RewriteControlPanelFragment("<div class=\"wrap\">x"), "x") << "at the very start";
}

TEST(ControlPanel, PagePressedAsTheLoginDoes) {
  HtmlPage page = HtmlPage::Parse(AnsiToUtf8(ControlPanelFragment(kManagePage)));
  const Text base = "http://127.0.0.1:8080//user/cloudManage/manage.html?menu=outstart&id=7";

  const int link = page.FindLink(kControlPanelLink);
  ASSERT_GE(link, 0);
  page.SetAttribute(link, "target", "_blank");
  EXPECT_EQ(*page.elements()[static_cast<size_t>(link)].Attribute("target"), "_blank");
  PageAction open = page.Press(link, base);
  EXPECT_EQ(open.kind, PageAction::Open);
  EXPECT_EQ(open.url, "http://127.0.0.1:8080/user/cloudManage/change.html?id=7");

  const int button = page.FindButton(kControlPanelButton);
  ASSERT_GE(button, 0);
  PageAction submit = page.Press(button, base);
  EXPECT_EQ(submit.kind, PageAction::Submit);
  EXPECT_TRUE(submit.post);
  EXPECT_EQ(submit.url, "http://127.0.0.1:8080/panel/login");
  // Controls in document order, entities decoded then encoded, the pressed
  // button's UTF-8 value; the other submit input is not sent.
  EXPECT_EQ(submit.body, "vpsid=7&token=a%26b&Submit=%E6%8F%90%E4%BA%A4");
}
