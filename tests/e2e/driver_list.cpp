#include "tests/e2e/driver_list.h"

#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "app/commands.h"
#include "tests/e2e/driver.h"

namespace e2e {
namespace {

// A block of memory in another process, freed on scope exit.
class RemoteMemory {
 public:
  RemoteMemory(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteMemory() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  bool ok() const { return address_ != nullptr; }
  char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t n) const {
    return offset + n <= size_ && WriteProcessMemory(process_, at(offset), data, n, nullptr);
  }
  bool Read(size_t offset, void* data, size_t n) const {
    return offset + n <= size_ && ReadProcessMemory(process_, at(offset), data, n, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

constexpr int kTextChars = 4096;

}  // namespace

bool Loaded(HWND main) {
  return !IsWindowVisible(GetDlgItem(main, qx::IdMainLoadingLabel)) &&
         !Text(GetDlgItem(main, qx::IdMainCount)).empty();
}

HWND LoggedInTest::OpenMain(const std::string& atLogin, const std::vector<std::wstring>& env,
                            const std::function<void(HWND)>& onLogin) {
  main = list = nullptr;
  program = std::make_unique<Program>(portal, env);
  HWND login = program->WaitLoginReady();
  if (!login) return nullptr;
  if (!atLogin.empty()) portal.Set(atLogin);
  if (onLogin) onLogin(login);
  LogInAsDemo(login);
  HWND opened = program->WaitWindowClass(kMainClass);
  if (!opened) return nullptr;
  list = GetDlgItem(opened, qx::IdMainList);
  main = opened;
  return WaitLoaded() ? main : nullptr;
}

bool LoggedInTest::WaitLoaded(DWORD timeoutMs) const {
  return WaitFor([&] { return Loaded(main); }, timeoutMs);
}

size_t LoggedInTest::Requests(const std::string& pathPrefix) const {
  return portal.LogLines(pathPrefix).size();
}

int ListItemCount(HWND list) {
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 10000, &n)) return -1;
  return static_cast<int>(n);
}

int ListSelectedIndex(HWND list) {
  DWORD_PTR n = 0;
  SendMessageTimeoutW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED,
                      SMTO_ABORTIFHUNG, 10000, &n);
  return static_cast<int>(static_cast<LRESULT>(n));
}

std::vector<Row> ReadListView(HWND list, int columns) {
  std::vector<Row> rows;
  const int count = ListItemCount(list);
  RemoteMemory mem(list, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
  if (!mem.ok() || count <= 0) return rows;
  const size_t textOffset = sizeof(LVITEMW);
  std::wstring buf(kTextChars, L'\0');
  rows.reserve(count);
  for (int r = 0; r < count; ++r) {
    Row row;
    for (int c = 0; c < columns; ++c) {
      LVITEMW item{};
      item.iSubItem = c;
      item.pszText = reinterpret_cast<LPWSTR>(mem.at(textOffset));
      item.cchTextMax = kTextChars;
      mem.Write(0, &item, sizeof item);
      DWORD_PTR n = 0;
      SendMessageTimeoutW(list, LVM_GETITEMTEXTW, r, reinterpret_cast<LPARAM>(mem.at(0)),
                          SMTO_ABORTIFHUNG, 10000, &n);
      if (n > 0) mem.Read(textOffset, buf.data(), n * sizeof(wchar_t));
      row.emplace_back(buf.data(), n);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::wstring BalloonText() {
  std::wstring text;
  EnumWindows(
      [](HWND h, LPARAM out) {
        wchar_t cls[64];
        if (!IsWindowVisible(h) || !GetClassNameW(h, cls, 64) ||
            _wcsicmp(cls, TOOLTIPS_CLASSW) != 0 || !(GetWindowLongW(h, GWL_STYLE) & TTS_BALLOON))
          return TRUE;
        RemoteMemory mem(h, sizeof(TTTOOLINFOW) + kTextChars * sizeof(wchar_t));
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        if (!mem.ok() || !mem.Write(0, &tool, sizeof tool) ||
            !SendMessageW(h, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(mem.at(0))) ||
            !mem.Read(0, &tool, sizeof tool))
          return TRUE;
        tool.lpszText = reinterpret_cast<LPWSTR>(mem.at(sizeof tool));
        mem.Write(0, &tool, sizeof tool);
        SendMessageW(h, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(mem.at(0)));
        std::wstring buf(kTextChars, L'\0');
        mem.Read(sizeof tool, buf.data(), buf.size() * sizeof(wchar_t));
        reinterpret_cast<std::wstring*>(out)->assign(buf.c_str());
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

void SelectListLines(HWND list, const std::vector<int>& lines) {
  SelectListLine(list, -1);
  RemoteMemory mem(list, sizeof(LVITEMW));
  if (!mem.ok()) return;
  for (size_t k = 0; k < lines.size(); ++k) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | (k + 1 == lines.size() ? LVIS_FOCUSED : 0);
    mem.Write(0, &item, sizeof item);
    SendMessageW(list, LVM_SETITEMSTATE, lines[k], reinterpret_cast<LPARAM>(mem.at(0)));
  }
}

void SelectListLine(HWND list, int row) {
  RemoteMemory mem(list, sizeof(LVITEMW));
  if (!mem.ok()) return;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  mem.Write(0, &item, sizeof item);
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
               reinterpret_cast<LPARAM>(mem.at(0)));
  if (row < 0) return;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  mem.Write(0, &item, sizeof item);
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(mem.at(0)));
}

bool ListLineCentre(HWND list, int row, POINT& screen) {
  RemoteMemory mem(list, sizeof(RECT));
  if (!mem.ok()) return false;
  RECT r{};
  r.left = LVIR_LABEL;
  mem.Write(0, &r, sizeof r);
  if (!SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(mem.at(0)))) return false;
  mem.Read(0, &r, sizeof r);
  screen = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  return ClientToScreen(list, &screen) != FALSE;
}

HWND FindPopupMenu(DWORD pid) {
  const std::vector<HWND> menus = TopWindows(pid, L"#32768");
  return menus.empty() ? nullptr : menus.front();
}

// Every event carries the point itself: a pointer position the X server
// reports late can then not move the click somewhere else.
void ClickAt(POINT screen, DWORD down, DWORD up, int clicks) {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = std::max(2, GetSystemMetrics(SM_CXVIRTUALSCREEN));
  const int height = std::max(2, GetSystemMetrics(SM_CYVIRTUALSCREEN));
  auto event = [&](DWORD button) {
    INPUT i{};
    i.type = INPUT_MOUSE;
    i.mi.dx = static_cast<LONG>(MulDiv(screen.x - left, 65535, width - 1));
    i.mi.dy = static_cast<LONG>(MulDiv(screen.y - top, 65535, height - 1));
    i.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | button;
    return i;
  };
  INPUT move = event(0);
  SendInput(1, &move, sizeof move);
  WaitFor(
      [&] {
        POINT p{};
        GetCursorPos(&p);
        return p.x == screen.x && p.y == screen.y;
      },
      2000);
  std::vector<INPUT> in;
  for (int c = 0; c < clicks; ++c) {
    in.push_back(event(down));
    in.push_back(event(up));
  }
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

void RightClickAt(POINT screen) { ClickAt(screen, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 1); }
void LeftClickAt(POINT screen) { ClickAt(screen, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 1); }
void DoubleClickAt(POINT screen) { ClickAt(screen, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2); }

void PressKey(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}

std::vector<Row> ParseJsonRows(const std::string& lines) {
  std::vector<Row> rows;
  size_t p = 0;
  while (p < lines.size()) {
    size_t e = lines.find('\n', p);
    if (e == std::string::npos) e = lines.size();
    Row row;
    // ["a","b",...]: strings with \" \\ \/ \n \r \t \uXXXX escapes.
    for (size_t i = p; i < e; ++i) {
      if (lines[i] != '"') continue;
      std::string utf8;
      std::wstring field;
      for (++i; i < e && lines[i] != '"'; ++i) {
        if (lines[i] != '\\') {
          utf8 += lines[i];
          continue;
        }
        field += Utf8ToWide(utf8);
        utf8.clear();
        char c = lines[++i];
        switch (c) {
          case 'n':
            field += L'\n';
            break;
          case 'r':
            field += L'\r';
            break;
          case 't':
            field += L'\t';
            break;
          case 'u':
            field +=
                static_cast<wchar_t>(std::strtoul(lines.substr(i + 1, 4).c_str(), nullptr, 16));
            i += 4;
            break;
          default:
            field += static_cast<wchar_t>(c);
        }
      }
      field += Utf8ToWide(utf8);
      row.push_back(field);
    }
    if (!row.empty()) rows.push_back(std::move(row));
    p = e + 1;
  }
  return rows;
}

}  // namespace e2e
