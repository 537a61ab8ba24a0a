// The skin engine's core: the attached theme, the CBT hook that subclasses
// every new window of the window thread, and the dispatch of each skinned
// window's messages to the frame, control, menu and shadow parts.
#include "skin/skin_engine_win.h"

#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "skin/skin_internal_win.h"

namespace qx {
namespace skin {
namespace {

constexpr wchar_t kShadowClass[] = L"QarvexSkinShadow";

struct Engine {
  const Theme* theme = nullptr;
  // Every skin attached in this run, kept: switching back to one costs no
  // new brushes and fonts, and nothing a window still holds goes away.
  std::map<std::tuple<uint32_t, int, int, int>, std::unique_ptr<Theme>> themes;
  HHOOK hook = nullptr;
  DWORD thread = 0;
  std::unordered_map<HWND, WindowState*> windows;
};

// Lives until the process ends (windows may still be torn down after main).
Engine& TheEngine() {
  static Engine* engine = new Engine;
  return *engine;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[80] = {};
  GetClassNameW(hwnd, name, 80);
  return name;
}

// Which part skins a window, from its class and style; nothing for windows
// the engine leaves alone (message-only windows, tooltips, the browser...).
std::optional<Kind> Classify(HWND hwnd, DWORD style, DWORD exStyle, HWND parent, bool hasMenuBar) {
  if (parent == HWND_MESSAGE) return std::nullopt;
  const std::wstring cls = ClassOf(hwnd);
  if (cls == kShadowClass) return std::nullopt;
  if (!(style & WS_CHILD)) {
    if (cls == L"#32768") return Kind::Menu;
    const bool caption = (style & WS_CAPTION) == WS_CAPTION || !(style & WS_POPUP);
    if (caption && !hasMenuBar && !(style & (WS_VSCROLL | WS_HSCROLL))) return Kind::Frame;
    return std::nullopt;
  }
  if (_wcsicmp(cls.c_str(), L"Button") == 0)
    return (style & BS_TYPEMASK) == BS_GROUPBOX ? std::optional(Kind::GroupBox) : std::nullopt;
  if (_wcsicmp(cls.c_str(), L"Edit") == 0) return Kind::Edit;
  // A label takes its colours from its parent; only its border is ours.
  if (_wcsicmp(cls.c_str(), L"Static") == 0)
    return (style & WS_BORDER) || (exStyle & (WS_EX_STATICEDGE | WS_EX_CLIENTEDGE))
               ? std::optional(Kind::Static)
               : std::nullopt;
  if (cls == WC_LISTVIEWW) return Kind::ListView;
  if (cls == L"#32770") return Kind::Container;
  return std::nullopt;
}

LRESULT CALLBACK SkinWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

WindowState* Skin(HWND hwnd, Kind kind) {
  Engine& e = TheEngine();
  if (auto it = e.windows.find(hwnd); it != e.windows.end()) return it->second;
  auto st = std::make_unique<WindowState>();
  st->hwnd = hwnd;
  st->kind = kind;
  st->dialog = ClassOf(hwnd) == L"#32770";
  st->active = GetActiveWindow() == hwnd;
  // The skin's procedure goes in front of the window's own. (Not through the
  // common controls' subclassing: under Wine that looks the window's property
  // up in the server on every message, and a list asking for 300 cell texts
  // then takes tens of milliseconds.)
  e.windows[hwnd] = st.get();
  st->below = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SkinWindowProc)));
  if (!st->below) {
    e.windows.erase(hwnd);
    return nullptr;
  }
  return st.release();
}

void Apply(WindowState& st, bool keepClientSize) {
  if (st.kind == Kind::Frame)
    ApplyFrame(st, keepClientSize);
  else if (st.kind != Kind::Menu)
    ApplyControl(st);
}

// A window being created: a frame notes the client size the program asked
// for, which it keeps under the skin's frame once it exists (WM_CREATE).
void OnCreating(HWND hwnd, const CREATESTRUCTW& cs) {
  const bool topLevel = !(cs.style & WS_CHILD);
  const std::optional<Kind> kind =
      Classify(hwnd, cs.style, cs.dwExStyle, cs.hwndParent, topLevel && cs.hMenu);
  if (!kind) return;
  WindowState* st = Skin(hwnd, *kind);
  if (!st || *kind != Kind::Frame || cs.cx <= 0 || cs.cy <= 0 || cs.cx == CW_USEDEFAULT ||
      cs.cy == CW_USEDEFAULT)
    return;
  DWORD style = cs.style;
  if (!(style & WS_POPUP)) style |= WS_CAPTION;
  RECT system{0, 0, 0, 0};
  AdjustWindowRectEx(&system, style, FALSE, cs.dwExStyle);
  const SIZE client{cs.cx - (system.right - system.left), cs.cy - (system.bottom - system.top)};
  if (client.cx >= 0 && client.cy >= 0) st->askedClient = client;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_CREATEWND && CurrentTheme()) {
    auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lp);
    if (create && create->lpcs) OnCreating(reinterpret_cast<HWND>(wp), *create->lpcs);
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

