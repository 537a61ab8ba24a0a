// Popup menus: when a popup opens, its plain text items become owner-drawn
// items that the owner window's skin draws in the skin's colours; the popup
// window's border is drawn over in the skin's colours too. The system menu
// of the caption keeps the system look.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "skin/skin_internal_win.h"

namespace qx::skin {
namespace {

struct MenuItem {
  std::wstring text;  // as the item had it, "\t" before an accelerator
  bool separator = false;
  bool submenu = false;
};

struct MenuItems {
  std::map<HMENU, std::vector<std::unique_ptr<MenuItem>>> byMenu;
  std::set<const MenuItem*> live;  // item data that is ours
};
MenuItems& Items() {
  static MenuItems* items = new MenuItems;
  return *items;
}

const MenuItem* Ours(ULONG_PTR data) {
  auto* item = reinterpret_cast<const MenuItem*>(data);
  return Items().live.count(item) ? item : nullptr;
}

void Convert(HMENU menu) {
  const Theme& t = *CurrentTheme();
  MENUINFO info{};
  info.cbSize = sizeof info;
  info.fMask = MIM_BACKGROUND;
  info.hbrBack = t.Brush(SkinColour::MenuBack);
  SetMenuInfo(menu, &info);
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_SUBMENU | MIIM_STRING;
    if (!GetMenuItemInfoW(menu, i, TRUE, &mii)) continue;
    // Items drawn already (ours, or the window's own) and items carrying
    // the window's data stay as they are.
    if ((mii.fType & (MFT_OWNERDRAW | MFT_BITMAP)) || mii.dwItemData) continue;
    auto item = std::make_unique<MenuItem>();
    item->separator = mii.fType & MFT_SEPARATOR;
    item->submenu = mii.hSubMenu != nullptr;
    if (!item->separator && mii.cch) {
      std::wstring text(mii.cch + 1, L'\0');
      mii.fMask = MIIM_STRING;
      mii.dwTypeData = text.data();
      mii.cch = static_cast<UINT>(text.size());
      if (GetMenuItemInfoW(menu, i, TRUE, &mii)) text.resize(mii.cch);
      item->text = std::move(text);
    }
    MENUITEMINFOW set{};
    set.cbSize = sizeof set;
    set.fMask = MIIM_FTYPE | MIIM_DATA;
    set.fType = mii.fType | MFT_OWNERDRAW;
    set.dwItemData = reinterpret_cast<ULONG_PTR>(item.get());
    if (!SetMenuItemInfoW(menu, i, TRUE, &set)) continue;
    Items().live.insert(item.get());
    Items().byMenu[menu].push_back(std::move(item));
  }
}

void Measure(MEASUREITEMSTRUCT& mis, const MenuItem& item) {
  const Theme& t = *CurrentTheme();
  if (item.separator) {
    mis.itemWidth = 20;
    mis.itemHeight = 7;
    return;
  }
  const size_t tab = item.text.find(L'\t');
  const std::wstring label = item.text.substr(0, tab);
  SIZE size{}, accel{};
  {
    const UniqueDc dc(CreateCompatibleDC(nullptr));  // measuring needs no screen
    const SelectedObject font(dc.get(), t.MenuFont(true));
    GetTextExtentPoint32W(dc.get(), label.c_str(), static_cast<int>(label.size()), &size);
    if (tab != std::wstring::npos)
      GetTextExtentPoint32W(dc.get(), item.text.c_str() + tab + 1,
                            static_cast<int>(item.text.size() - tab - 1), &accel);
  }
  mis.itemWidth = static_cast<UINT>(28 + size.cx + (accel.cx ? 24 + accel.cx : 0) + 16);
  mis.itemHeight = static_cast<UINT>(t.Metric(SkinMetric::MenuItemHeight));
}

void DrawItem(const DRAWITEMSTRUCT& dis, const MenuItem& item) {
  const Theme& t = *CurrentTheme();
  HDC dc = dis.hDC;
  RECT r = dis.rcItem;
  FillSolid(dc, r, t.Colour(SkinColour::MenuBack));
  if (item.separator) {
    const int y = (r.top + r.bottom) / 2;
    FillSolid(dc, {r.left + 8, y, r.right - 8, y + 1}, t.Colour(SkinColour::MenuSeparator));
    return;
  }
  const bool grayed = dis.itemState & (ODS_GRAYED | ODS_DISABLED);
  const bool selected = (dis.itemState & ODS_SELECTED) && !grayed;
  if (selected) {
    RECT hot = r;
    InflateRect(&hot, -2, 0);
    const COLORREF c = t.Colour(SkinColour::MenuHotBack);
    RoundedBox(dc, hot, 3, c, c, c);
  }
  const COLORREF text = t.Colour(grayed     ? SkinColour::MenuDisabledText
                                 : selected ? SkinColour::MenuHotText
                                            : SkinColour::MenuText);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text);
  {
    const SelectedObject font(dc, t.MenuFont(dis.itemState & ODS_DEFAULT));
    const UINT flags =
        DT_SINGLELINE | DT_VCENTER | ((dis.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
    const size_t tab = item.text.find(L'\t');
    RECT label{r.left + 28, r.top, r.right - 16, r.bottom};
    DrawTextW(dc, item.text.c_str(), static_cast<int>(std::min(tab, item.text.size())), &label,
              flags | DT_LEFT);
    if (tab != std::wstring::npos)
      DrawTextW(dc, item.text.c_str() + tab + 1, -1, &label, flags | DT_RIGHT);
  }
  if (dis.itemState & ODS_CHECKED) {  // a tick in the left margin
    const int x = r.left + 10, y = (r.top + r.bottom) / 2;
    for (int i = 0; i < 3; ++i) FillSolid(dc, {x + i, y + i - 1, x + i + 1, y + i + 2}, text);
    for (int i = 0; i < 5; ++i) FillSolid(dc, {x + 3 + i, y + 1 - i, x + 4 + i, y + 4 - i}, text);
  }
  if (item.submenu) {
    const int x = r.right - 12, y = (r.top + r.bottom) / 2;
    for (int i = 0; i < 4; ++i) FillSolid(dc, {x + i, y - 3 + i, x + i + 1, y + 4 - i}, text);
    // The system draws its own arrow after this: keep it off our item.
    ExcludeClipRect(dc, r.right - 20, r.top, r.right, r.bottom);
  }
}

// The popup's edge, drawn over in the skin's colours.
void PaintMenuEdge(HWND menuWindow) {
  const Theme& t = *CurrentTheme();
  const WindowDc dc = WindowDc::Whole(menuWindow);
  if (!dc) return;
  RECT r = WindowBox(menuWindow);
  const RECT client = ClientInWindow(menuWindow);
  const int edge = std::max<int>(2, client.left - r.left + 2);
  UniqueBrush border(CreateSolidBrush(t.Colour(SkinColour::MenuBorder)));
  UniqueBrush back(CreateSolidBrush(t.Colour(SkinColour::MenuBack)));
  FrameRect(dc.get(), &r, border.get());
  for (int i = 1; i < edge; ++i) {
    InflateRect(&r, -1, -1);
    FrameRect(dc.get(), &r, back.get());
  }
}

}  // namespace

namespace {
void ForgetDeadMenus() {
  MenuItems& items = Items();
  for (auto it = items.byMenu.begin(); it != items.byMenu.end();) {
    if (IsMenu(it->first)) {
      ++it;
      continue;
    }
    for (const auto& item : it->second) items.live.erase(item.get());
    it = items.byMenu.erase(it);
  }
}
}  // namespace

bool MenuOwnerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (wp != 0 || !mis || mis->CtlType != ODT_MENU) return false;
      const MenuItem* item = Ours(mis->itemData);
      if (!item) return false;
      Measure(*mis, *item);
      result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (wp != 0 || !dis || dis->CtlType != ODT_MENU) return false;
      const MenuItem* item = Ours(dis->itemData);
      if (!item) return false;
      DrawItem(*dis, *item);
      result = TRUE;
      return true;
    }
  }
  return false;
}

void MenuOwnerAfter(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_INITMENUPOPUP || HIWORD(lp)) return;  // HIWORD: the system menu
  ForgetDeadMenus();
  Convert(reinterpret_cast<HMENU>(wp));
}

bool MenuWindowMessage(WindowState& st, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg != WM_PAINT && msg != WM_NCPAINT && msg != WM_PRINTCLIENT) return false;
  result = CallBelow(st.hwnd, msg, wp, lp);
  if (msg != WM_PRINTCLIENT) PaintMenuEdge(st.hwnd);
  return true;
}

}  // namespace qx::skin
