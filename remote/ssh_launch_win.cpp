#include "remote/ssh_launch_win.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/config.h"
#include "base/handles_win.h"
#include "base/os_win.h"
#include "base/private_folder_win.h"
#include "base/wide_win.h"
#include "remote/putty_image_win.h"
#include "remote/ssh_command.h"

namespace qx {
namespace {

constexpr DWORD kIdleWaitMs = 10000;       // the password file lives at most this long
constexpr ULONGLONG kStaleFileMs = 60000;  // leftovers older than this are swept
constexpr wchar_t kPasswordFilePattern[] = L"pw-*.txt";

// %LOCALAPPDATA%\qarvex\ssh, private like the folder it lies in; empty on
// failure.
std::wstring PasswordFolder() {
  const std::wstring parent = LocalPrivateFolder();
  if (parent.empty()) return {};
  const std::wstring folder = parent + L"ssh";
  return MakePrivateFolder(folder) ? folder : std::wstring();
}

// Password files that outlived their launch (the program ended while PuTTY
// was starting) are deleted at the next launch.
void SweepStalePasswordFiles(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((folder + L"\\" + kPasswordFilePattern).c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  FILETIME nowFt;
  GetSystemTimeAsFileTime(&nowFt);
  const ULONGLONG now = (ULONGLONG{nowFt.dwHighDateTime} << 32) | nowFt.dwLowDateTime;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const ULONGLONG written =
        (ULONGLONG{fd.ftLastWriteTime.dwHighDateTime} << 32) | fd.ftLastWriteTime.dwLowDateTime;
    if (now > written && (now - written) / 10000 > kStaleFileMs)
      DeleteFileW((folder + L"\\" + fd.cFileName).c_str());
  } while (FindNextFileW(find, &fd));
  FindClose(find);
}

// A new file holding `content`, private to the user; empty on failure.
std::wstring WritePasswordFile(std::string_view content) {
  const UniqueLocal sd = PrivateDescriptor();
  if (!sd) return {};
  const std::wstring folder = PasswordFolder();
  if (folder.empty()) return {};
  SweepStalePasswordFiles(folder);
  SECURITY_ATTRIBUTES sa{sizeof sa, sd.get(), FALSE};
  static LONG counter = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::wstring path = folder + L"\\pw-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(InterlockedIncrement(&counter)) + L"-" +
                              std::to_wstring(GetTickCount64() % 1000000) + L".txt";
    UniqueHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, &sa, CREATE_NEW,
                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr));
    if (!f) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return {};
    }
    DWORD written = 0;
    const bool ok =
        content.empty() || (WriteFile(f.get(), content.data(), static_cast<DWORD>(content.size()),
                                      &written, nullptr) &&
                            written == content.size());
    f.reset();
    if (ok) return path;
    DeleteFileW(path.c_str());
    return {};
  }
  return {};
}

// PuTTY reads its command line in the ANSI code page: a path that does not
// survive it (a user name outside that code page) is given in its short form.
std::wstring PathPuttyCanOpen(const std::wstring& path) {
  auto survives = [](const std::wstring& p) {
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, p.c_str(),
                                      static_cast<int>(p.size()), nullptr, 0, nullptr, &lost);
    return n > 0 && !lost && Wide(Narrow(p)) == p;  // and through the program's GBK text
  };
  if (survives(path)) return path;
  const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return path;
  std::wstring shortPath(n, L'\0');
  const DWORD got = GetShortPathNameW(path.c_str(), shortPath.data(), n);
  if (got == 0 || got >= n) return path;
  shortPath.resize(got);
  return survives(shortPath) ? shortPath : path;
}

struct PendingPasswordFile {
  UniqueHandle process;
  std::wstring file;
};

// Deletes the password file once PuTTY waits for input (it has read the file
// by then), after kIdleWaitMs at the latest. Runs on its own thread and
// touches nothing but its own job, so the program can end at any moment.
DWORD WINAPI DeleteWhenIdle(void* param) {
  std::unique_ptr<PendingPasswordFile> job(static_cast<PendingPasswordFile*>(param));
  WaitForInputIdle(job->process.get(), kIdleWaitMs);
  DeleteFileW(job->file.c_str());
  return 0;
}

void DeleteWhenPuttyIsIdle(HANDLE process, std::wstring file) {
  auto job = std::make_unique<PendingPasswordFile>();
  job->process.reset(process);
  job->file = std::move(file);
  UniqueHandle thread(CreateThread(nullptr, 64 * 1024, DeleteWhenIdle, job.get(),
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (thread) {
    job.release();  // the thread owns it now
    return;
  }
  // No thread to spare: wait here as briefly as the original launch did.
  WaitForInputIdle(job->process.get(), 1000);
  DeleteFileW(job->file.c_str());
}

}  // namespace

SshLaunchResult LaunchSsh(std::string_view address, std::string_view password) {
  const SshTarget target = SplitSshAddress(address);
  if (!PuttyCommandLine({}, target)) return SshLaunchResult::InvalidAddress;

  const std::wstring passwordFile = WritePasswordFile(PasswordFileContent(password));
  // Without the file PuTTY still starts and asks for the password itself.
  const std::optional<Text> line = PuttyCommandLine(
      passwordFile.empty() ? Text() : Narrow(PathPuttyCanOpen(passwordFile)), target);
  std::wstring commandLine = Wide(*line);
  const std::wstring application = PuttyPath();

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  SetCurrentDirectoryW(Wide(kDataDir).c_str());
  // The full path as the application name: no other putty.exe (next to the
  // program, on the PATH) is ever started instead.
  const BOOL started = CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr,
                                      FALSE, 0, nullptr, nullptr, &si, &pi);
  const std::wstring home = ProgramFolder();
  if (!home.empty()) SetCurrentDirectoryW(home.c_str());

  if (!started) {
    if (!passwordFile.empty()) DeleteFileW(passwordFile.c_str());
    return SshLaunchResult::NotStarted;
  }
  CloseHandle(pi.hThread);
  if (passwordFile.empty()) {
    CloseHandle(pi.hProcess);
  } else {
    DeleteWhenPuttyIsIdle(pi.hProcess, passwordFile);
  }
  return SshLaunchResult::Started;
}

}  // namespace qx
