// Top-level frames: the skin's border and caption bar, painted in the
// non-client area, with the caption's own close, maximise and minimise
// buttons (hot and pressed looks, a press tracked until the button is let go).
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <algorithm>

#include "skin/skin_engine_win.h"
#include "skin/skin_internal_win.h"

namespace qx::skin {
namespace {

struct Layout {
  RECT box{};      // the window, (0, 0) at its top left
  RECT caption{};  // the caption band, border included
  RECT icon{}, text{};
  struct Button {
    int hit;  // HTCLOSE, HTMAXBUTTON, HTMINBUTTON
    RECT rect;
  };
  Button buttons[3]{};
  int buttonCount = 0;
  int border = 0;
};

int Border(const Theme& t) { return t.Metric(SkinMetric::BorderWidth); }
int CaptionBand(const Theme& t) { return Border(t) + t.Metric(SkinMetric::CaptionHeight); }

HICON SmallIcon(HWND hwnd) {
  auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL2, 0));
  if (!icon) icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
  if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICONSM));
  return icon;
}

bool ShowsIcon(HWND hwnd) {
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  return (style & WS_SYSMENU) && !(ex & (WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW)) &&
         SmallIcon(hwnd);
}

Layout LayoutOf(HWND hwnd, const Theme& t) {
  Layout l;
  l.box = WindowBox(hwnd);
  l.border = Border(t);
  const int band = CaptionBand(t);
  l.caption = {0, 0, l.box.right, band};
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  const int bw = t.Metric(SkinMetric::CaptionButtonWidth);
  const int top = 1, bottom = std::max(top + 8, band - std::max(3, l.border));
  int right = l.box.right - 1;
  auto add = [&](int hit) {
    l.buttons[l.buttonCount++] = {hit, RECT{right - bw, top, right, bottom}};
    right -= bw;
  };
  if (style & WS_SYSMENU) {
    add(HTCLOSE);
    if (style & WS_MAXIMIZEBOX) add(HTMAXBUTTON);
    if (style & WS_MINIMIZEBOX) add(HTMINBUTTON);
  }
  const int mid = band / 2;
  int left = l.border + 6;
  if (ShowsIcon(hwnd)) {
    l.icon = {left, mid - 8, left + 16, mid + 8};
    left += 22;
  }
  l.text = {left, 0, right - 6, band};
  return l;
}

