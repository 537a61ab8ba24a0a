#include "base/os_win.h"

#include <shellapi.h>

#include <algorithm>

#include "base/atomic_file_win.h"
#include "base/handles_win.h"
#include "base/private_folder_win.h"
#include "base/timing.h"

namespace qx {

namespace {

// For the timing log: the box being put up, until its own loop takes its
// first message (the window thread answers nothing before).
thread_local TimingLine* g_boxSetUp = nullptr;

LRESULT CALLBACK FirstBoxMessage(int code, WPARAM wp, LPARAM lp) {
  if (code == MSGF_DIALOGBOX && g_boxSetUp) {
    g_boxSetUp->Lap("setup");
    g_boxSetUp->Report();
    g_boxSetUp = nullptr;
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

int MessageBoxGbk(std::string_view text, std::string_view title, UINT flags, HWND owner) {
  TimingLine setUp("message_box");
  // A hook costs the window thread a call to the server per message: only
  // for the timing log.
  const UniqueHook hook(
      TimingWanted() && !g_boxSetUp
          ? SetWindowsHookExW(WH_MSGFILTER, FirstBoxMessage, nullptr, GetCurrentThreadId())
          : nullptr);
  if (hook) g_boxSetUp = &setUp;
  const int answer = MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(),
                                 owner ? flags : flags | MB_TASKMODAL);
  if (hook && g_boxSetUp == &setUp) g_boxSetUp = nullptr;
  return answer;
}

void ShellOpen(std::string_view target) {
  if (target.empty()) return;
  ShellExecuteW(nullptr, L"open", Wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool ReadWholeFile(std::string_view path, Bytes& out, size_t maxBytes) {
  out.clear();
  if (InRefusedDataFolder(path)) return false;
  UniqueHandle f(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  char buf[16384];
  DWORD got = 0;
  while (out.size() < maxBytes && ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got > 0)
    out.append(buf, std::min<size_t>(got, maxBytes - out.size()));
  return true;
}

bool WriteWholeFile(std::string_view path, std::string_view bytes) {
  return !InRefusedDataFolder(path) && WriteFileAtomically(Wide(path), bytes);
}

void DeleteFileGbk(std::string_view path) {
  if (!InRefusedDataFolder(path)) DeleteFileW(Wide(path).c_str());
}

std::wstring EnvironmentValue(const wchar_t* name) {
  std::wstring value(64, L'\0');
  for (;;) {
    const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) return {};
    if (n < value.size()) {
      value.resize(n);
      return value;
    }
    value.resize(n);
  }
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  path.resize(slash + 1);
  return path;
}

int SystemDpi() {
  static const int dpi = [] {
    const WindowDc screen = WindowDc::Client(nullptr);
    const int d = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return d > 0 ? d : USER_DEFAULT_SCREEN_DPI;
  }();
  return dpi;
}

int Scale(int designPixels) { return MulDiv(designPixels, SystemDpi(), USER_DEFAULT_SCREEN_DPI); }

Text SystemErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  return message.empty() ? "错误 " + std::to_string(code) : Narrow(message);
}

}  // namespace qx
