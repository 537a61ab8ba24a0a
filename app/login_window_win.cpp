// LoginWindow: saved credentials, the session probe, the version check and
// the login itself.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include "app/commands.h"
#include "app/skins_win.h"
#include "app/top_windows.h"
#include "app/tray_win.h"
#include "app/window_util_win.h"
#include "base/atomic_file_win.h"
#include "base/codepage.h"
#include "base/config.h"
#include "base/flow_runner_win.h"
#include "base/private_folder_win.h"
#include "portal/credentials.h"
#include "portal/login_flow_win.h"
#include "portal/version_check_flow_win.h"

namespace qx {
namespace {

constexpr wchar_t kClass[] = L"QarvexLoginWindow";
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
// C:\qarvex\ is another account's (or cannot be made private): said once.
constexpr char kDataFolderRefused[] = "文件夹 " QARVEX_DATA_DIR
                                      " 属于其他账户，或无法设为仅限本账户使用。\r\n"
                                      "为保护您的密码，本次运行不读取也不保存账号、密码和设置。";

struct LoginWindow {
  HWND hwnd = nullptr;
  HWND status = nullptr, user = nullptr, password = nullptr;
  HWND loginButton = nullptr, oneClickButton = nullptr;
  TrayIcon tray;
  Text loginNotice;
  bool loggingIn = false;
  FlowOwner flows;

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void OnCreate();
  void CreateControls();
  void OnVersionChecked(const NoticeInfo& notice);
  void FillCredentials();
  void ShowProbe(const ProbeResult& probe);
  void OnLogin();
  // The verdict and the failure box's text, decided on the worker: the reply
  // may be a page of megabytes.
  struct LoginReply {
    bool succeeded = false;
    Text boxText;
  };
  void OnLoginReply(const LoginReply& reply);
  void OnOneClick();
  HBRUSH OnLabelColour(HDC dc, HWND label);
};

LoginWindow* g_login = nullptr;

void LoginWindow::CreateControls() {
  // The status line shows the portal's texts: "&" is a character, not a prefix.
  status = CreateChild(hwnd, L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 8, 336, 24, IdLoginStatus);
  CreateChild(hwnd, L"STATIC", "用户名:", SS_LEFT, 32, 40, 56, 32, IdLoginUserLabel);
  user = CreateChild(hwnd, L"EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, 88, 40, 168, 32, IdLoginUser,
                     WS_EX_CLIENTEDGE);
  CreateChild(hwnd, L"STATIC", "免费注册", SS_LEFT | SS_NOTIFY, 264, 32, 72, 48, IdLoginRegister);
  CreateChild(hwnd, L"STATIC", "密  码:", SS_LEFT, 32, 88, 56, 32, IdLoginPassLabel);
  password = CreateChild(hwnd, L"EDIT", "", ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP, 88, 88, 168,
                         32, IdLoginPassword, WS_EX_CLIENTEDGE);
  SendMessageW(password, EM_SETPASSWORDCHAR, L'*', 0);
  CreateChild(hwnd, L"STATIC", "找回密码", SS_LEFT | SS_NOTIFY, 264, 80, 72, 48, IdLoginRecover);
  loginButton = CreateChild(hwnd, L"BUTTON", "登录", BS_DEFPUSHBUTTON | WS_TABSTOP, 88, 128, 80, 40,
                            IdLoginButton);
  oneClickButton = CreateChild(hwnd, L"BUTTON", "一键登录", BS_PUSHBUTTON | WS_TABSTOP, 176, 128,
                               80, 40, IdOneClickButton);
}

// The window shows at once with the saved credentials; its buttons stay
// disabled until the version check and the session probe (on workers) have
// answered, so what the user types is never overwritten.
void LoginWindow::OnCreate() {
  AttachSkin(SkinChoice::Blue);
  CreateControls();
  EnableWindow(loginButton, FALSE);
  EnableWindow(oneClickButton, FALSE);
  RunFlow(
      Lane::OtherHost, flows, [url = NoticePageUrl()] { return FetchNotice(url); },
      [this](NoticeInfo& notice) { OnVersionChecked(notice); });
  // The rest in turns of their own, so that the window answers in between
  // (they run before the version check's answer, which is posted later).
  PostToWindowThread(flows.Token(), [this] {
    if (DataFolderIsUsers()) {
      RemoveLeftoverTempFiles(Wide(kDataDir));  // of a write that a crash cut short
    } else {
      MessageBoxGbk(kDataFolderRefused, "系统提示：", MB_OK | MB_ICONWARNING);
    }
    FillCredentials();
  });
  PostToWindowThread(flows.Token(), [this] { tray.Place(hwnd); });
}

void LoginWindow::OnVersionChecked(const NoticeInfo& notice) {
  loginNotice = notice.loginNotice;
  VersionDecision d = DecideVersion(notice, kOwnVersion);
  if (d.promptAndEnd) {
    int answer = MessageBoxGbk(d.message, "系统提示：", MB_YESNO);
    if (answer == IDYES) ShellOpen(d.linkToOpen);
    // The program ends the usual way (the workers told to stop, the files
    // swept, WinMain returning), not from inside this task.
    DestroyWindow(hwnd);
    return;
  }
  // The grey hint stays while the box is empty, even with the focus.
  Bytes cue = TextToWide("会员名/邮箱/手机号", kGbk);
  SendMessageW(user, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.data()));
  RunFlow(
      Lane::Portal, flows, [base = PortalBaseUrl()] { return ProbeSession(base); },
      [this](ProbeResult& probe) { ShowProbe(probe); });
}

void LoginWindow::FillCredentials() {
  Bytes file;
  // No saved account (or none readable) leaves the boxes empty.
  static_cast<void>(ReadWholeFile(DataFile("config.ini"), file, 64 * 1024));
  Credentials c = ParseCredentialsFile(file);
  SetWindowTextGbk(user, c.user);
  SetWindowTextGbk(password, c.password);
}

void LoginWindow::ShowProbe(const ProbeResult& probe) {
  EnableWindow(loginButton, TRUE);
  if (probe.live()) {
    SetWindowTextGbk(status, OneClickHint(probe.memberName));
    EnableWindow(oneClickButton, TRUE);
  } else {
    SetWindowTextGbk(status, loginNotice);
    EnableWindow(oneClickButton, FALSE);
  }
}

void LoginWindow::OnLogin() {
  if (loggingIn || !IsWindowEnabled(loginButton)) return;
  loggingIn = true;
  // config.ini keeps the GBK text; the portal gets the boxes' own text in
  // UTF-8. The new credentials replace the old ones in one step. When they
  // cannot be saved the login goes on: the next start shows the old ones.
  static_cast<void>(
      WriteWholeFile(DataFile("config.ini"),
                     CredentialsFileText(GetWindowTextGbk(user), GetWindowTextGbk(password))));
  const Text name = WindowTextUtf8(user), pass = WindowTextUtf8(password);

  EnableWindow(loginButton, FALSE);
  SetWindowTextGbk(loginButton, "正在登录");
  RunFlow(
      Lane::Portal, flows,
      [base = PortalBaseUrl(), name, pass] {
        Logout(base);
        RequestFailure why = RequestFailure::None;
        const Text reply = PostLogin(base, name, pass, &why);
        return LoginReply{LoginSucceeded(reply), LoginFailureText(reply, why)};
      },
      // The portal wants a moment after the post before the session is used.
      [this](LoginReply& reply) {
        RunLater(flows, 2000, [this, reply = std::move(reply)] { OnLoginReply(reply); });
      });
}

void LoginWindow::OnLoginReply(const LoginReply& reply) {
  if (reply.succeeded) {
    OpenMainWindow();  // closes this window
    return;
  }
  MessageBoxGbk(reply.boxText, "信息：");
  if (!hwnd) return;  // closed while the box was up
  SetWindowTextGbk(loginButton, "登录");
  EnableWindow(loginButton, TRUE);
  loggingIn = false;
}

void LoginWindow::OnOneClick() {
  EnableWindow(oneClickButton, FALSE);
  OpenMainWindow();
}

HBRUSH LoginWindow::OnLabelColour(HDC dc, HWND label) {
  int id = GetDlgCtrlID(label);
  SetBkMode(dc, TRANSPARENT);
  if (id == IdLoginStatus) SetTextColor(dc, kBlue);
  if (id == IdLoginRegister || id == IdLoginRecover) SetTextColor(dc, kRed);
  return GetSysColorBrush(COLOR_BTNFACE);
}

LRESULT LoginWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (tray.HandleTaskbarCreated(msg)) return 0;
  switch (msg) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:  // Enter in either box
        case IdLoginButton:
          OnLogin();
          return 0;
        case IdOneClickButton:
          OnOneClick();
          return 0;
        case IdLoginRegister:
          if (HIWORD(wp) == STN_CLICKED) ShellOpen(PortalBaseUrl() + "//register");
          return 0;
        case IdLoginRecover:
          if (HIWORD(wp) == STN_CLICKED) ShellOpen(PortalBaseUrl() + "//getPassword");
          return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(
          OnLabelColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
    case WM_SETCURSOR:
      if (int id = GetDlgCtrlID(reinterpret_cast<HWND>(wp));
          id == IdLoginRegister || id == IdLoginRecover) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case kTrayMessage:
      return 0;  // the login window's icon only marks the running program
    case WM_DESTROY:
      flows.Revoke();  // what still runs for this window is dropped
      tray.Remove();
      if (!MainWindowHandle()) PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void RegisterLoginWindow() { RegisterWindowClass(kClass, WindowProcOf<LoginWindow>); }

HWND OpenLoginWindow() {
  static LoginWindow window;  // lives as long as the program
  g_login = &window;
  HWND h = CreateTopWindow(kClass, "QARVEX挂机宝管理终端",
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 50, 50, 347,
                           223, &window);
  // Showing (and the first painting) gets a turn of its own.
  if (h)
    PostToWindowThread(window.flows.Token(), [h] {
      ShowWindow(h, SW_SHOW);
      SetFocus(g_login->user);
    });
  return h;
}

void CloseLoginWindow() {
  if (g_login && g_login->hwnd) DestroyWindow(g_login->hwnd);
}

HWND LoginWindowHandle() { return g_login ? g_login->hwnd : nullptr; }

}  // namespace qx
