// TicketWindow: files a remote-access or a dial-up fault ticket for the
// machine it was opened for, with the member's contact fields from the
// portal's ticket form.
#include <windows.h>

#include "app/commands.h"
#include "app/picture_win.h"
#include "app/top_windows.h"
#include "app/window_util_win.h"
#include "base/config.h"
#include "base/flow_runner_win.h"
#include "portal/ticket.h"
#include "portal/ticket_flow_win.h"

namespace qx {
namespace {

constexpr wchar_t kClass[] = L"QarvexTicketWindow";
// The controls lie in the group box; their layout positions are relative to it.
constexpr int kGroupX = 8, kGroupY = 2;

struct TicketWindow {
  HWND hwnd = nullptr;
  HWND dialUpButton = nullptr, remoteButton = nullptr, picture = nullptr;
  UniqueBitmap contactBitmap;
  FlowOwner flows;

  // What the window holds for the machine it files tickets for.
  Text details;
  Text businessId;
  TicketContact contact;
  // The contact fields are being read: filing waits for them. Only the
  // latest read counts when the window is pointed at another machine.
  bool reading = false;
  unsigned readNumber = 0;
  // A filing of that kind runs: its button cannot start another, also in a
  // window opened again while it runs.
  bool filingDialUp = false, filingRemote = false;

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void ShowMachine(std::string_view newDetails);
  void UpdateButtons();
  void File(TicketKind kind);
  void OnFiled(TicketKind kind, const TicketVerdict& verdict);
  bool& Filing(TicketKind kind) { return kind == TicketKind::DialUp ? filingDialUp : filingRemote; }
};

void TicketWindow::CreateControls() {
  auto at = [](int x, int y) { return POINT{kGroupX + x, kGroupY + y}; };
  CreateChild(hwnd, L"BUTTON", "工单类型", BS_GROUPBOX, kGroupX, kGroupY, 392, 174, IdTicketGroup);
  POINT p = at(16, 22);
  dialUpButton = CreateChild(hwnd, L"BUTTON", "提交“拨号故障”工单", BS_PUSHBUTTON | WS_TABSTOP, p.x,
                             p.y, 168, 56, IdTicketDialUpButton);
  p = at(200, 22);
  remoteButton = CreateChild(hwnd, L"BUTTON", "提交“远程故障”工单", BS_PUSHBUTTON | WS_TABSTOP, p.x,
                             p.y, 168, 56, IdTicketRemoteButton);
  const DWORD label = SS_LEFT | SS_NOPREFIX;
  p = at(16, 86);
  CreateChild(hwnd, L"STATIC", "温馨提示：您可点击上方按钮提交相应工单", label, p.x, p.y, 320, 32,
              IdTicketHint1);
  p = at(76, 112);
  CreateChild(hwnd, L"STATIC", "点击后系统将自动发送对应工单给工程师处理！", label, p.x, p.y, 264,
              32, IdTicketHint2);
  p = at(77, 142);
  CreateChild(hwnd, L"STATIC", "如您需要更快的解决您的问题，可点击", label, p.x, p.y, 208, 24,
              IdTicketHint3);
  p = at(283, 142);
  picture = CreateChild(hwnd, L"STATIC", "", SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY, p.x, p.y, 96,
                        24, IdTicketContactPicture);
  contactBitmap = LoadPicture(kContactPictureId, GetSysColor(COLOR_BTNFACE));
  if (contactBitmap)
    SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(contactBitmap.get()));
  // A bitmap static sizes itself to its picture; keep the layout's box.
  SetWindowPos(picture, nullptr, Scale(p.x), Scale(p.y), Scale(96), Scale(24),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// Takes the machine's details, sets the title and reads the contact fields
// again; the buttons wait for them, as the filing needs them.
void TicketWindow::ShowMachine(std::string_view newDetails) {
  details = Text(newDetails);
  businessId = BusinessIdOf(details);
  SetWindowTextGbk(hwnd, TicketWindowTitle(businessId));
  contact = {};
  reading = true;
  UpdateButtons();
  const unsigned number = ++readNumber;
  RunFlow(
      Lane::Portal, flows, [base = PortalBaseUrl()] { return ReadTicketContact(base); },
      [this, number](TicketContact& read) {
        if (number != readNumber) return;  // a later machine's read is on its way
        contact = std::move(read);
        reading = false;
        UpdateButtons();
      });
}

void TicketWindow::UpdateButtons() {
  if (!hwnd) return;  // closed while a filing ran
  EnableWindow(dialUpButton, !reading && !filingDialUp);
  EnableWindow(remoteButton, !reading && !filingRemote);
}

void TicketWindow::File(TicketKind kind) {
  if (reading || Filing(kind)) return;
  Filing(kind) = true;
  UpdateButtons();
  // The filing belongs to the main window, not to this one: closing the
  // ticket window drops neither the request nor its verdict.
  RunFlow(
      Lane::Portal, MainWindowFlows(),
      [base = PortalBaseUrl(), body = TicketBody(kind, details, businessId, contact)] {
        return FileTicket(base, body);
      },
      [this, kind](TicketVerdict& verdict) { OnFiled(kind, verdict); });
}

void TicketWindow::OnFiled(TicketKind kind, const TicketVerdict& verdict) {
  Filing(kind) = false;
  UpdateButtons();
  // The window stays open either way; when it was closed meanwhile, the
  // verdict is shown under the main window.
  const HWND owner = hwnd ? nullptr : MainWindowHandle();
  MessageBoxGbk(TicketVerdictText(verdict), verdict.filed ? kTicketFiledTitle : kTicketFailedTitle,
                MB_OK | (verdict.filed ? MB_ICONINFORMATION : MB_ICONEXCLAMATION), owner);
}

LRESULT TicketWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      CreateControls();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IdTicketDialUpButton:
          File(TicketKind::DialUp);
          return 0;
        case IdTicketRemoteButton:
          File(TicketKind::RemoteAccess);
          return 0;
        case IdTicketContactPicture:
          if (HIWORD(wp) == STN_CLICKED) ShellOpen(ContactUrl());
          return 0;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      // Transparent labels on the window background.
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == picture) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_DESTROY:
      flows.Revoke();  // a read still under way is dropped; filings go on
      reading = false;
      dialUpButton = remoteButton = picture = nullptr;
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

HWND OpenTicketWindow(std::string_view details) {
  static TicketWindow window;  // lives as long as the program; one window at a time
  static bool registered = false;
  if (!registered) {
    RegisterWindowClass(kClass, WindowProcOf<TicketWindow>);
    registered = true;
  }
  if (!window.hwnd) {
    HWND h = CreateTopWindow(kClass, "", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                             50, 50, 417, 216, &window);
    if (!h) return nullptr;
    window.ShowMachine(details);
    ShowWindow(h, SW_SHOW);
    UpdateWindow(h);
    return h;
  }
  window.ShowMachine(details);
  if (IsIconic(window.hwnd)) ShowWindow(window.hwnd, SW_RESTORE);
  SetForegroundWindow(window.hwnd);
  return window.hwnd;
}

}  // namespace qx
