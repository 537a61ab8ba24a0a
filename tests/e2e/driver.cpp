#include "tests/e2e/driver.h"

#include <wininet.h>

#include <cstdio>
#include <cstdlib>

#include "app/commands.h"

namespace e2e {

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
}

std::vector<HWND> TopWindows(DWORD pid, const wchar_t* cls, bool hidden) {
  struct Search {
    DWORD pid;
    const wchar_t* cls;
    bool hidden;
    std::vector<HWND> found;
  } s{pid, cls, hidden, {}};
  EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        wchar_t name[64] = {};
        GetClassNameW(h, name, 64);
        if (owner == s->pid && (s->hidden || IsWindowVisible(h)) &&
            (!s->cls || std::wstring(name) == s->cls))
          s->found.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

std::wstring Utf8ToWide(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

static std::string WideTo(UINT cp, const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}
std::string WideToUtf8(const std::wstring& w) { return WideTo(CP_UTF8, w); }
std::string WideToGbk(const std::wstring& w) { return WideTo(936, w); }

std::string HttpGet(const std::string& url) {
  std::string body;
  HINTERNET net = InternetOpenA("qarvex-e2e", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!net) return body;
  HINTERNET req = InternetOpenUrlA(
      net, url.c_str(), nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES, 0);
  if (req) {
    char buf[8192];
    DWORD got = 0;
    while (InternetReadFile(req, buf, sizeof buf, &got) && got > 0) body.append(buf, got);
    InternetCloseHandle(req);
  }
  InternetCloseHandle(net);
  return body;
}

std::string JsonString(const std::string& json, const std::string& key) {
  std::string needle = "\"" + key + "\":";
  size_t p = json.find(needle);
  if (p == std::string::npos) return {};
  p += needle.size();
  while (p < json.size() && json[p] == ' ') ++p;
  if (p >= json.size() || json[p] != '"') return {};
  std::wstring out;
  for (++p; p < json.size() && json[p] != '"'; ++p) {
    if (json[p] != '\\') {
      size_t q = p;
      while (q < json.size() && json[q] != '"' && json[q] != '\\') ++q;
      out += Utf8ToWide(json.substr(p, q - p));
      p = q - 1;
      continue;
    }
    char e = json[++p];
    switch (e) {
      case 'n':
        out += L'\n';
        break;
      case 'r':
        out += L'\r';
        break;
      case 't':
        out += L'\t';
        break;
      case 'u':
        out += static_cast<wchar_t>(std::strtoul(json.substr(p + 1, 4).c_str(), nullptr, 16));
        p += 4;
        break;
      default:
        out += static_cast<wchar_t>(e);
    }
  }
  return WideToUtf8(out);
}

// An environment variable of the process as it is now (set by CTest or by
// SetEnvironmentVariable), empty when unset.
static std::wstring Environment(const wchar_t* name) {
  DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n <= 1) return {};
  std::wstring value(n, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), n));
  return value;
}

DemoPortal DemoPortal::FromFixture() {
  DemoPortal d;
  const std::wstring file = Environment(L"QARVEX_DEMO_PORT_FILE");
  std::string port = file.empty() ? "" : ReadFileBytes(file);
  while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) port.pop_back();
  d.url = "http://127.0.0.1:" + port;
  return d;
}

namespace {

// Cookies a remembered login left in the user's store: a later test's program
// would otherwise send that session along.
void ForgetStoredCookies() {
  std::vector<char> buffer(4096);
  HANDLE find = nullptr;
  // The next entry into `buffer`, growing it when an entry does not fit.
  auto next = [&]() -> INTERNET_CACHE_ENTRY_INFOW* {
    for (;;) {
      auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
      DWORD size = static_cast<DWORD>(buffer.size());
      const bool ok = find ? FindNextUrlCacheEntryW(find, entry, &size) != FALSE
                           : (find = FindFirstUrlCacheEntryW(L"cookie:", entry, &size)) != nullptr;
      if (ok) return entry;
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return nullptr;
      buffer.resize(size);
    }
  };
  std::vector<std::wstring> names;
  while (INTERNET_CACHE_ENTRY_INFOW* entry = next())
    if (entry->lpszSourceUrlName) names.push_back(entry->lpszSourceUrlName);
  if (find) FindCloseUrlCache(find);
  for (const std::wstring& name : names) DeleteUrlCacheEntryW(name.c_str());
  // Wine may only mark an entry for deletion; without its file the cookies
  // are gone all the same.
  const std::wstring folder = Environment(L"LOCALAPPDATA") + L"\\Microsoft\\Windows\\INetCookies\\";
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"*.txt").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    DeleteFileW((folder + fd.cFileName).c_str());
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

}  // namespace

