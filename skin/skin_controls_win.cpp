// Controls: the colours a parent hands its controls (a window's own answers
// kept), push buttons and list rows through custom draw, group boxes, edit
// borders and cue banners, label borders and the list's header. The window
// scroll bars of lists and edits are skin_scrollbar_win.cpp's.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <algorithm>

#include "skin/skin_internal_win.h"

namespace qx::skin {
namespace {

bool IsClass(HWND hwnd, const wchar_t* name) {
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  return _wcsicmp(cls, name) == 0;
}

bool IsSystemBrush(HBRUSH b) {
  return b == GetSysColorBrush(COLOR_3DFACE) || b == GetSysColorBrush(COLOR_WINDOW) ||
         b == GetSysColorBrush(COLOR_BTNFACE) || b == GetSysColorBrush(COLOR_MENU);
}

// WM_CTLCOLOR*: the skin's colours, unless the window answered with its own.
// The skin's colours are set before the window answers, so a window that
// sets only some (a red text on a transparent background) keeps the rest.
bool ControlColour(UINT msg, HWND parent, WPARAM wp, LPARAM lp, LRESULT& result) {
  const Theme& t = *CurrentTheme();
  auto dc = reinterpret_cast<HDC>(wp);
  auto control = reinterpret_cast<HWND>(lp);
  SkinColour back = SkinColour::Window, text = SkinColour::Text;
  switch (msg) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      back = SkinColour::EditBack;
      text = SkinColour::EditText;
      break;
    case WM_CTLCOLORSTATIC:
      if (control && IsClass(control, L"Edit")) {  // read-only or disabled
        back = SkinColour::EditDisabledBack;
        text = SkinColour::EditDisabledText;
      }
      break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORMSGBOX:
      break;
    default:
      return false;
  }
  SetTextColor(dc, t.Colour(text));
  SetBkColor(dc, t.Colour(back));
  result = CallBelow(parent, msg, wp, lp);
  const COLORREF tc = GetTextColor(dc);
  if (tc == GetSysColor(COLOR_WINDOWTEXT) || tc == GetSysColor(COLOR_BTNTEXT))
    SetTextColor(dc, t.Colour(text));
  const COLORREF bc = GetBkColor(dc);
  if (bc == GetSysColor(COLOR_WINDOW) || bc == GetSysColor(COLOR_3DFACE))
    SetBkColor(dc, t.Colour(back));
  auto brush = reinterpret_cast<HBRUSH>(result);
  if (!brush || IsSystemBrush(brush)) result = reinterpret_cast<LRESULT>(t.Brush(back));
  return true;
}

// The button's text in its own font; a multi-line button's lines centred
// in the height too.
void DrawButtonText(HDC dc, HWND button, RECT label, UINT flags, bool multiline) {
  const std::wstring text = WindowTextW(button);
  const SelectedObject font(dc, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
  if (multiline) {
    RECT measure = label;
    const int h = DrawTextW(dc, text.c_str(), -1, &measure, flags | DT_WORDBREAK | DT_CALCRECT);
    label.top += std::max(0L, (label.bottom - label.top - h) / 2);
    DrawTextW(dc, text.c_str(), -1, &label, flags | DT_WORDBREAK);
  } else {
    DrawTextW(dc, text.c_str(), -1, &label, flags | DT_SINGLELINE | DT_VCENTER);
  }
}

void DrawPushButton(const NMCUSTOMDRAW& cd) {
  const Theme& t = *CurrentTheme();
  HWND button = cd.hdr.hwndFrom;
  HDC dc = cd.hdc;
  const RECT rc = cd.rc;
  const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
  const bool disabled = cd.uItemState & CDIS_DISABLED, pressed = cd.uItemState & CDIS_SELECTED;
  const bool hot = cd.uItemState & CDIS_HOT, focus = cd.uItemState & CDIS_FOCUS;
  const bool isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  const int radius = t.Metric(SkinMetric::ButtonRadius);

  FillRect(dc, &rc, t.Brush(SkinColour::Window));
  SkinColour top = SkinColour::ButtonTop, bottom = SkinColour::ButtonBottom;
  if (disabled) {
    top = bottom = SkinColour::ButtonDisabledFace;
  } else if (pressed) {
    top = SkinColour::ButtonPressedTop;
    bottom = SkinColour::ButtonPressedBottom;
  } else if (hot) {
    top = SkinColour::ButtonHotTop;
    bottom = SkinColour::ButtonHotBottom;
  }
  const bool marked = !disabled && (isDefault || focus || pressed || hot);
  RECT box = rc;
  RoundedBox(dc, box, radius, t.Colour(top), t.Colour(bottom),
             t.Colour(marked ? SkinColour::ButtonDefaultBorder : SkinColour::ButtonBorder));
  if (marked && isDefault) {  // the default button's border is twice as strong
    InflateRect(&box, -1, -1);
    Outline(dc, box, std::max(radius - 1, 0), t.Colour(SkinColour::ButtonDefaultBorder));
  }

  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, t.Colour(disabled ? SkinColour::ButtonDisabledText : SkinColour::ButtonText));
  const LRESULT ui = SendMessageW(button, WM_QUERYUISTATE, 0, 0);
  RECT label = rc;
  InflateRect(&label, -4, -2);
  if (pressed) OffsetRect(&label, 1, 1);
  DrawButtonText(dc, button, label, DT_CENTER | ((ui & UISF_HIDEACCEL) ? DT_HIDEPREFIX : 0),
                 style & BS_MULTILINE);
  if (focus && !disabled && !(ui & UISF_HIDEFOCUS)) {
    RECT ring = rc;
    InflateRect(&ring, -3, -3);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &ring);
  }
}