bool CloseEnabled(HWND hwnd) {
  if (GetClassLongPtrW(hwnd, GCL_STYLE) & CS_NOCLOSE) return false;
  HMENU sys = GetSystemMenu(hwnd, FALSE);
  return !sys || !(GetMenuState(sys, SC_CLOSE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

void DrawGlyph(HDC dc, const RECT& r, int hit, bool zoomed, COLORREF c) {
  UniquePen pen(CreatePen(PS_SOLID, 1, c));
  const SelectedObject selectedPen(dc, pen.get());
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2, s = 5;
  auto line = [dc](int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
  };
  switch (hit) {
    case HTCLOSE:
      for (int d = 0; d < 2; ++d) {  // two pixels wide
        line(cx - s + d, cy - s, cx + s + 1 + d, cy + s + 1);
        line(cx - s + d, cy + s, cx + s + 1 + d, cy - s - 1);
      }
      break;
    case HTMINBUTTON:
      line(cx - s, cy + 3, cx + s + 1, cy + 3);
      line(cx - s, cy + 4, cx + s + 1, cy + 4);
      break;
    case HTMAXBUTTON: {
      const SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
      if (zoomed) {
        Rectangle(dc, cx - s, cy - s + 3, cx + s - 2, cy + s + 1);
        line(cx - s + 3, cy - s + 3, cx - s + 3, cy - s);
        line(cx - s + 3, cy - s, cx + s + 1, cy - s);
        line(cx + s, cy - s, cx + s, cy + s - 2);
        line(cx + s, cy + s - 2, cx + s - 3, cy + s - 2);
      } else {
        Rectangle(dc, cx - s, cy - s, cx + s + 1, cy + s + 1);
        line(cx - s, cy - s + 1, cx + s + 1, cy - s + 1);
      }
      break;
    }
  }
}

// The window's title in the caption font, cut short with an ellipsis.
void DrawCaptionText(HDC dc, HWND hwnd, RECT text, HFONT font, COLORREF colour) {
  const std::wstring title = WindowTextW(hwnd);
  const SelectedObject selectedFont(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
}

// The caption band into `dc` (a bitmap of the band's size).
void DrawCaption(HDC dc, HWND hwnd, const WindowState& st, const Layout& l, const Theme& t) {
  const bool active = st.active;
  FillVertical(dc, l.caption,
               t.Colour(active ? SkinColour::CaptionTop : SkinColour::CaptionInactiveTop),
               t.Colour(active ? SkinColour::CaptionBottom : SkinColour::CaptionInactiveBottom));
  if (!IsRectEmpty(&l.icon))
    DrawIconEx(dc, l.icon.left, l.icon.top, SmallIcon(hwnd), 16, 16, 0, nullptr, DI_NORMAL);
  DrawCaptionText(dc, hwnd, l.text, t.CaptionFont(),
                  t.Colour(active ? SkinColour::CaptionText : SkinColour::CaptionTextInactive));

  for (int i = 0; i < l.buttonCount; ++i) {
    const auto& b = l.buttons[i];
    const bool enabled = b.hit != HTCLOSE || CloseEnabled(hwnd);
    const bool pressed = enabled && st.tracking && st.pressedShown && st.pressedButton == b.hit;
    const bool hot = enabled && !st.tracking && st.hotButton == b.hit;
    if (pressed || hot) {
      const bool close = b.hit == HTCLOSE;
      const SkinColour c =
          pressed ? (close ? SkinColour::ClosePressed : SkinColour::CaptionButtonPressed)
                  : (close ? SkinColour::CloseHot : SkinColour::CaptionButtonHot);
      FillSolid(dc, b.rect, t.Colour(c));
    }
    DrawGlyph(dc, b.rect, b.hit, IsZoomed(hwnd) != FALSE,
              t.Colour(!enabled                               ? SkinColour::CaptionTextInactive
                       : (pressed || hot) && b.hit == HTCLOSE ? SkinColour::CaptionText
                                                              : SkinColour::CaptionGlyph));
  }
}

int HitButton(const Layout& l, POINT p) {
  for (int i = 0; i < l.buttonCount; ++i)
    if (PtInRect(&l.buttons[i].rect, p)) return l.buttons[i].hit;
  return 0;
}

// A screen point in window coordinates.
POINT InWindow(HWND hwnd, POINT screen) {
  RECT w;
  GetWindowRect(hwnd, &w);
  return {screen.x - w.left, screen.y - w.top};
}

LRESULT HitTest(HWND hwnd, const Theme& t, POINT screen) {
  const Layout l = LayoutOf(hwnd, t);
  const POINT p = InWindow(hwnd, screen);
  if (!PtInRect(&l.box, p)) return HTNOWHERE;
  if (int hit = HitButton(l, p)) return hit;
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  if ((style & WS_THICKFRAME) && !IsZoomed(hwnd)) {
    const int b = std::max(l.border, 4), corner = b + 12;
    const bool left = p.x < b, right = p.x >= l.box.right - b;
    const bool top = p.y < b, bottom = p.y >= l.box.bottom - b;
    const bool nearLeft = p.x < corner, nearRight = p.x >= l.box.right - corner;
    const bool nearTop = p.y < corner, nearBottom = p.y >= l.box.bottom - corner;
    if ((top && nearLeft) || (left && nearTop)) return HTTOPLEFT;
    if ((top && nearRight) || (right && nearTop)) return HTTOPRIGHT;
    if ((bottom && nearLeft) || (left && nearBottom)) return HTBOTTOMLEFT;
    if ((bottom && nearRight) || (right && nearBottom)) return HTBOTTOMRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
  }
  const RECT client = ClientInWindow(hwnd);
  if (PtInRect(&client, p)) return HTCLIENT;
  if (p.y < l.caption.bottom) {
    RECT icon = l.icon;
    InflateRect(&icon, 3, 3);
    return PtInRect(&icon, p) ? HTSYSMENU : HTCAPTION;
  }
  return HTBORDER;
}

void SetHot(WindowState& st, int hit) {
  if (st.hotButton == hit) return;
  st.hotButton = hit;
  if (hit && !st.leaveTracked) {
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE | TME_NONCLIENT, st.hwnd, 0};
    st.leaveTracked = TrackMouseEvent(&tme) != FALSE;
  }
  PaintFrame(st);
}

// The rounded corners of the skin (none while maximised).
void UpdateRegion(WindowState& st, const Theme& t) {
  const RECT box = WindowBox(st.hwnd);
  const int radius = IsZoomed(st.hwnd) ? 0 : t.Metric(SkinMetric::FrameRadius);
  const SIZE size{radius ? box.right : 0, radius ? box.bottom : 0};
  if (radius == st.regionRadius && size.cx == st.regionSize.cx && size.cy == st.regionSize.cy)
    return;
  st.regionRadius = radius;
  st.regionSize = size;
  SetWindowRgn(st.hwnd,
               radius
                   ? CreateRoundRectRgn(0, 0, box.right + 1, box.bottom + 1, 2 * radius, 2 * radius)
                   : nullptr,
               IsWindowVisible(st.hwnd));
}

}  // namespace

SIZE FrameSizeFor(SIZE client) {
  const Theme* t = CurrentTheme();
  if (!t) return client;
  return {client.cx + 2 * Border(*t), client.cy + CaptionBand(*t) + Border(*t)};
}

void ApplyFrame(WindowState& st, bool keepClientSize) {
  const Theme* t = CurrentTheme();
  HWND hwnd = st.hwnd;
  SetPropW(hwnd, SkinEngine::kSkinProperty,
           reinterpret_cast<HANDLE>(static_cast<uintptr_t>(t->Checksum())));
  const POINT metrics{Border(*t), CaptionBand(*t)};
  if (keepClientSize && !IsIconic(hwnd) && !IsZoomed(hwnd)) {
    RECT c;
    GetClientRect(hwnd, &c);
    const SIZE outer = FrameSizeFor({c.right, c.bottom});
    const RECT box = WindowBox(hwnd);
    // Only a frame of other widths asks the system to lay the window out again.
    if (metrics.x != st.frameMetrics.x || metrics.y != st.frameMetrics.y || outer.cx != box.right ||
        outer.cy != box.bottom)
      SetWindowPos(hwnd, nullptr, 0, 0, outer.cx, outer.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  st.frameMetrics = metrics;
  UpdateRegion(st, *t);
  ApplyOpacity(st);
  SyncShadow(st, false);
}

void PaintFrame(WindowState& st) {
  const Theme* t = CurrentTheme();
  HWND hwnd = st.hwnd;
  if (!t || !IsWindowVisible(hwnd) || IsIconic(hwnd)) return;
  const Layout l = LayoutOf(hwnd, *t);
  const RECT client = ClientInWindow(hwnd);
  const WindowDc window = WindowDc::Whole(hwnd);
  if (!window) return;
  HDC dc = window.get();
  ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);

  // The caption through a bitmap (no flicker); the rest of the border solid.
  const int w = l.box.right, band = l.caption.bottom;
  {
    const UniqueDc mem(CreateCompatibleDC(dc));
    const UniqueBitmap bitmap(CreateCompatibleBitmap(dc, std::max(w, 1), std::max(band, 1)));
    const SelectedObject selectedBitmap(mem.get(), bitmap.get());
    DrawCaption(mem.get(), hwnd, st, l, *t);
    BitBlt(dc, 0, 0, w, band, mem.get(), 0, 0, SRCCOPY);
  }

  const COLORREF side =
      t->Colour(st.active ? SkinColour::CaptionBottom : SkinColour::CaptionInactiveBottom);
  FillSolid(dc, {0, band, client.left, l.box.bottom}, side);
  FillSolid(dc, {client.right, band, w, l.box.bottom}, side);
  FillSolid(dc, {client.left, client.bottom, client.right, l.box.bottom}, side);
  FillSolid(dc, {client.left, band, client.right, client.top}, side);
  // The outline follows the rounded corners of the window.
  const int radius = std::max(st.regionRadius, 0);
  Outline(dc, {0, 0, w, l.box.bottom}, radius, t->Colour(SkinColour::Frame));
}

bool FrameMessage(WindowState& st, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  const Theme& t = *CurrentTheme();
  HWND hwnd = st.hwnd;
  const bool iconic = IsIconic(hwnd) != FALSE;
  switch (msg) {
    case WM_NCCALCSIZE: {
      if (iconic) return false;
      RECT* r =
          wp ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : reinterpret_cast<RECT*>(lp);
      r->left += Border(t);
      r->right -= Border(t);
      r->top += CaptionBand(t);
      r->bottom -= Border(t);
      if (r->right < r->left) r->right = r->left;
      if (r->bottom < r->top) r->bottom = r->top;
      result = 0;
      return true;
    }
    case WM_NCPAINT:
      if (iconic) return false;
      PaintFrame(st);
      result = 0;
      return true;
    case WM_NCACTIVATE:
      st.active = wp != 0;
      // -1: the default keeps its bookkeeping but paints no caption of its own.
      result = CallBelow(hwnd, msg, wp, iconic ? lp : -1);
      if (!iconic) PaintFrame(st);
      return true;
    case WM_SETTEXT:
    case WM_SETICON:
      result = CallHidden(hwnd, msg, wp, lp);
      PaintFrame(st);
      return true;
    case WM_NCHITTEST:
      if (iconic) return false;
      result = HitTest(hwnd, t, {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
      return true;
    case WM_NCMOUSEMOVE:
      SetHot(st,
             wp == HTCLOSE || wp == HTMAXBUTTON || wp == HTMINBUTTON ? static_cast<int>(wp) : 0);
      return false;
    case WM_NCMOUSELEAVE:
      st.leaveTracked = false;
      SetHot(st, 0);
      return false;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (wp != HTCLOSE && wp != HTMAXBUTTON && wp != HTMINBUTTON) return false;
      if (msg == WM_NCLBUTTONDOWN && (wp != HTCLOSE || CloseEnabled(hwnd))) {
        st.tracking = st.pressedShown = true;
        st.pressedButton = static_cast<int>(wp);
        SetCapture(hwnd);
        PaintFrame(st);
      }
      result = 0;
      return true;
    case WM_MOUSEMOVE:
      if (!st.tracking) return false;
      {
        POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ClientToScreen(hwnd, &p);
        const bool over = HitButton(LayoutOf(hwnd, t), InWindow(hwnd, p)) == st.pressedButton;
        if (over != st.pressedShown) {
          st.pressedShown = over;
          PaintFrame(st);
        }
      }
      result = 0;
      return true;
    case WM_LBUTTONUP:
      if (!st.tracking) return false;
      {
        const bool over = st.pressedShown;
        const int button = st.pressedButton;
        ReleaseCapture();  // WM_CAPTURECHANGED ends the tracking
        if (over) {
          // The command may destroy the window: nothing of it is used after.
          const WPARAM command = button == HTCLOSE       ? SC_CLOSE
                                 : button == HTMINBUTTON ? SC_MINIMIZE
                                 : IsZoomed(hwnd)        ? SC_RESTORE
                                                         : SC_MAXIMIZE;
          SendMessageW(hwnd, WM_SYSCOMMAND, command, 0);
        }
      }
      result = 0;
      return true;
    case WM_CAPTURECHANGED:
      if (st.tracking) {
        st.tracking = st.pressedShown = false;
        st.pressedButton = 0;
        PaintFrame(st);
      }
      return false;
    case WM_ERASEBKGND: {
      if (!GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND) && !st.dialog)
        return false;  // the window paints its own background
      RECT c;
      GetClientRect(hwnd, &c);
      FillRect(reinterpret_cast<HDC>(wp), &c, t.Brush(SkinColour::Window));
      result = 1;
      return true;
    }
    case WM_WINDOWPOSCHANGED: {
      result = CallBelow(hwnd, msg, wp, lp);
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
      if (!(pos->flags & SWP_NOSIZE)) UpdateRegion(st, t);
      SyncShadow(st, !(pos->flags & SWP_NOSIZE) || !(pos->flags & SWP_NOMOVE));
      return true;
    }
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
      result = CallBelow(hwnd, msg, wp, lp);
      ShadowMoving(st, msg == WM_ENTERSIZEMOVE);
      SyncShadow(st, msg == WM_EXITSIZEMOVE);
      return true;
    case WM_SHOWWINDOW:
    case WM_SIZE:
      result = CallBelow(hwnd, msg, wp, lp);
      SyncShadow(st, false);
      return true;
    case WM_DESTROY:
      DropShadow(st);
      return false;
  }
  return false;
}

}  // namespace qx::skin
