// The glass effect: a soft shadow around each top-level window, drawn by a
// layered window of its own that the window owns and that follows it. The
// shadow is clear where its owner lies and lets the mouse through, so it
// may sit just above its owner, as owned windows do.
//
// Where the system composes layered windows (Windows) the shadow is a
// per-pixel alpha image. Wine's X11 driver without a compositing manager
// shows partly transparent pixels as opaque (and fully transparent ones not
// at all), so there the shadow is blended onto a copy of what lies behind it
// and shown as opaque pixels, taken a moment after the owner settles.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "skin/skin_internal_win.h"

namespace qx::skin {
namespace {

constexpr wchar_t kShadowClass[] = L"QarvexSkinShadow";
constexpr UINT_PTR kRenderTimer = 1;
constexpr UINT kSettleMs = 150;
constexpr int kDefaultDarkness = 150;  // peak alpha when the program leaves it to us

bool SystemComposesLayers() {
  static const bool composes = !GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
  return composes;
}

// Distance from p to the rounded rectangle r (negative inside).
double DistanceOutside(double x, double y, const RECT& r, double radius) {
  const double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
  const double hx = (r.right - r.left) / 2.0 - radius, hy = (r.bottom - r.top) / 2.0 - radius;
  const double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
  const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius;
}

}  // namespace

class Shadow {
 public:
  explicit Shadow(HWND owner) : owner_(owner) {
    static const ATOM cls = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = kShadowClass;
      return RegisterClassExW(&wc);
    }();
    if (!cls) return;
    window_ = CreateWindowExW(
        WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kShadowClass, L"",
        WS_POPUP, 0, 0, 1, 1, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Shadow() {
    if (!window_ || !IsWindow(window_)) return;  // gone with its owner
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  Shadow(const Shadow&) = delete;
  Shadow& operator=(const Shadow&) = delete;

  void SetMoving(bool moving) {
    moving_ = moving;
    if (moving && !SystemComposesLayers()) Hide();
  }

  void Sync(bool redraw) {
    if (!window_) return;
    if (!Wanted() || (moving_ && !SystemComposesLayers())) {
      Hide();
      return;
    }
    RECT r;
    GetWindowRect(owner_, &r);
    if (!redraw && rendered_ && EqualRect(&r, &placed_) && Radius() == placedRadius_) {
      KeepAboveOwner(IsWindowVisible(window_) ? 0 : SWP_SHOWWINDOW);
      return;
    }
    if (SystemComposesLayers()) {
      Render();
    } else {
      // What lies behind is copied once the screen there has settled.
      Hide();
      SetTimer(window_, kRenderTimer, kSettleMs, nullptr);
    }
  }

 private:
  bool Wanted() const {
    return Aero().on && CurrentTheme() && IsWindowVisible(owner_) && !IsIconic(owner_);
  }

  int Radius() const {
    return IsZoomed(owner_) ? 0 : std::max(0, CurrentTheme()->Metric(SkinMetric::FrameRadius));
  }

  // Right above its owner: a window that covers the owner covers its shadow
  // too (a new window starts at the top, and nothing moves it down).
  void KeepAboveOwner(UINT show) {
    HWND above = GetWindow(owner_, GW_HWNDPREV);
    while (above && above != window_ && !IsWindowVisible(above))
      above = GetWindow(above, GW_HWNDPREV);
    if (above == window_ && !show) return;
    UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | show;
    if (above == window_) flags |= SWP_NOZORDER;
    SetWindowPos(window_, above ? above : HWND_TOP, 0, 0, 0, 0, flags);
  }

  void Hide() {
    rendered_ = false;
    KillTimer(window_, kRenderTimer);
    if (IsWindowVisible(window_)) ShowWindow(window_, SW_HIDE);
  }

  // The shadow of the owner at `owner` drawn over `area` and put on the
  // screen; false when its bitmap cannot be made.
  bool Paint(const RECT& owner, const RECT& area, int radius) {
    const AeroSettings& a = Aero();
    const int size = a.size;
    const int w = area.right - area.left, h = area.bottom - area.top;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const WindowDc screen = WindowDc::Client(nullptr);
    const UniqueDc mem(CreateCompatibleDC(screen.get()));
    const UniqueBitmap dib(CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return false;
    const SelectedObject selectedDib(mem.get(), dib.get());
    const bool composes = SystemComposesLayers();
    if (!composes) {
      BitBlt(mem.get(), 0, 0, w, h, screen.get(), area.left, area.top, SRCCOPY);
      GdiFlush();
    }

    const int peak = a.darkness ? a.darkness : kDefaultDarkness;
    const double power = a.sharpness ? 1 + a.sharpness / 25.0 : 1.6;
    RECT own = owner, base = owner;
    OffsetRect(&own, -area.left, -area.top);
    OffsetRect(&base, a.offsetX - area.left, a.offsetY - area.top);
    RECT inner = own;  // surely under the owner: nothing to compute
    InflateRect(&inner, -static_cast<int>(radius) - 1, -static_cast<int>(radius) - 1);
    auto* px = static_cast<uint32_t*>(bits);
    const int cr = GetRValue(a.colour), cg = GetGValue(a.colour), cb = GetBValue(a.colour);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint32_t& p = px[static_cast<size_t>(y) * w + x];
        const POINT pt{x, y};
        if (PtInRect(&inner, pt) || DistanceOutside(x + 0.5, y + 0.5, own, radius) < 0 ||
            size <= 0) {
          p = 0;
          continue;
        }
        const double d = DistanceOutside(x + 0.5, y + 0.5, base, radius);
        const double k = d <= 0 ? 1.0 : d >= size ? 0.0 : std::pow(1.0 - d / size, power);
        const int alpha = static_cast<int>(peak * k + 0.5);
        if (alpha <= 0) {
          p = 0;
          continue;
        }
        if (composes) {  // premultiplied
          p = static_cast<uint32_t>(alpha) << 24 | static_cast<uint32_t>(cr * alpha / 255) << 16 |
              static_cast<uint32_t>(cg * alpha / 255) << 8 |
              static_cast<uint32_t>(cb * alpha / 255);
        } else {
          auto blend = [alpha](int under, int over) {
            return static_cast<uint32_t>((under * (255 - alpha) + over * alpha) / 255);
          };
          p = 0xFF000000u | blend(p >> 16 & 0xFF, cr) << 16 | blend(p >> 8 & 0xFF, cg) << 8 |
              blend(p & 0xFF, cb);
        }
      }
    }

    POINT position{area.left, area.top}, origin{0, 0};
    SIZE extent{w, h};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window_, screen.get(), &position, &extent, mem.get(), &origin, 0, &blend,
                        ULW_ALPHA);
    return true;
  }