// NM_CUSTOMDRAW of a push button: the whole button is the skin's.
bool ButtonCustomDraw(const NMCUSTOMDRAW& cd, LRESULT& result) {
  const LONG_PTR style = GetWindowLongPtrW(cd.hdr.hwndFrom, GWL_STYLE);
  const LONG_PTR type = style & BS_TYPEMASK;
  if ((type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) || (style & (BS_BITMAP | BS_ICON)))
    return false;
  if (cd.dwDrawStage == CDDS_PREERASE || cd.dwDrawStage == CDDS_PREPAINT) {
    if (cd.dwDrawStage == CDDS_PREERASE) DrawPushButton(cd);
    result = CDRF_SKIPDEFAULT;
    return true;
  }
  return false;
}

// NM_CUSTOMDRAW of a report list: the skin's row colours. The window answers
// too: a text colour of its own stays (outside the selection), and a window
// that draws a line itself keeps it.
bool ListCustomDraw(HWND parent, WPARAM wp, LPARAM lp, LRESULT& result) {
  auto& cd = *reinterpret_cast<NMLVCUSTOMDRAW*>(lp);
  const Theme& t = *CurrentTheme();
  const DWORD stage = cd.nmcd.dwDrawStage;
  if (stage == CDDS_ITEMPREPAINT) {
    cd.clrText = t.Colour(SkinColour::ListText);
    cd.clrTextBk =
        t.Colour(cd.nmcd.dwItemSpec % 2 ? SkinColour::ListAltBack : SkinColour::ListBack);
  }
  result = CallBelow(parent, WM_NOTIFY, wp, lp);
  if (result & CDRF_SKIPDEFAULT) return true;
  if (stage == CDDS_PREPAINT) {
    result |= CDRF_NOTIFYITEMDRAW;
  } else if (stage == CDDS_ITEMPREPAINT && (cd.nmcd.uItemState & CDIS_SELECTED)) {
    cd.nmcd.uItemState &= ~CDIS_SELECTED;  // our selection colours, not the system's
    cd.clrText = t.Colour(SkinColour::ListSelectText);
    cd.clrTextBk = t.Colour(SkinColour::ListSelectBack);
  }
  return true;
}

// NM_CUSTOMDRAW of a list's header, answered by the list (its parent).
bool HeaderCustomDraw(const NMCUSTOMDRAW& cd, LRESULT& result) {
  const Theme& t = *CurrentTheme();
  HWND header = cd.hdr.hwndFrom;
  switch (cd.dwDrawStage) {
    case CDDS_PREPAINT:
      result = CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
      return true;
    case CDDS_ITEMPREPAINT: {
      RECT r = cd.rc;
      if (r.right <= r.left) {
        result = CDRF_SKIPDEFAULT;
        return true;
      }
      const bool pressed = cd.uItemState & CDIS_SELECTED;
      FillVertical(cd.hdc, r, t.Colour(pressed ? SkinColour::HeaderBottom : SkinColour::HeaderTop),
                   t.Colour(pressed ? SkinColour::HeaderTop : SkinColour::HeaderBottom));
      FillSolid(cd.hdc, {r.right - 1, r.top + 3, r.right, r.bottom - 3},
                t.Colour(SkinColour::HeaderDivider));
      FillSolid(cd.hdc, {r.left, r.bottom - 1, r.right, r.bottom},
                t.Colour(SkinColour::HeaderDivider));
      wchar_t text[260] = {};
      HDITEMW item{};
      item.mask = HDI_TEXT | HDI_FORMAT;
      item.pszText = text;
      item.cchTextMax = 260;
      SendMessageW(header, HDM_GETITEMW, cd.dwItemSpec, reinterpret_cast<LPARAM>(&item));
      UINT align = DT_LEFT;
      if ((item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER) align = DT_CENTER;
      if ((item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT) align = DT_RIGHT;
      const SelectedObject font(cd.hdc,
                                reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)));
      SetBkMode(cd.hdc, TRANSPARENT);
      SetTextColor(cd.hdc, t.Colour(SkinColour::HeaderText));
      InflateRect(&r, -6, 0);
      if (pressed) OffsetRect(&r, 1, 1);
      DrawTextW(cd.hdc, text, -1, &r,
                align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
      result = CDRF_SKIPDEFAULT;
      return true;
    }
    case CDDS_POSTPAINT: {
      // The part right of the last column.
      RECT client;
      GetClientRect(header, &client);
      const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
      int right = 0;
      for (int i = 0; i < count; ++i) {
        RECT r{};
        SendMessageW(header, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
        right = std::max(right, static_cast<int>(r.right));
      }
      if (right < client.right) {
        const RECT rest{right, client.top, client.right, client.bottom};
        FillVertical(cd.hdc, rest, t.Colour(SkinColour::HeaderTop),
                     t.Colour(SkinColour::HeaderBottom));
        FillSolid(cd.hdc, {rest.left, rest.bottom - 1, rest.right, rest.bottom},
                  t.Colour(SkinColour::HeaderDivider));
      }
      result = 0;
      return true;
    }
  }
  return false;
}

// The border of a control with WS_BORDER, WS_EX_STATICEDGE or
// WS_EX_CLIENTEDGE: a line in `outer`, the client edge's inner line in `inner`.
bool HasBorder(HWND hwnd) {
  return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE)) ||
         (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_BORDER);
}

