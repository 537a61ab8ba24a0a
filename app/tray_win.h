// The notification-area icon: program icon and the tip "拨号VPS管理终端". It is
// placed again when Explorer restarts (TaskbarCreated).
#pragma once

#include <windows.h>

#include <string>

namespace qx {

class TrayIcon {
 public:
  ~TrayIcon() { Remove(); }
  void Place(HWND owner);  // adds, or modifies when already there
  void Remove();
  // Call from the owner's window procedure; true when the message was the
  // taskbar's restart, after which the icon has been placed again.
  bool HandleTaskbarCreated(UINT msg);
  // A balloon over the icon (an information one, titled with the program's tip).
  void ShowBalloon(const std::wstring& text);
  // The kind of a tray callback: 1 left button up, 2 double-click,
  // 3 right button up or context-menu key, 4 a click on the balloon, 0
  // anything else.
  static int EventKind(LPARAM lp);

 private:
  HWND owner_ = nullptr;
  bool placed_ = false;
};

// Pops up a menu at the cursor on behalf of a window (foreground first, so
// that the menu closes when the user clicks elsewhere).
void PopupMenuAtCursor(HWND owner, HMENU menu);
// The same at a screen point.
void PopupMenuAt(HWND owner, HMENU menu, POINT screen);

}  // namespace qx