// Subclasses the thread's windows that are not skinned yet (those that
// existed before the first skin); returns them.
std::vector<HWND> SkinThreadWindows(DWORD thread) {
  std::vector<HWND> found, skinned;
  EnumThreadWindows(
      thread,
      [](HWND h, LPARAM lp) -> BOOL {
        auto* list = reinterpret_cast<std::vector<HWND>*>(lp);
        list->push_back(h);
        EnumChildWindows(
            h,
            [](HWND c, LPARAM lp2) -> BOOL {
              reinterpret_cast<std::vector<HWND>*>(lp2)->push_back(c);
              return TRUE;
            },
            lp);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  for (HWND h : found) {
    if (TheEngine().windows.count(h)) continue;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE));
    const auto ex = static_cast<DWORD>(GetWindowLongPtrW(h, GWL_EXSTYLE));
    const bool topLevel = !(style & WS_CHILD);
    if (auto kind = Classify(h, style, ex, GetAncestor(h, GA_PARENT), topLevel && GetMenu(h)))
      if (Skin(h, *kind)) skinned.push_back(h);
  }
  return skinned;
}

LRESULT CALLBACK SkinWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Engine& e = TheEngine();
  const auto it = e.windows.find(hwnd);
  if (it == e.windows.end()) return DefWindowProcW(hwnd, msg, wp, lp);  // not ours (cannot be)
  WindowState* st = it->second;
  if (msg == WM_NCDESTROY) {
    const WNDPROC below = st->below;
    if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(SkinWindowProc))
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(below));
    RemovePropW(hwnd, SkinEngine::kSkinProperty);
    const LRESULT r = CallWindowProcW(below, hwnd, msg, wp, lp);
    e.windows.erase(hwnd);
    delete st;
    return r;
  }
  if (!CurrentTheme()) return CallBelow(hwnd, msg, wp, lp);
  if (msg == WM_CREATE) {
    if (st->askedClient.cx >= 0) {  // before the window's own WM_CREATE sees its size
      const SIZE outer = FrameSizeFor(std::exchange(st->askedClient, SIZE{-1, -1}));
      SetWindowPos(hwnd, nullptr, 0, 0, outer.cx, outer.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    const LRESULT r = CallBelow(hwnd, msg, wp, lp);
    if (r != -1) Apply(*st, false);
    return r;
  }
  LRESULT r = 0;
  if (msg == WM_INITMENUPOPUP) {
    r = CallBelow(hwnd, msg, wp, lp);
    MenuOwnerAfter(msg, wp, lp);
    return r;
  }
  if (MenuOwnerMessage(msg, wp, lp, r)) return r;
  if (ParentMessage(*st, msg, wp, lp, r)) return r;
  switch (st->kind) {
    case Kind::Frame:
      if (FrameMessage(*st, msg, wp, lp, r)) return r;
      break;
    case Kind::Menu:
      if (MenuWindowMessage(*st, msg, wp, lp, r)) return r;
      break;
    default:
      if (ControlMessage(*st, msg, wp, lp, r)) return r;
      break;
  }
  return CallBelow(hwnd, msg, wp, lp);
}

// Every skinned window, in a list that stays valid while windows come and go.
std::vector<HWND> SkinnedWindows() {
  std::vector<HWND> list;
  for (const auto& entry : TheEngine().windows) list.push_back(entry.first);
  return list;
}

WindowState* StateOf(HWND hwnd) {
  auto& windows = TheEngine().windows;
  auto it = windows.find(hwnd);
  return it == windows.end() ? nullptr : it->second;
}

HFONT MakeFont(const std::wstring& face, int pixels, int weight) {
  return CreateFontW(-pixels, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

std::wstring FromUtf8(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(std::max(n, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

}  // namespace

LRESULT CallBelow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const WindowState* st = StateOf(hwnd);
  return st && st->below ? CallWindowProcW(st->below, hwnd, msg, wp, lp)
                         : DefWindowProcW(hwnd, msg, wp, lp);
}

Theme::Theme(const SkinFile& file) : file_(file) {
  for (int i = 0; i < kSkinColourCount; ++i)
    brushes_[static_cast<size_t>(i)].reset(CreateSolidBrush(Colour(static_cast<SkinColour>(i))));
  std::wstring face = FromUtf8(file.fontFace);
  if (face.size() >= LF_FACESIZE) face.resize(LF_FACESIZE - 1);
  caption_.reset(
      MakeFont(face, Metric(SkinMetric::CaptionFontSize), Metric(SkinMetric::CaptionFontWeight)));
  menu_.reset(MakeFont(face, Scale(12), FW_NORMAL));
  menuBold_.reset(MakeFont(face, Scale(12), FW_BOLD));
}

const Theme* CurrentTheme() { return TheEngine().theme; }

LRESULT CallHidden(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  if (!(style & WS_VISIBLE)) return CallBelow(hwnd, msg, wp, lp);
  SetWindowLongPtrW(hwnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_VISIBLE));
  const LRESULT r = CallBelow(hwnd, msg, wp, lp);
  if (IsWindow(hwnd))
    SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_VISIBLE);
  return r;
}

void FillSolid(HDC dc, const RECT& r, COLORREF c) {
  const COLORREF old = SetBkColor(dc, c);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

void FillVertical(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
  const int h = r.bottom - r.top;
  if (h <= 0) return;
  auto colourAt = [&](int y) {
    const int k = h > 1 ? y * 256 / (h - 1) : 0;
    auto mix = [k](int a, int b) { return a + (b - a) * k / 256; };
    return RGB(mix(GetRValue(top), GetRValue(bottom)), mix(GetGValue(top), GetGValue(bottom)),
               mix(GetBValue(top), GetBValue(bottom)));
  };
  // One fill per run of lines of the same colour.
  for (int y = 0; y < h;) {
    const COLORREF c = colourAt(y);
    int end = y + 1;
    while (end < h && colourAt(end) == c) ++end;
    FillSolid(dc, {r.left, r.top + y, r.right, r.top + end}, c);
    y = end;
  }
}

void RoundedBox(HDC dc, const RECT& r, int radius, COLORREF top, COLORREF bottom, COLORREF border) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  UniqueRegion shape(radius > 0 ? CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1,
                                                     2 * radius, 2 * radius)
                                : CreateRectRgn(r.left, r.top, r.right, r.bottom));
  if (top == bottom) {
    UniqueBrush fill(CreateSolidBrush(top));
    FillRgn(dc, shape.get(), fill.get());
  } else {
    const int saved = SaveDC(dc);
    ExtSelectClipRgn(dc, shape.get(), RGN_AND);
    FillVertical(dc, r, top, bottom);
    RestoreDC(dc, saved);
  }
  Outline(dc, r, radius, border);
}

void Outline(HDC dc, const RECT& r, int radius, COLORREF c) {
  UniqueBrush pen(CreateSolidBrush(c));
  UniqueRegion shape(radius > 0 ? CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1,
                                                     2 * radius, 2 * radius)
                                : CreateRectRgn(r.left, r.top, r.right, r.bottom));
  FrameRgn(dc, shape.get(), pen.get(), 1, 1);
}

