// The window scroll bars of lists and edits: drawn over the system's in the
// skin's colours, after every message that draws or may move them.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <array>

#include "skin/skin_internal_win.h"

namespace qx::skin {
namespace {

// Messages after which the system has drawn a window scroll bar itself.
bool DrawsScrollBars(UINT msg) {
  switch (msg) {
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_NCLBUTTONDOWN:
    case WM_NCMOUSEMOVE:
    case WM_NCMOUSELEAVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
    case WM_STYLECHANGED:
    case WM_SETREDRAW:
      return true;
  }
  return false;
}

// Messages that may move a scroll bar (the list's and edit's own, keys, clicks).
bool MayMoveScrollBars(UINT msg) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_SETTEXT:
      return true;
  }
  return (msg >= LVM_FIRST && msg < LVM_FIRST + 0x100) || (msg >= EM_GETSEL && msg < 0x00E0);
}

// Where the window's scroll bars stand, to tell when they moved.
std::array<int, 8> ScrollState(HWND hwnd) {
  std::array<int, 8> state{};
  for (int bar : {SB_VERT, SB_HORZ}) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(hwnd, bar, &si)) continue;
    const size_t at = bar == SB_VERT ? 0 : 4;
    state[at] = si.nMin;
    state[at + 1] = si.nMax;
    state[at + 2] = static_cast<int>(si.nPage);
    state[at + 3] = si.nPos;
  }
  return state;
}

void DrawArrow(HDC dc, const RECT& r, int direction, COLORREF c) {
  // direction: 0 up, 1 down, 2 left, 3 right
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  for (int i = 0; i < 4; ++i) {
    RECT line{};
    switch (direction) {
      case 0:
        line = {cx - i, cy - 2 + i, cx + i + 1, cy - 1 + i};
        break;
      case 1:
        line = {cx - 3 + i, cy - 1 + i, cx + 4 - i, cy + i};
        break;
      case 2:
        line = {cx - 2 + i, cy - i, cx - 1 + i, cy + i + 1};
        break;
      default:
        line = {cx - 1 + i, cy - 3 + i, cx + i, cy + 4 - i};
        break;
    }
    FillSolid(dc, line, c);
  }
}

}  // namespace

bool HasScrollBars(HWND hwnd) {
  return GetWindowLongPtrW(hwnd, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL);
}

bool PaintScrollBars(HWND hwnd) {
  const Theme* t = CurrentTheme();
  if (!t || !IsWindowVisible(hwnd) || !HasScrollBars(hwnd)) return true;
  RECT w;
  GetWindowRect(hwnd, &w);
  const WindowDc window = WindowDc::Whole(hwnd);
  if (!window) return false;
  HDC dc = window.get();
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  bool read = true;
  bool both = true;
  RECT vertical{};
  for (LONG id : {OBJID_VSCROLL, OBJID_HSCROLL}) {
    SCROLLBARINFO sbi{};
    sbi.cbSize = sizeof sbi;
    if (!GetScrollBarInfo(hwnd, id, &sbi)) {
      read = read && !(style & (id == OBJID_VSCROLL ? WS_VSCROLL : WS_HSCROLL));
      both = false;
      continue;
    }
    if (sbi.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) {
      both = false;
      continue;
    }
    const bool vert = id == OBJID_VSCROLL;
    RECT bar = sbi.rcScrollBar;
    OffsetRect(&bar, -w.left, -w.top);
    if (vert) vertical = bar;
    const bool off = sbi.rgstate[0] & STATE_SYSTEM_UNAVAILABLE;
    FillSolid(dc, bar, t->Colour(SkinColour::ScrollTrack));
    // The arrow buttons' length (some systems leave dxyLineButton at 0).
    const int length = vert ? bar.bottom - bar.top : bar.right - bar.left;
    int button = sbi.dxyLineButton ? sbi.dxyLineButton
                                   : GetSystemMetrics(vert ? SM_CYVSCROLL : SM_CXHSCROLL);
    button = std::min(button, length / 2);
    RECT first = bar, second = bar;
    if (vert) {
      first.bottom = first.top + button;
      second.top = second.bottom - button;
    } else {
      first.right = first.left + button;
      second.left = second.right - button;
    }
    const COLORREF arrow =
        off ? t->Colour(SkinColour::ScrollThumb) : t->Colour(SkinColour::ScrollArrow);
    DrawArrow(dc, first, vert ? 0 : 2, arrow);
    DrawArrow(dc, second, vert ? 1 : 3, arrow);
    if (!off && sbi.xyThumbBottom > sbi.xyThumbTop) {
      RECT thumb = bar;
      if (vert) {
        thumb.top = bar.top + sbi.xyThumbTop;
        thumb.bottom = bar.top + sbi.xyThumbBottom;
        InflateRect(&thumb, -3, -1);
      } else {
        thumb.left = bar.left + sbi.xyThumbTop;
        thumb.right = bar.left + sbi.xyThumbBottom;
        InflateRect(&thumb, -1, -3);
      }
      const bool hot = sbi.rgstate[3] & (STATE_SYSTEM_HOTTRACKED | STATE_SYSTEM_PRESSED);
      const COLORREF c = t->Colour(hot ? SkinColour::ScrollThumbHot : SkinColour::ScrollThumb);
      RoundedBox(dc, thumb, 3, c, c, c);
    }
  }
  if (both && !IsRectEmpty(&vertical)) {
    // The square where the two bars meet.
    SCROLLBARINFO h{};
    h.cbSize = sizeof h;
    GetScrollBarInfo(hwnd, OBJID_HSCROLL, &h);
    OffsetRect(&h.rcScrollBar, -w.left, -w.top);
    FillSolid(dc, {vertical.left, h.rcScrollBar.top, vertical.right, h.rcScrollBar.bottom},
              t->Colour(SkinColour::ScrollTrack));
  }
  return read;
}

void PaintNonClient(HWND hwnd, WPARAM wp, LPARAM lp) {
  if (!PaintScrollBars(hwnd)) {
    CallBelow(hwnd, WM_NCPAINT, wp, lp);
    PaintScrollBars(hwnd);
  }
}

bool ScrollBarMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  const bool draws = DrawsScrollBars(msg);
  if (!HasScrollBars(hwnd) || (!draws && !MayMoveScrollBars(msg))) return false;
  const std::array<int, 8> before = draws ? std::array<int, 8>{} : ScrollState(hwnd);
  result = CallBelow(hwnd, msg, wp, lp);
  if (IsWindow(hwnd) && (draws || ScrollState(hwnd) != before)) PaintScrollBars(hwnd);
  return true;
}

}  // namespace qx::skin
