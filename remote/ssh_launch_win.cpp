#include "remote/ssh_launch_win.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/handles_win.h"
#include "base/os_win.h"
#include "base/private_folder_win.h"
#include "base/wide_win.h"
#include "remote/file_writer_win.h"
#include "remote/putty_image_win.h"
#include "remote/ssh_command.h"

namespace qx {
namespace {

constexpr DWORD kIdleWaitMs = 10000;  // the password file lives at most this long
constexpr wchar_t kPasswordFilePattern[] = L"pw-*.txt";

// %LOCALAPPDATA%\qarvex\ssh, private like the folder it lies in; empty on
// failure.
std::wstring PasswordFolder() {
  const std::wstring parent = LocalPrivateFolder();
  if (parent.empty()) return {};
  const std::wstring folder = parent + L"ssh";
  return MakePrivateFolder(folder) ? folder : std::wstring();
}

// Where the password files go (%LOCALAPPDATA%\qarvex\ssh), without making
// the folder; empty when there is no such place.
std::wstring PasswordFolderPath() {
  const std::wstring parent = LocalFolderPath();
  return parent.empty() ? std::wstring() : parent + L"ssh";
}

// A new file holding `content`, private to the user; empty on failure.
std::wstring WritePasswordFile(std::string_view content) {
  const UniqueLocal sd = PrivateDescriptor();
  if (!sd) return {};
  const std::wstring folder = PasswordFolder();
  if (folder.empty()) return {};
  SECURITY_ATTRIBUTES sa{sizeof sa, sd.get(), FALSE};
  static LONG counter = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    // The name carries this process: its leftovers are known once it has ended.
    const std::wstring path =
        folder + L"\\" +
        Wide(PasswordFileName(ThisWriter(), static_cast<unsigned>(InterlockedIncrement(&counter))));
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

// The threads of DeleteWhenIdle still waiting for their PuTTY.
std::mutex deletersMutex;
std::vector<UniqueHandle> deleters;

struct PendingPasswordFile {
  UniqueHandle process;
  std::wstring file;
};

// Deletes the password file once PuTTY waits for input (it has read the file
// by then), after kIdleWaitMs at the latest. Runs on its own thread and
// touches nothing but its own job, so the program can end at any moment (its
// file then goes with the sweep at the end, or at the next start).
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
    const std::lock_guard<std::mutex> lock(deletersMutex);
    // Those that have ended are let go.
    std::erase_if(deleters, [](const UniqueHandle& t) {
      return WaitForSingleObject(t.get(), 0) != WAIT_TIMEOUT;
    });
    deleters.push_back(std::move(thread));
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
  // The program that starts is the one the terminal carries, and stays so
  // until it has started.
  UniqueHandle putty = OpenCheckedPutty();
  if (!putty) return SshLaunchResult::NotStarted;

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
  // The full path as the application name: no other putty.exe (next to the
  // program, on the PATH) is ever started instead. PuTTY works in its own
  // folder (C:\qarvex\); the program's own current directory stays as it is.
  const std::wstring folder = application.substr(0, application.find_last_of(L'\\'));
  const BOOL started = CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr,
                                      FALSE, 0, nullptr, folder.c_str(), &si, &pi);
  putty.reset();

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

void SweepPasswordFiles(unsigned long waitMs) {
  {
    const std::lock_guard<std::mutex> lock(deletersMutex);
    const ULONGLONG end = GetTickCount64() + waitMs;
    for (const UniqueHandle& t : deleters) {
      const ULONGLONG now = GetTickCount64();
      WaitForSingleObject(t.get(), now < end ? static_cast<DWORD>(end - now) : 0);
    }
  }
  const std::wstring folder = PasswordFolderPath();
  if (folder.empty()) return;
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((folder + L"\\" + kPasswordFilePattern).c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // A file of another instance's PuTTY, which may be starting, stays.
    const std::optional<FileWriter> writer = PasswordFileWriter(Narrow(fd.cFileName));
    if (!writer || !IsAnotherRunningWriter(*writer))
      DeleteFileW((folder + L"\\" + fd.cFileName).c_str());
  } while (FindNextFileW(find, &fd));
  FindClose(find);
}

}  // namespace qx