void PaintBorder(HWND hwnd, COLORREF outer, COLORREF inner) {
  const bool client = GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE;
  if (!HasBorder(hwnd)) return;
  const WindowDc dc = WindowDc::Whole(hwnd);
  if (!dc) return;
  RECT r = WindowBox(hwnd);
  UniqueBrush outerBrush(CreateSolidBrush(outer)), innerBrush(CreateSolidBrush(inner));
  FrameRect(dc.get(), &r, outerBrush.get());
  if (client) {
    InflateRect(&r, -1, -1);
    FrameRect(dc.get(), &r, innerBrush.get());
  }
}

void PaintGroupBox(HWND box, HDC dc) {
  const Theme& t = *CurrentTheme();
  RECT rc;
  GetClientRect(box, &rc);
  const SelectedObject font(dc, reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)));
  // The parent's answer gives the label's background and a colour of its own.
  HWND parent = GetParent(box);
  auto brush = reinterpret_cast<HBRUSH>(SendMessageW(parent ? parent : box, WM_CTLCOLORSTATIC,
                                                     reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(box)));
  const COLORREF asked = GetTextColor(dc);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  RECT frame = rc;
  frame.top += tm.tmHeight / 2;
  frame.right -= 1;
  frame.bottom -= 1;
  Outline(dc, frame, 3, t.Colour(SkinColour::GroupBorder));
  const std::wstring text = WindowTextW(box);
  if (!text.empty()) {
    RECT label{rc.left + 8, rc.top, rc.right - 8, rc.top + tm.tmHeight};
    DrawTextW(dc, text.c_str(), -1, &label, DT_SINGLELINE | DT_CALCRECT);
    label.right = std::min(label.right, rc.right - 8);
    RECT back = label;
    InflateRect(&back, 4, 0);
    if (!brush || brush == GetStockObject(NULL_BRUSH)) brush = t.Brush(SkinColour::Window);
    FillRect(dc, &back, brush);
    SetBkMode(dc, TRANSPARENT);
    const bool enabled = IsWindowEnabled(box);
    SetTextColor(dc, !enabled ? t.Colour(SkinColour::ButtonDisabledText)
                     : asked == t.Colour(SkinColour::Text) ? t.Colour(SkinColour::GroupText)
                                                           : asked);
    DrawTextW(dc, text.c_str(), -1, &label, DT_SINGLELINE | DT_LEFT | DT_TOP);
  }
}

// The empty edit box with its cue banner, in the skin's cue colour.
void PaintCue(WindowState& st) {
  HWND edit = st.hwnd;
  const PaintDc paint(edit);
  HDC dc = paint.get();
  const bool plain = IsWindowEnabled(edit) && !(GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY);
  HWND parent = GetParent(edit);
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(parent ? parent : edit, plain ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                   reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)));
  RECT client;
  GetClientRect(edit, &client);
  FillRect(dc, &client, brush ? brush : CurrentTheme()->Brush(SkinColour::EditBack));
  RECT format{};
  SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  if (IsRectEmpty(&format)) format = client;
  const SelectedObject font(dc, reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, CurrentTheme()->Colour(SkinColour::CueText));
  const LONG_PTR style = GetWindowLongPtrW(edit, GWL_STYLE);
  const UINT align = (style & ES_CENTER) ? DT_CENTER : (style & ES_RIGHT) ? DT_RIGHT : DT_LEFT;
  DrawTextW(dc, st.cue.c_str(), -1, &format,
            align | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

}  // namespace

