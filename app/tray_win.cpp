#include "app/tray_win.h"

#include <shellapi.h>

#include <cwchar>

#include "app/commands.h"
#include "app/window_util_win.h"

namespace qx {
namespace {
UINT TaskbarCreatedMessage() {
  static UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
  return msg;
}
NOTIFYICONDATAW IconData(HWND owner) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = owner;
  nid.uID = 1;
  nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  nid.uCallbackMessage = kTrayMessage;
  nid.hIcon = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
  std::wstring tip = Wide("拨号VPS管理终端");
  wcsncpy(nid.szTip, tip.c_str(), sizeof nid.szTip / sizeof nid.szTip[0] - 1);
  return nid;
}
}  // namespace

void TrayIcon::Place(HWND owner) {
  TaskbarCreatedMessage();
  if (placed_ && owner_ != owner) Remove();
  owner_ = owner;
  NOTIFYICONDATAW nid = IconData(owner);
  if (placed_ && Shell_NotifyIconW(NIM_MODIFY, &nid)) return;
  placed_ = Shell_NotifyIconW(NIM_ADD, &nid) != FALSE;
}

void TrayIcon::Remove() {
  if (!placed_) return;
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = owner_;
  nid.uID = 1;
  Shell_NotifyIconW(NIM_DELETE, &nid);
  placed_ = false;
}

void TrayIcon::ShowBalloon(const std::wstring& text) {
  if (!placed_) return;
  NOTIFYICONDATAW nid = IconData(owner_);
  nid.uFlags = NIF_INFO;
  wcsncpy(nid.szInfoTitle, nid.szTip, sizeof nid.szInfoTitle / sizeof nid.szInfoTitle[0] - 1);
  wcsncpy(nid.szInfo, text.c_str(), sizeof nid.szInfo / sizeof nid.szInfo[0] - 1);
  nid.dwInfoFlags = NIIF_INFO;
  nid.uTimeout = 10000;
  Shell_NotifyIconW(NIM_MODIFY, &nid);
}

bool TrayIcon::HandleTaskbarCreated(UINT msg) {
  if (msg != TaskbarCreatedMessage() || !owner_) return false;
  placed_ = false;
  Place(owner_);
  return true;
}

int TrayIcon::EventKind(LPARAM lp) {
  switch (LOWORD(lp)) {
    case WM_LBUTTONUP:
      return 1;
    case WM_LBUTTONDBLCLK:
      return 2;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
      return 3;
    case NIN_BALLOONUSERCLICK:
      return 4;
    default:
      return 0;
  }
}

void PopupMenuAtCursor(HWND owner, HMENU menu) {
  POINT pt;
  GetCursorPos(&pt);
  PopupMenuAt(owner, menu, pt);
}

void PopupMenuAt(HWND owner, HMENU menu, POINT pt) {
  SetForegroundWindow(owner);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
  PostMessageW(owner, WM_NULL, 0, 0);
}

}  // namespace qx
