// Times the main window's load, driving the real program against the demo
// portal with 100 ms per request (tools/bench/run_bench_list.sh starts the
// portal and runs this under Wine):
//
//   bench_list.exe PORTAL_URL [RUNS] [Z:\path\to\qarvex.exe] [--split]
//
// Logs in once with the password (the portal remembers the session), then
// for 2,000 and for 20 machines, RUNS times each: starts the program, presses
// 一键登录 and waits for the filled list. Per run it prints
//   - the time from the press to the filled list,
//   - the four portal requests of a load (members, three list pages) made one
//     after another by the bench itself just before: the floor under that time,
//   - the longest answer of the window thread to WM_NULL, probed every 10 ms
//     from a thread of the bench, between the press and the filled list,
//   - the program's peak working set (and, in brackets, that before the press).
// --split also prints the program's own timing log (QARVEX_TIMING_LOG).
//
// --probe times the 延迟 column's probe instead: with 2,000 machines all on a
// port that listens, 2,000 all on a port that takes no connection, and 20 on
// a port that listens, RUNS times each, it prints the probe's time (the
// program's own "probed" timing line, from the filled list to the last
// result), the longest answer of the window thread meanwhile, and the peak
// working set once the probe is done.
#include <windows.h>
// These need windows.h first.
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/commands.h"
#include "portal/machine_list.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/driver_list.h"

using namespace e2e;
using namespace qx;  // control ids