void PortalTest::SetUp() {
  portal = DemoPortal::FromFixture();
  ASSERT_FALSE(HttpGet(portal.url + "/__admin/state").empty()) << "demo portal not reachable";
  portal.Reset();
  RemoveDataDir();
  // No window placement stored by an earlier test.
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QARVEX\\Terminal");
  ForgetStoredCookies();
}

void LogInAsDemo(HWND login) {
  TypeText(GetDlgItem(login, qx::IdLoginUser), L"demo");
  TypeText(GetDlgItem(login, qx::IdLoginPassword), L"demo123");
  Click(GetDlgItem(login, qx::IdLoginButton));
}

void DemoPortal::Reset() const { HttpGet(url + "/__admin/reset"); }
void DemoPortal::Set(const std::string& q) const { HttpGet(url + "/__admin/set?" + q); }
std::string DemoPortal::Log() const { return HttpGet(url + "/__admin/log?format=lines"); }

std::vector<std::string> DemoPortal::LogLines(const std::string& rawPathPrefix) const {
  std::vector<std::string> lines;
  std::string all = Log();
  size_t p = 0;
  while (p < all.size()) {
    size_t e = all.find('\n', p);
    if (e == std::string::npos) e = all.size();
    std::string line = all.substr(p, e - p);
    if (JsonString(line, "path").rfind(rawPathPrefix, 0) == 0) lines.push_back(line);
    p = e + 1;
  }
  return lines;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::string out;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return out;
  char buf[8192];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  CloseHandle(f);
  return out;
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveDataDir() {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(L"C:\\qarvex\\*", &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name != L"." && name != L"..") DeleteFileW((L"C:\\qarvex\\" + name).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(L"C:\\qarvex");
}

Program::Program(const DemoPortal& portal, const std::vector<std::wstring>& extraEnv) {
  std::wstring base = Utf8ToWide(portal.url);
  SetEnvironmentVariableW(L"QARVEX_PORTAL_URL", base.c_str());
  SetEnvironmentVariableW(L"QARVEX_NOTICE_URL", (base + L"/notice.html").c_str());
  SetEnvironmentVariableW(L"QARVEX_WEBSITE_URL", (base + L"/website").c_str());
  SetEnvironmentVariableW(L"QARVEX_CONTACT_URL", (base + L"/contact").c_str());
  for (const std::wstring& kv : extraEnv) {
    size_t eq = kv.find(L'=');
    SetEnvironmentVariableW(kv.substr(0, eq).c_str(), kv.substr(eq + 1).c_str());
  }
  const std::wstring exe = Environment(L"QARVEX_EXE");
  std::wstring cmd = L"\"" + (exe.empty() ? L"qarvex.exe" : exe) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
  for (const std::wstring& kv : extraEnv)
    SetEnvironmentVariableW(kv.substr(0, kv.find(L'=')).c_str(), nullptr);
}

Program::~Program() {
  if (pi_.hProcess) {
    if (Running()) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 10000);
    }
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
}

bool Program::Running() const {
  return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(pi_.hProcess, exitCode);
  return true;
}

std::string Program::DescribeWindows() const {
  std::string out = Running() ? "running;" : "ended;";
  for (HWND h : TopWindows(pi_.dwProcessId, nullptr, true)) {
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    out += " [" + WideToUtf8(cls) + " \"" + WideToUtf8(Text(h)) + "\"" +
           (IsWindowVisible(h) ? " visible]" : " hidden]");
  }
  return out;
}

HWND Program::FindWindowByClass(const wchar_t* cls) const {
  const std::vector<HWND> found = TopWindows(pi_.dwProcessId, cls);
  return found.empty() ? nullptr : found.front();
}

HWND Program::WaitWindowClass(const wchar_t* cls, DWORD timeoutMs) const {
  // Wine under a bare X server can take seconds to show or hide a window.
  timeoutMs = timeoutMs < 60000 ? 60000 : timeoutMs;
  HWND h = nullptr;
  WaitFor([&] { return (h = FindWindowByClass(cls)) != nullptr; }, timeoutMs);
  return h;
}

HWND Program::WaitLoginReady(DWORD timeoutMs) const {
  HWND login = WaitWindowClass(kLoginClass, timeoutMs);
  if (!login) return nullptr;
  HWND button = GetDlgItem(login, qx::IdLoginButton);
  return WaitFor([&] { return IsWindowEnabled(button) != FALSE; }, timeoutMs) ? login : nullptr;
}

HWND Program::WaitMessageBox(DWORD timeoutMs) const {
  HWND h = nullptr;
  WaitFor([&] { return (h = FindMessageBox()) != nullptr; }, timeoutMs);
  return h;
}

StallProbe::StallProbe(DWORD pid, DWORD intervalMs)
    : pid_(pid), intervalMs_(intervalMs), thread_([this] { Run(); }) {}

StallProbe::~StallProbe() {
  stop_ = true;
  thread_.join();
}

StallProbe::Worst StallProbe::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  Worst w = worst_;
  worst_ = {};
  return w;
}

