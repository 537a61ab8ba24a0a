#include "app/window_util_win.h"

namespace qx {

Text GetWindowTextGbk(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(hwnd, buf.data(), n + 1);
  buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return Narrow(buf);
}

Text WindowTextUtf8(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  buf.resize(static_cast<size_t>(std::max(GetWindowTextW(hwnd, buf.data(), n + 1), 0)));
  return WideToMultiByte(kUtf8, std::string_view(reinterpret_cast<const char*>(buf.data()),
                                                 buf.size() * sizeof(wchar_t)));
}

void SetWindowTextGbk(HWND hwnd, std::string_view text) {
  SetWindowTextW(hwnd, Wide(text).c_str());
}

void ShowActionFailed() { MessageBoxGbk("操作失败,请重试", "信息："); }

HFONT UiFont() {
  static HFONT font = CreateFontW(
      -Scale(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
      CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Microsoft YaHei");
  return font;
}

HICON ProgramIcon(int size) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                       size, size, LR_SHARED));
}

HWND CreateChild(HWND parent, const wchar_t* cls, std::string_view text, DWORD style, int x, int y,
                 int w, int h, int id, DWORD exStyle) {
  HWND c = CreateWindowExW(exStyle, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                           Scale(x), Scale(y), Scale(w), Scale(h), parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
  return c;
}

void RegisterWindowClass(const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON));
  wc.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

HWND CreateTopWindow(const wchar_t* cls, std::string_view caption, DWORD style, int x, int y,
                     int clientW, int clientH, void* state) {
  RECT r{0, 0, Scale(clientW), Scale(clientH)};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  return CreateWindowExW(0, cls, Wide(caption).c_str(), style, Scale(x), Scale(y), r.right - r.left,
                         r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), state);
}

}  // namespace qx
