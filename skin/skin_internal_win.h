// Inside the skin engine: the attached theme with its GDI objects, the state
// kept per skinned window, and the parts (frames, controls, scroll bars,
// menus, shadow) that skin_engine_win.cpp dispatches to.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "base/handles_win.h"
#include "base/os_win.h"
#include "skin/skin_file.h"

namespace qx::skin {

// A parsed skin with the brushes and fonts drawn with it.
class Theme {
 public:
  explicit Theme(const SkinFile& file);
  COLORREF Colour(SkinColour c) const {
    const Rgb v = file_.colour(c);
    return RGB(v.r, v.g, v.b);
  }
  HBRUSH Brush(SkinColour c) const { return brushes_[static_cast<size_t>(c)].get(); }
  // Sizes are the skin's at 96 DPI, scaled as the layout is.
  int Metric(SkinMetric m) const {
    const int v = file_.metric(m);
    return m == SkinMetric::CaptionFontWeight ? v : Scale(v);
  }
  HFONT CaptionFont() const { return caption_.get(); }
  HFONT MenuFont(bool bold = false) const { return bold ? menuBold_.get() : menu_.get(); }
  uint32_t Checksum() const { return file_.checksum; }

 private:
  SkinFile file_;
  std::array<UniqueBrush, kSkinColourCount> brushes_;
  UniqueFont caption_, menu_, menuBold_;
};

enum class Kind { Frame, Menu, GroupBox, Edit, Static, ListView, Container };

class Shadow;

struct WindowState {
  HWND hwnd = nullptr;
  WNDPROC below = nullptr;  // the window procedure the skin's replaced
  Kind kind = Kind::Container;
  bool dialog = false;  // of the dialog class (message boxes)
  // Frames: caption button under the mouse and pressed (HT codes), tracking
  // a press, the active look.
  int hotButton = 0, pressedButton = 0;
  bool tracking = false, pressedShown = false, active = false, leaveTracked = false;
  int regionRadius = -1;  // the rounded region made (radius, window size)
  SIZE regionSize{-1, -1};
  POINT frameMetrics{-1, -1};  // border and caption band the frame was laid out for
  SIZE askedClient{-1, -1};    // the client size asked for at creation, until WM_CREATE
  std::unique_ptr<Shadow> shadow;
  bool madeLayered = false;  // made layered for the glass effect's opacity
  // Edits: the cue banner and whether it shows while the box has the focus.
  std::wstring cue;
  bool cueWhenFocused = false;

  WindowState();
  ~WindowState();
};

// The theme attached now, or null.
const Theme* CurrentTheme();

// Calls the window procedure below the skin's.
LRESULT CallBelow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Calls the window procedure below the skin's with WS_VISIBLE cleared, so
// that default code painting straight onto the window paints nothing.
LRESULT CallHidden(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Drawing helpers.
void FillSolid(HDC dc, const RECT& r, COLORREF c);
void FillVertical(HDC dc, const RECT& r, COLORREF top, COLORREF bottom);
// A rounded rectangle filled with a vertical gradient and outlined.
void RoundedBox(HDC dc, const RECT& r, int radius, COLORREF top, COLORREF bottom, COLORREF border);
void Outline(HDC dc, const RECT& r, int radius, COLORREF c);
std::wstring WindowTextW(HWND hwnd);
// A window rectangle with (0, 0) at the window's top left corner.
RECT WindowBox(HWND hwnd);
// The client area in the same coordinates.
RECT ClientInWindow(HWND hwnd);

// Frames (skin_frame_win.cpp).
bool FrameMessage(WindowState& st, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
// The outer size that keeps the client size under the skin's frame.
SIZE FrameSizeFor(SIZE client);
void ApplyFrame(WindowState& st, bool keepClientSize);
void PaintFrame(WindowState& st);

// Controls (skin_controls_win.cpp).
bool ParentMessage(WindowState& st, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
bool ControlMessage(WindowState& st, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
void ApplyControl(WindowState& st);

// The window scroll bars of lists and edits (skin_scrollbar_win.cpp).
bool HasScrollBars(HWND hwnd);
// False when a scroll bar could not be read (nothing of it drawn).
bool PaintScrollBars(HWND hwnd);
// WM_NCPAINT's scroll bars: all ours; the system draws them only when they
// cannot be read.
void PaintNonClient(HWND hwnd, WPARAM wp, LPARAM lp);
// A message after which the system has drawn a scroll bar, or that may have
// moved one: passed below, then ours drawn over it (true). False for the others.
bool ScrollBarMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

// Popup menus (skin_menu_win.cpp).
bool MenuOwnerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
// After the window's own WM_INITMENUPOPUP: the popup's items become ours.
void MenuOwnerAfter(UINT msg, WPARAM wp, LPARAM lp);
bool MenuWindowMessage(WindowState& st, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

// The glass effect (skin_shadow_win.cpp).
struct AeroSettings {
  int opacity = 255, darkness = 0, sharpness = 0, size = 6, offsetX = 0, offsetY = 0;
  COLORREF colour = RGB(0, 0, 0);
  bool on = false;
};
AeroSettings& Aero();
// Creates, moves, hides or drops the window's shadow as the window and the
// glass setting now stand; `redraw` renders it again (new shape or skin).
void SyncShadow(WindowState& st, bool redraw);
void DropShadow(WindowState& st);
// While the window is dragged (Wine: the shadow waits until it is let go).
void ShadowMoving(WindowState& st, bool moving);
// The window's opacity of the glass effect.
void ApplyOpacity(WindowState& st);

}  // namespace qx::skin