namespace {

double NowMs() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// The four requests of a load, with a session of the bench's own.
class PortalFloor {
 public:
  explicit PortalFloor(const std::string& url) {
    const size_t hostAt = url.find("://") + 3, colon = url.rfind(':');
    const std::string host = url.substr(hostAt, colon - hostAt);
    const auto port = static_cast<INTERNET_PORT>(std::atoi(url.c_str() + colon + 1));
    net_ = InternetOpenA("qarvex-bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (net_)
      connect_ =
          InternetConnectA(net_, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET post = Open("POST", "//login/login");
    const char headers[] = "Content-Type: application/x-www-form-urlencoded\r\n";
    std::string body = "username=demo&password=demo123";
    if (post && HttpSendRequestA(post, headers, static_cast<DWORD>(std::strlen(headers)),
                                 body.data(), static_cast<DWORD>(body.size()))) {
      char cookie[512] = {};
      DWORD size = sizeof cookie;
      if (HttpQueryInfoA(post, HTTP_QUERY_SET_COOKIE, cookie, &size, nullptr))
        cookie_ = std::string(cookie, std::strcspn(cookie, ";"));
    }
    if (post) InternetCloseHandle(post);
  }
  ~PortalFloor() {
    if (connect_) InternetCloseHandle(connect_);
    if (net_) InternetCloseHandle(net_);
  }
  bool ok() const { return !cookie_.empty(); }

  // ms for the four requests one after another; -1 when one failed.
  double Measure() {
    const double t0 = NowMs();
    if (Get("//user/members").empty()) return -1;
    for (const qx::Text& path : ListPagePaths())  // the program's own list requests
      if (Get(path.c_str()).empty()) return -1;
    return NowMs() - t0;
  }

 private:
  HINTERNET Open(const char* verb, const char* path) {
    return connect_ ? HttpOpenRequestA(connect_, verb, path, nullptr, nullptr, nullptr,
                                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                           INTERNET_FLAG_NO_COOKIES,
                                       0)
                    : nullptr;
  }
  std::string Get(const char* path) {
    std::string body;
    HINTERNET req = Open("GET", path);
    if (!req) return body;
    const std::string headers = "Cookie: " + cookie_ + "\r\n";
    if (HttpSendRequestA(req, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0)) {
      char buf[65536];
      DWORD got = 0;
      while (InternetReadFile(req, buf, sizeof buf, &got) && got > 0) body.append(buf, got);
    }
    InternetCloseHandle(req);
    return body;
  }

  HINTERNET net_ = nullptr, connect_ = nullptr;
  std::string cookie_;
};

// The main window with its list filled with `machines` lines; polled often,
// with messages to the program only once the loading label is gone.
HWND WaitFilled(const Program& program, int machines, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    HWND main = program.FindWindowByClass(kMainClass);
    if (main && !IsWindowVisible(GetDlgItem(main, IdMainLoadingLabel)) &&
        ListItemCount(GetDlgItem(main, IdMainList)) == machines)
      return main;
    if (GetTickCount64() >= end) return nullptr;
    Sleep(2);
  }
}

void Close(Program& program) {
  if (HWND main = program.FindWindowByClass(kMainClass)) PostMessageW(main, WM_CLOSE, 0, 0);
  program.WaitExit(20000);
}

struct Run {
  int machines;
  double loadMs, floorMs, stallMs, peakMb, loginPeakMb;
};

// The process's peak working set so far, in MB; -1 when unknown.
double PeakWorkingSetMb(HANDLE process) {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  if (!GetProcessMemoryInfo(process, &pmc, sizeof pmc)) return -1;
  return static_cast<double>(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// The program's "probed" timing line once it is in the log (total_ms, the
// probe's time); -1 when it does not come within `timeoutMs`.
double WaitProbed(const std::wstring& logPath, DWORD timeoutMs) {
  double ms = -1;
  WaitFor(
      [&] {
        std::string log(1, '\n');
        log += ReadFileBytes(logPath);
        const size_t at = log.find("\nprobed ");
        if (at == std::string::npos) return false;
        const size_t total = log.find("total_ms=", at);
        if (total != std::string::npos) ms = std::atof(log.c_str() + total + 9);
        return true;
      },
      timeoutMs);
  return ms;
}

// --probe: see the head comment.
int BenchProbe(DemoPortal& portal, const std::vector<std::wstring>& env,
               const std::wstring& logPath, int runs) {
  struct ProbeRun {
    int machines;
    const char* ports;
    double probeMs, stallMs, peakMb;
  };
  std::vector<ProbeRun> results;
  for (const auto& [machines, ports] :
       {std::pair{2000, "listening"}, std::pair{2000, "slow"}, std::pair{20, "listening"}}) {
    portal.Set("latency_ms=0&machines=" + std::to_string(machines) + "&probe_ports=" + ports);
    for (int run = 1; run <= runs; ++run) {
      ProbeRun r{machines, ports, -1, -1, -1};
      DeleteFileW(logPath.c_str());
      Program program(portal, env);
      HWND login = program.WaitWindowClass(kLoginClass);
      HWND oneClick = login ? GetDlgItem(login, IdOneClickButton) : nullptr;
      if (!oneClick || !WaitFor([&] { return Enabled(oneClick); }, 60000)) {
        std::fprintf(stderr, "no live session: one-click login stays disabled\n");
        return 6;
      }
      Click(oneClick);
      if (WaitFilled(program, machines, 180000)) {
        StallProbe probe(program.pid(), 10);
        r.probeMs = WaitProbed(logPath, 120000);
        r.stallMs = probe.Take().ms;
      }
      r.peakMb = PeakWorkingSetMb(program.process());
      results.push_back(r);
      Close(program);
    }
  }
  portal.Reset();
  std::printf("times in ms (-1: failed)\n");
  std::printf("machines  ports      run  probe  longest stall  peak working set MB\n");
  int run = 0;
  const char* last = "";
  for (const ProbeRun& r : results) {
    run = r.ports == last ? run + 1 : 1;
    last = r.ports;
    std::printf("%8d  %-9s  %3d  %5.0f  %13.1f  %19.1f\n", r.machines, r.ports, run, r.probeMs,
                r.stallMs, r.peakMb);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool split = false, probeBench = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--split")
      split = true, args.erase(args.begin() + i--);
    else if (args[i] == "--probe")
      probeBench = true, args.erase(args.begin() + i--);
  }
  DemoPortal portal;
  portal.url = args.size() > 0 ? args[0] : "http://127.0.0.1:18080";
  const int runs = args.size() > 1 ? std::atoi(args[1].c_str()) : 3;
  if (args.size() > 2) SetEnvironmentVariableA("QARVEX_EXE", args[2].c_str());

  if (HttpGet(portal.url + "/__admin/state").empty()) {
    std::fprintf(stderr, "demo portal not reachable at %s\n", portal.url.c_str());
    return 2;
  }
  portal.Reset();
  portal.Set("machines=2000&latency_ms=100&remember=1");

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring logPath = std::wstring(temp) + L"qarvex-bench-timing.log";
  const std::vector<std::wstring> env = {L"QARVEX_TIMING_LOG=" + logPath};

  {  // Log in once with the password: the portal remembers the session.
    Program program(portal, env);
    HWND login = program.WaitLoginReady();
    if (!login) {
      std::fprintf(stderr, "no login window ready:%s\n", program.DescribeWindows().c_str());
      return 3;
    }
    LogInAsDemo(login);
    if (!WaitFilled(program, 2000, 180000)) {
      std::fprintf(stderr, "the first login did not fill the list\n");
      return 4;
    }
    Close(program);
  }

  if (probeBench) return BenchProbe(portal, env, logPath, runs);
  PortalFloor direct(portal.url);
  if (!direct.ok()) {
    std::fprintf(stderr, "the bench could not log in to the portal itself\n");
    return 5;
  }
  std::vector<Run> results;
  for (int machines : {2000, 20}) {
    portal.Set("machines=" + std::to_string(machines));
    direct.Measure();  // the portal builds the pages once
    for (int run = 1; run <= runs; ++run) {
      Run r{machines, -1, direct.Measure(), -1, -1, -1};
      DeleteFileW(logPath.c_str());
      Program program(portal, env);
      StallProbe probe(program.pid(), 10);
      HWND login = program.WaitWindowClass(kLoginClass);
      HWND oneClick = login ? GetDlgItem(login, IdOneClickButton) : nullptr;
      if (!oneClick || !WaitFor([&] { return Enabled(oneClick); }, 60000)) {
        std::fprintf(stderr, "no live session: one-click login stays disabled\n");
        return 6;
      }
      r.loginPeakMb = PeakWorkingSetMb(program.process());
      probe.Take();
      const double t0 = NowMs();
      Click(oneClick);
      const bool filled = WaitFilled(program, machines, 180000) != nullptr;
      const double t1 = NowMs();
      const StallProbe::Worst worst = probe.Take();
      if (filled) {
        r.loadMs = t1 - t0;
        r.stallMs = worst.ms;
      }
      r.peakMb = PeakWorkingSetMb(program.process());
      results.push_back(r);
      if (split) {
        std::printf("-- %d machines, run %d: the program's timing log\n", machines, run);
        std::fputs(ReadFileBytes(logPath).c_str(), stdout);
      }
      Close(program);
    }
  }
  portal.Reset();

  std::printf("100 ms per request; times in ms (-1: failed)\n");
  std::printf(
      "machines  run  one-click to list  4 requests  longest stall  peak working set MB "
      "(at login)\n");
  int run = 0, last = 0;
  for (const Run& r : results) {
    run = r.machines == last ? run + 1 : 1;
    last = r.machines;
    std::printf("%8d  %3d  %17.0f  %10.0f  %13.1f  %19.1f  (%.1f)\n", r.machines, run, r.loadMs,
                r.floorMs, r.stallMs, r.peakMb, r.loginPeakMb);
  }
  return 0;
}