void StallProbe::Run() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  while (!stop_) {
    std::vector<HWND> windows = TopWindows(pid_, kLoginClass, true);
    for (HWND h : TopWindows(pid_, kMainClass, true)) windows.push_back(h);
    for (HWND h : windows) {
      LARGE_INTEGER t0, t1;
      QueryPerformanceCounter(&t0);
      DWORD_PTR result = 0;
      const bool answered = SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
      QueryPerformanceCounter(&t1);
      if (!answered && !IsWindow(h)) continue;  // gone meanwhile: nothing to answer
      const double ms = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) /
                        static_cast<double>(frequency.QuadPart);
      std::lock_guard<std::mutex> lock(mutex_);
      ++worst_.probes;
      if (ms > kSlowAnswerMs) ++worst_.slow;
      if (ms > worst_.ms) {
        wchar_t cls[64] = {};
        GetClassNameW(h, cls, 64);
        char when[32];
        std::snprintf(when, sizeof when, " at %.2f s", (GetTickCount64() - start_) / 1000.0);
        worst_.ms = ms;
        worst_.where = std::string(step_.load()) + ", " + WideToUtf8(cls) + when;
      }
    }
    Sleep(intervalMs_);
  }
}

::testing::AssertionResult AnsweredPromptly(const StallProbe::Worst& worst) {
  char figures[160];
  std::snprintf(figures, sizeof figures, "slowest answer %.0f ms, %d of %d probes above %.0f ms",
                worst.ms, worst.slow, worst.probes, kSlowAnswerMs);
  std::printf("%s (%s)\n", figures, worst.where.c_str());  // the margins, in the test's log
  // One slow answer is judged by the slowest bound alone (a short step has
  // few probes); more than that must stay within 1 % of them.
  const bool prompt = worst.probes > 0 && worst.ms <= kAnswerWithinMs &&
                      (worst.slow <= 1 || worst.slow * 100 <= worst.probes);
  return (prompt ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
         << figures << " (" << worst.where << ")";
}

std::wstring Text(HWND hwnd) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return {};
  std::wstring buf(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(buf.data()),
                      SMTO_ABORTIFHUNG, 5000, &got);
  buf.resize(got);
  return buf;
}

std::wstring MessageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  if (text) return Text(text);
  std::wstring result;
  EnumChildWindows(
      box,
      [](HWND c, LPARAM lp) -> BOOL {
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        if (std::wstring(cls) == L"Static" && !Text(c).empty()) {
          *reinterpret_cast<std::wstring*>(lp) = Text(c);
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&result));
  return result;
}

void TypeText(HWND edit, const std::wstring& text) {
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void PressDialogButton(HWND box, int id) {
  HWND b = GetDlgItem(box, id);
  if (b)
    PostMessageW(b, BM_CLICK, 0, 0);
  else
    PostMessageW(box, WM_COMMAND, id, 0);
}

bool Enabled(HWND hwnd) { return IsWindowEnabled(hwnd) != FALSE; }

}  // namespace e2e
