// Drives the real qarvex.exe as a user would: finds its windows, types,
// clicks, reads and answers message boxes; talks to the demo portal.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

// The program's top-level window classes.
inline constexpr const wchar_t* kLoginClass = L"QarvexLoginWindow";
inline constexpr const wchar_t* kMainClass = L"QarvexMainWindow";

// Waits for a condition, polling; true when it held before the timeout.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 20000);

// The top-level windows of process `pid` of class `cls` (any class when
// null), in z-order; visible ones only unless `hidden` too.
std::vector<HWND> TopWindows(DWORD pid, const wchar_t* cls = nullptr, bool hidden = false);

// The demo portal the tests run against (its URL from the fixture's port file).
struct DemoPortal {
  std::string url;  // http://127.0.0.1:PORT
  static DemoPortal FromFixture();
  void Reset() const;                    // start-up options, no sessions, empty log
  void Set(const std::string& q) const;  // /__admin/set?q
  std::string Log() const;               // the request log, one JSON object per line (UTF-8)
  std::vector<std::string> LogLines(const std::string& rawPathPrefix) const;
};

std::string HttpGet(const std::string& url);  // the body, empty on failure
std::string JsonString(const std::string& json, const std::string& key);  // UTF-8 value

std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& s);
std::string WideToGbk(const std::wstring& s);

// C:\qarvex\ files.
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
void RemoveDataDir();

// A test against the demo portal: fresh portal state, no C:\qarvex\ left
// over from an earlier test.
class PortalTest : public ::testing::Test {
 protected:
  void SetUp() override;
  DemoPortal portal;
};

// Types the demo account into the login window and presses 登录.
void LogInAsDemo(HWND login);

class Program {
 public:
  // Starts qarvex.exe with the portal and notice URLs pointed at the demo.
  explicit Program(const DemoPortal& portal, const std::vector<std::wstring>& extraEnv = {});
  ~Program();
  DWORD pid() const { return pi_.dwProcessId; }
  HANDLE process() const { return pi_.hProcess; }
  bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
  bool Running() const;

  // A visible top-level window of the program of the given window class.
  HWND FindWindowByClass(const wchar_t* cls) const;
  HWND WaitWindowClass(const wchar_t* cls, DWORD timeoutMs = 30000) const;
  // The login window once it is ready for input: its 登录 button is enabled
  // after the version check and the session probe have answered.
  HWND WaitLoginReady(DWORD timeoutMs = 60000) const;
  // A message box (dialog class #32770) of the program.
  HWND FindMessageBox() const { return FindWindowByClass(L"#32770"); }
  HWND WaitMessageBox(DWORD timeoutMs = 30000) const;
  // The program's top-level windows (class, title, visible), for failure messages.
  std::string DescribeWindows() const;

 private:
  PROCESS_INFORMATION pi_{};
};

// How promptly the program's window thread answers: from a thread of its own,
// every `intervalMs`, sends WM_NULL to each of the program's login and main
// windows (hidden ones too) and keeps the longest round trip (an unanswered
// probe counts as its 5 s timeout).
class StallProbe {
 public:
  explicit StallProbe(DWORD pid, DWORD intervalMs = 20);
  ~StallProbe();
  StallProbe(const StallProbe&) = delete;
  StallProbe& operator=(const StallProbe&) = delete;
  struct Worst {
    double ms = 0;  // the longest round trip
    int probes = 0;
    int slow = 0;       // probes above kSlowAnswerMs
    std::string where;  // the step, the window's class and when, for failure messages
  };
  // The worst since the last call (or the start), and starts over.
  Worst Take();
  // What the test is doing now; the worst answer is told with it.
  void Step(const char* step) { step_ = step; }

 private:
  void Run();
  const DWORD pid_, intervalMs_;
  const ULONGLONG start_ = GetTickCount64();
  std::atomic<bool> stop_{false};
  std::atomic<const char*> step_{"start"};
  std::mutex mutex_;
  Worst worst_;
  std::thread thread_;
};

// An end-to-end test asserts that the window thread is not blocked (a
// request on it stops it for seconds), not how fast this machine is: no
// answer slower than kAnswerWithinMs, and no more than one or 1 % of them
// above kSlowAnswerMs, which a busy 2-core machine stays far below.
// tools/bench measures the real figures.
inline constexpr double kAnswerWithinMs = 1000;
inline constexpr double kSlowAnswerMs = 250;
::testing::AssertionResult AnsweredPromptly(const StallProbe::Worst& worst);

std::wstring Text(HWND hwnd);
std::wstring MessageBoxText(HWND box);
void TypeText(HWND edit, const std::wstring& text);  // replaces the text, key by key
void Click(HWND button);
void PressDialogButton(HWND box, int id);  // IDOK, IDYES, IDNO
bool Enabled(HWND hwnd);

}  // namespace e2e