  void Render() {
    if (!Wanted()) return;
    const AeroSettings& a = Aero();
    RECT owner;
    GetWindowRect(owner_, &owner);
    const int size = a.size, reach = size + std::max(std::abs(a.offsetX), std::abs(a.offsetY));
    RECT area = owner;
    InflateRect(&area, reach, reach);
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return;

    const int radius = Radius();
    if (!Paint(owner, area, radius)) return;
    KeepAboveOwner(SWP_SHOWWINDOW);
    placed_ = owner;
    placedRadius_ = radius;
    rendered_ = true;
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_TIMER:
        if (wp == kRenderTimer) {
          KillTimer(hwnd, kRenderTimer);
          if (auto* self = reinterpret_cast<Shadow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
            self->Render();
          return 0;
        }
        break;
      case WM_NCHITTEST:
        return HTTRANSPARENT;
      case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  HWND owner_;
  HWND window_ = nullptr;
  RECT placed_{};
  int placedRadius_ = -1;
  bool rendered_ = false, moving_ = false;
};

WindowState::WindowState() = default;
WindowState::~WindowState() = default;

AeroSettings& Aero() {
  static AeroSettings settings;
  return settings;
}

void SyncShadow(WindowState& st, bool redraw) {
  if (!Aero().on) {
    st.shadow.reset();
    return;
  }
  if (!st.shadow) {
    if (!IsWindowVisible(st.hwnd)) return;
    st.shadow = std::make_unique<Shadow>(st.hwnd);
  }
  st.shadow->Sync(redraw);
}

void DropShadow(WindowState& st) { st.shadow.reset(); }

void ShadowMoving(WindowState& st, bool moving) {
  if (st.shadow) st.shadow->SetMoving(moving);
}

void ApplyOpacity(WindowState& st) {
  const int opacity = Aero().on ? Aero().opacity : 255;
  const LONG_PTR ex = GetWindowLongPtrW(st.hwnd, GWL_EXSTYLE);
  if (opacity < 255) {
    if (!(ex & WS_EX_LAYERED)) {
      SetWindowLongPtrW(st.hwnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
      st.madeLayered = true;
    }
    SetLayeredWindowAttributes(st.hwnd, 0, static_cast<BYTE>(opacity), LWA_ALPHA);
  } else if (st.madeLayered) {
    SetWindowLongPtrW(st.hwnd, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    st.madeLayered = false;
  }
}

}  // namespace qx::skin