void ApplyControl(WindowState& st) {
  const Theme& t = *CurrentTheme();
  HWND hwnd = st.hwnd;
  if (st.kind == Kind::ListView) {
    SendMessageW(hwnd, LVM_SETBKCOLOR, 0, t.Colour(SkinColour::ListBack));
    SendMessageW(hwnd, LVM_SETTEXTBKCOLOR, 0, t.Colour(SkinColour::ListBack));
    SendMessageW(hwnd, LVM_SETTEXTCOLOR, 0, t.Colour(SkinColour::ListText));
  }
}

bool ParentMessage(WindowState& st, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC)
    return ControlColour(msg, st.hwnd, wp, lp, result);
  if (msg != WM_NOTIFY) return false;
  const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
  if (!hdr || hdr->code != NM_CUSTOMDRAW) return false;
  if (IsClass(hdr->hwndFrom, L"Button"))
    return ButtonCustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lp), result);
  if (IsClass(hdr->hwndFrom, WC_LISTVIEWW) &&
      (GetWindowLongPtrW(hdr->hwndFrom, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT)
    return ListCustomDraw(st.hwnd, wp, lp, result);
  if (st.kind == Kind::ListView && IsClass(hdr->hwndFrom, WC_HEADERW))
    return HeaderCustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lp), result);
  return false;
}

bool ControlMessage(WindowState& st, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  const Theme& t = *CurrentTheme();
  HWND hwnd = st.hwnd;
  switch (st.kind) {
    case Kind::GroupBox:
      switch (msg) {
        case WM_PAINT:
        case WM_PRINTCLIENT:
          if (wp) {
            PaintGroupBox(hwnd, reinterpret_cast<HDC>(wp));
          } else {
            const PaintDc paint(hwnd);
            PaintGroupBox(hwnd, paint.get());
          }
          result = 0;
          return true;
        case WM_SETTEXT:
        case WM_ENABLE:
        case WM_UPDATEUISTATE: {
          // The default paints at once; the label is drawn again on the
          // parent's background instead.
          result = CallHidden(hwnd, msg, wp, lp);
          RECT r;
          GetWindowRect(hwnd, &r);
          HWND parent = GetParent(hwnd);
          MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
          r.bottom = r.top + 40;
          RedrawWindow(parent, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
          return true;
        }
      }
      return false;

    case Kind::Edit:
      switch (msg) {
        case WM_NCPAINT:
          if (!HasBorder(hwnd) && !HasScrollBars(hwnd)) return false;
          PaintNonClient(hwnd, wp, lp);
          PaintBorder(
              hwnd,
              t.Colour(GetFocus() == hwnd ? SkinColour::EditFocusBorder : SkinColour::EditBorder),
              t.Colour(IsWindowEnabled(hwnd) ? SkinColour::EditBack
                                             : SkinColour::EditDisabledBack));
          result = 0;
          return true;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
          result = CallBelow(hwnd, msg, wp, lp);
          RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
          return true;
        case EM_SETCUEBANNER:
          st.cue = lp ? reinterpret_cast<const wchar_t*>(lp) : L"";
          st.cueWhenFocused = wp != 0;
          result = CallBelow(hwnd, msg, wp, lp);
          InvalidateRect(hwnd, nullptr, TRUE);
          return true;
        case WM_PAINT:
          if (!st.cue.empty() && GetWindowTextLengthW(hwnd) == 0 &&
              (GetFocus() != hwnd || st.cueWhenFocused) &&
              !(GetWindowLongPtrW(hwnd, GWL_STYLE) & ES_MULTILINE)) {
            PaintCue(st);
            result = 0;
            return true;
          }
          break;
      }
      break;

    case Kind::Static:
      if (msg == WM_NCPAINT && HasBorder(hwnd)) {
        PaintBorder(hwnd, t.Colour(SkinColour::GroupBorder), t.Colour(SkinColour::Window));
        result = 0;
        return true;
      }
      return false;

    case Kind::ListView:
      if (msg == WM_NCPAINT) {
        PaintNonClient(hwnd, wp, lp);
        PaintBorder(hwnd, t.Colour(SkinColour::GroupBorder), t.Colour(SkinColour::ListBack));
        result = 0;
        return true;
      }
      break;

    default:
      return false;
  }
  // Lists and edits: the system draws a scroll bar straight away when it
  // moves one; ours goes over it.
  return ScrollBarMessage(hwnd, msg, wp, lp, result);
}

}  // namespace qx::skin
