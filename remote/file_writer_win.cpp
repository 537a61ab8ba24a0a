#include "remote/file_writer_win.h"

#include <windows.h>

#include "base/handles_win.h"

namespace qx {
namespace {

// The process's start time; 0 when it cannot be read.
unsigned long long StartTime(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

FileWriter ThisWriter() {
  static const FileWriter self{GetCurrentProcessId(), StartTime(GetCurrentProcess())};
  return self;
}

bool IsAnotherRunningWriter(const FileWriter& writer) {
  if (writer == ThisWriter()) return false;
  // Any process may be asked this much; refused, it is no process of ours.
  UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, writer.pid));
  if (!process) return false;
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code) || code != STILL_ACTIVE) return false;
  // The same id, but not the same process: the writer ended long ago.
  return StartTime(process.get()) == writer.started;
}

}  // namespace qx