std::wstring WindowTextW(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(std::max(GetWindowTextW(hwnd, text.data(), n + 1), 0)));
  return text;
}

RECT WindowBox(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  return {0, 0, r.right - r.left, r.bottom - r.top};
}

RECT ClientInWindow(HWND hwnd) {
  RECT w, c;
  GetWindowRect(hwnd, &w);
  GetClientRect(hwnd, &c);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&c), 2);
  OffsetRect(&c, -w.left, -w.top);
  return c;
}

}  // namespace skin

using namespace skin;

bool SkinEngine::AttachRes(const void* bytes, size_t length, std::string_view /*password*/, int hue,
                           int saturation, int brightness) {
  if (!bytes && length) return false;
  SkinFile file;
  if (ParseSkinFile(std::string_view(static_cast<const char*>(bytes), length), file) !=
      SkinError::None)
    return false;
  AdjustSkinColours(file, hue, saturation, brightness);

  Engine& e = TheEngine();
  const DWORD thread = GetCurrentThreadId();
  if (e.hook && e.thread != thread) return false;  // the engine serves one window thread
  if (!e.hook) {
    e.hook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, thread);
    if (!e.hook) return false;
    e.thread = thread;
  }
  std::unique_ptr<Theme>& theme = e.themes[{file.checksum, hue, saturation, brightness}];
  if (!theme) theme = std::make_unique<Theme>(file);
  // The same skin again changes nothing on the windows that have it.
  const bool again = e.theme == theme.get();
  e.theme = theme.get();
  // The thread's windows not skinned yet are skinned now; then every skinned
  // window takes the new skin.
  std::vector<HWND> windows = SkinThreadWindows(thread);
  if (!again) windows = SkinnedWindows();
  for (HWND h : windows)
    if (WindowState* st = StateOf(h)) Apply(*st, true);
  for (HWND h : windows)
    if (GetAncestor(h, GA_PARENT) == GetDesktopWindow())
      RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return true;
}

void SkinEngine::AdjustAero(int opacity, int darkness, int sharpness, int size, int offsetX,
                            int offsetY, int red, int green, int blue) {
  AeroSettings& a = Aero();
  a.opacity = std::clamp(opacity, 0, 255);
  a.darkness = std::clamp(darkness, 0, 255);
  a.sharpness = std::clamp(sharpness, 0, 100);
  a.size = std::clamp(size, 0, 64);
  a.offsetX = std::clamp(offsetX, -64, 64);
  a.offsetY = std::clamp(offsetY, -64, 64);
  a.colour = RGB(std::clamp(red, 0, 255), std::clamp(green, 0, 255), std::clamp(blue, 0, 255));
  SetAero(a.on ? 1 : 0);
}

void SkinEngine::SetAero(int enable) {
  Aero().on = enable != 0;
  for (HWND h : SkinnedWindows()) {
    WindowState* st = StateOf(h);
    if (!st || st->kind != Kind::Frame) continue;
    ApplyOpacity(*st);
    SyncShadow(*st, true);
  }
}

}  // namespace qx
