// Fault tickets and the control-panel login, driven as a user would against
// the demo portal: what the portal received, the boxes, the local page file
// and what the browser was given.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/commands.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/driver_list.h"
#include "tests/test_util.h"

using namespace e2e;
using namespace qx;  // control and command ids

namespace {

constexpr const wchar_t* kTicketClass = L"QarvexTicketWindow";
const std::wstring kBrowserLog = L"C:\\qarvex-browser.log";

// Machine 1 of the demo portal (QX000001, vpsid 10003) as the ticket's
// content carries it, and its two ticket bodies.
const std::string kContent =
    "%E4%B8%9A%E5%8A%A1%E6%A0%87%E8%AF%86%EF%BC%9AQX000001%0D%0A%E8%BF%9C%E7%A8%8B%E5%9C%B0%E5%9D%"
    "80%EF%BC%9A10.0.0.1%3A3389%0D%0A%E7%B3%BB%E7%BB%9F%E8%B4%A6%E6%88%B7%EF%BC%9Aadministrator%"
    "0D%0A%E7%B3%BB%E7%BB%9F%E5%AF%86%E7%A0%81%EF%BC%9AQx07919%40B%0D%0A%E5%AE%BD%E5%B8%A6%E8%B4%"
    "A6%E6%88%B7%EF%BC%9A07560000001%0D%0A%E5%AE%BD%E5%B8%A6%E5%AF%86%E7%A0%81%EF%BC%9A004241%0D%"
    "0A%E5%88%B0%E6%9C%9F%E6%97%B6%E9%97%B4%EF%BC%9A2027-01-04+09%3A01%3A00";
const std::string kContact =
    "&attachments=&mobile=13800138000&myMobile=1&qq=10001&myQQ=1&attachmentIds=";
const std::string kRemoteBody =
    "classID=1&title=QX000001%EF%BC%9A%E8%BF%9C%E7%A8%8B%E6%95%85%E9%9A%9C-%E5%AE%A2%E6%88%B7%E7%"
    "AB%"
    "AF%E5%B7%A5%E5%8D%95&content=" +
    kContent + kContact;
const std::string kDialUpBody =
    "classID=1&title=QX000001%EF%BC%9A%E6%8B%A8%E5%8F%B7%E6%95%85%E9%9A%9C-%E5%AE%A2%E6%88%B7%E7%"
    "AB%"
    "AF%E5%B7%A5%E5%8D%95&content=" +
    kContent + kContact;

// The icon a message box shows (its SS_ICON static), null when none.
HICON BoxIcon(HWND box) {
  HWND found = nullptr;
  EnumChildWindows(
      box,
      [](HWND c, LPARAM lp) -> BOOL {
        if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
        *reinterpret_cast<HWND*>(lp) = c;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  DWORD_PTR icon = 0;
  if (found) SendMessageTimeoutW(found, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon);
  return reinterpret_cast<HICON>(icon);
}

class PortalFormsTest : public LoggedInTest {
 protected:
  // The box the program shows next: its title, text and icon; OK pressed.
  struct Box {
    std::wstring title, text;
    LPARAM icon = 0;
  };
  Box AnswerBox() {
    Box b;
    HWND box = program->WaitMessageBox();
    if (!box) return b;
    b.title = Text(box);
    b.text = MessageBoxText(box);
    b.icon = static_cast<LPARAM>(reinterpret_cast<INT_PTR>(BoxIcon(box)));
    PressDialogButton(box, IDOK);
    WaitFor([&] { return !IsWindow(box); });
    return b;
  }
  std::vector<std::string> Saves() const { return portal.LogLines("//user/ticket/save.html"); }
};

TEST_F(PortalFormsTest, TicketButtonsPostTheExactBodyAndReportWhatThePortalDid) {
  ASSERT_TRUE(OpenMain()) << program->DescribeWindows();
  SelectListLine(list, 0);
  PostMessageW(main, WM_COMMAND, CmdFaultTicket, 0);
  HWND ticket = program->WaitWindowClass(kTicketClass);
  ASSERT_TRUE(ticket) << program->DescribeWindows();
  EXPECT_EQ(Text(ticket), L"业务标识：QX000001工单服务！");
  HWND remote = GetDlgItem(ticket, IdTicketRemoteButton);
  HWND dialUp = GetDlgItem(ticket, IdTicketDialUpButton);
  EXPECT_EQ(Text(remote), L"提交“远程故障”工单");
  EXPECT_EQ(Text(dialUp), L"提交“拨号故障”工单");
  // The buttons wait for the contact fields of the ticket form.
  ASSERT_TRUE(WaitFor([&] { return Enabled(remote) && Enabled(dialUp); }));
  EXPECT_EQ(portal.LogLines("//user/ticket/add.html?classId=1").size(), 1u);

  const std::wstring filed =
      L"工单下发成功，请耐心等待工程师处理！\r\n届时请关注您账户绑定的邮箱，工程师处理完毕将会有邮"
      L"件"
      L"提醒！\r\n如需更快的处理您的问题，您可联系网站在线QQ客服！";
  Click(remote);
  Box ok = AnswerBox();
  EXPECT_EQ(ok.title, L"系统提示：");
  EXPECT_EQ(ok.text, filed);
  ASSERT_EQ(Saves().size(), 1u);
  EXPECT_EQ(JsonString(Saves()[0], "body_raw"), kRemoteBody);
  EXPECT_NE(JsonString(Saves()[0], "cookie").find("PHPSESSID="), std::string::npos);

  Click(dialUp);
  EXPECT_EQ(AnswerBox().text, filed);
  ASSERT_EQ(Saves().size(), 2u);
  EXPECT_EQ(JsonString(Saves()[1], "body_raw"), kDialUpBody);

  // Refused (403): the failure box, in the portal's words. While the filing
  // runs its button is disabled, so a second press files nothing more.
  portal.Set("ticket=refuse&latency_ms=1500");
  Click(remote);
  ASSERT_TRUE(WaitFor([&] { return !Enabled(remote); }));
  Click(remote);
  Box refused = AnswerBox();
  portal.Set("latency_ms=0");
  EXPECT_EQ(refused.title, L"信息：");
  EXPECT_EQ(refused.text, L"工单提交过于频繁");
  ASSERT_NE(ok.icon, 0);
  EXPECT_NE(refused.icon, ok.icon);  // exclamation, not information
  EXPECT_EQ(Saves().size(), 3u);
  EXPECT_TRUE(IsWindow(ticket));
  EXPECT_TRUE(WaitFor([&] { return Enabled(remote); }));

  // No answer at all: the failure box in the program's words.
  portal.Set("ticket=drop");
  Click(dialUp);
  Box dropped = AnswerBox();
  EXPECT_EQ(dropped.title, L"信息：");
  EXPECT_EQ(dropped.text, L"工单提交失败，请稍后重试");
  EXPECT_TRUE(IsWindow(ticket));

  // A second 故障申报 for another machine: the same window, read again.
  portal.Set("ticket=ok");
  SelectListLine(list, 1);
  PostMessageW(main, WM_COMMAND, CmdFaultTicket, 0);
  ASSERT_TRUE(WaitFor([&] { return Text(ticket) == L"业务标识：QX000002工单服务！"; }));
  ASSERT_TRUE(WaitFor([&] { return Enabled(remote) && Enabled(dialUp); }));
  EXPECT_EQ(portal.LogLines("//user/ticket/add.html?classId=1").size(), 2u);
  EXPECT_EQ(TopWindows(program->pid(), kTicketClass).size(), 1u);
  const size_t before = Saves().size();
  Click(remote);
  EXPECT_EQ(AnswerBox().text, filed);
  ASSERT_EQ(Saves().size(), before + 1);
  const std::string second = JsonString(Saves().back(), "body_raw");
  EXPECT_EQ(second.rfind("classID=1&title=QX000002%EF%BC%9A", 0), 0u);
  // Its password, "Qx15838&amp;C" in the page, goes as the portal meant it.
  EXPECT_NE(second.find("%EF%BC%9AQx15838%26C%0D%0A"), std::string::npos) << second;

  // An expired session: the portal answers 200 and refuses, in its own words.
  portal.Set("expired=1");
  Click(remote);
  Box expired = AnswerBox();
  EXPECT_EQ(expired.title, L"信息：");
  EXPECT_EQ(expired.text, L"请先登录");
  EXPECT_EQ(Saves().size(), before + 2);

  // Closed while its filing runs: the filing goes out once and its verdict
  // is shown under the main window.
  portal.Set("latency_ms=3000");
  ASSERT_TRUE(WaitFor([&] { return Enabled(dialUp); }));
  Click(dialUp);
  ASSERT_TRUE(WaitFor([&] { return Saves().size() == before + 3; }));
  PostMessageW(ticket, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(ticket); }));
  HWND box = program->WaitMessageBox();
  ASSERT_TRUE(box) << program->DescribeWindows();
  EXPECT_EQ(GetWindow(box, GW_OWNER), main);
  EXPECT_EQ(MessageBoxText(box), L"请先登录");
  PressDialogButton(box, IDOK);
  portal.Set("latency_ms=0");
  EXPECT_EQ(Saves().size(), before + 3);
}

TEST_F(PortalFormsTest, ControlPanelOpensTheLinkThenTheLoggedInPanel) {
  // The panel's key logs in once, as real panels' keys do.
  ASSERT_TRUE(OpenMain("panel_single_use=1")) << program->DescribeWindows();
  DeleteFileW(kBrowserLog.c_str());
  SelectListLine(list, 0);
  PostMessageW(main, WM_COMMAND, CmdControlPanel, 0);

  HWND box = program->WaitMessageBox();
  ASSERT_TRUE(box) << program->DescribeWindows();
  EXPECT_EQ(Text(box), L"系统提示:");
  EXPECT_EQ(MessageBoxText(box), L"正在登录控制面板请稍后");
  EXPECT_TRUE(BoxIcon(box));
  // The rewritten fragment, GBK, nothing added.
  const std::string port = portal.url.substr(portal.url.rfind(':') + 1);
  EXPECT_EQ(ReadFileBytes(L"C:\\qarvex\\vpsadm.html"),
            "\n\n<div class=\"panel-box\">\n<a href=\"http://127.0.0.1:" + port +
                "/user/cloudManage/change.html?id=10003\" class=\"side-link\">自助换机</a></a>\n"
                "<form name=\"panelForm\" action=\"/panel/login\" method=\"post\" "
                "target=\"_blank\">\n<input type=\"hidden\" name=\"vpsid\" value=\"10003\">\n"
                "<input type=\"hidden\" name=\"token\" value=\"f8577fb1d30d8063\">\n"
                "'<input type=\"submit\" name=\"Submit\" value=\"提交\"></a>\n</form>\n</div>\n"
                "</div>\n");
  // Nothing is pressed while the box is up.
  EXPECT_FALSE(FileExists(kBrowserLog));
  EXPECT_TRUE(portal.LogLines("/panel/").empty());
  PressDialogButton(box, IDOK);

  // The link, and the page the form's redirect ends on.
  const std::string link = "http://127.0.0.1:" + port + "/user/cloudManage/change.html?id=10003\n";
  const std::string panel =
      "http://127.0.0.1:" + port + "/panel/home?vpsid=10003&key=93f33c17a5feb816\n";
  // Each goes to a browser process of its own: they may write in either order.
  EXPECT_TRUE(WaitFor([&] {
    const std::string opened = ReadFileBytes(kBrowserLog);
    return opened == link + panel || opened == panel + link;
  })) << ReadFileBytes(kBrowserLog);
  // The browser is the first to ask for the panel, and is let in.
  EXPECT_TRUE(portal.LogLines("/panel/home").empty());
  EXPECT_NE(HttpGet(panel.substr(0, panel.size() - 1)).find(U8(u8"已登录控制面板")),
            std::string::npos);

  // The form went to the relative action on the portal, with the session
  // cookie, its fields in order and the pressed button.
  const std::vector<std::string> posts = portal.LogLines("/panel/login");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_NE(JsonString(posts[0], "cookie").find("PHPSESSID="), std::string::npos);
  EXPECT_EQ(JsonString(posts[0], "method"), "POST");
  EXPECT_EQ(JsonString(posts[0], "body_raw"),
            "vpsid=10003&token=f8577fb1d30d8063&Submit=%E6%8F%90%E4%BA%A4");

  struct ClearFaults {
    std::string url;
    ~ClearFaults() { HttpGet(url + "/__admin/fault?clear=1"); }
  } clear{portal.url};
  // A page the form ends on without a redirect is saved for the browser,
  // and goes with the program at the latest.
  const std::wstring result = L"C:\\qarvex\\vpsadm_result.html";
  ASSERT_NE(HttpGet(portal.url + "/__admin/fault?path=/panel/login&mode=status_500"), "");
  PostMessageW(main, WM_COMMAND, CmdControlPanel, 0);
  box = program->WaitMessageBox();
  ASSERT_TRUE(box) << program->DescribeWindows();
  PressDialogButton(box, IDOK);
  ASSERT_TRUE(WaitFor([&] { return portal.LogLines("/panel/login").size() == 2; }));
  ASSERT_TRUE(WaitFor([&] { return FileExists(result); }));

  // A panel that answers the form with a 307 to another host: the form, its
  // token with it, goes no further.
  ASSERT_NE(HttpGet(portal.url + "/__admin/fault?path=/panel/login&mode=redirect_away"), "");
  PostMessageW(main, WM_COMMAND, CmdControlPanel, 0);
  box = program->WaitMessageBox();
  ASSERT_TRUE(box) << program->DescribeWindows();
  PressDialogButton(box, IDOK);
  ASSERT_TRUE(WaitFor([&] { return portal.LogLines("/panel/login").size() >= 3; }));
  // The portal's requests go one after another: once the next 自助换机 has
  // fetched its page, the redirected form has had its turn.
  PostMessageW(main, WM_COMMAND, CmdControlPanel, 0);
  box = program->WaitMessageBox();
  ASSERT_TRUE(box) << program->DescribeWindows();
  EXPECT_EQ(portal.LogLines("/panel/login").size(), 3u);
  PressDialogButton(box, IDOK);

  PostMessageW(main, WM_COMMAND, CmdTrayExit, 0);
  ASSERT_TRUE(program->WaitExit(20000));
  EXPECT_FALSE(FileExists(result));
}

}  // namespace
