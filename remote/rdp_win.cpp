#include "remote/rdp_win.h"

#include <windows.h>
// After windows.h:
#include <shellapi.h>
#include <wincrypt.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/atomic_file_win.h"
#include "base/codepage.h"
#include "base/flow_runner_win.h"
#include "base/handles_win.h"
#include "base/os_win.h"
#include "base/wide_win.h"
#include "remote/display_settings_win.h"
#include "remote/file_writer_win.h"
#include "remote/rdp.h"

namespace qx {
namespace {

constexpr unsigned kDeleteAfterMs = 5000;
// A connection file takes the first of these names that is free.
constexpr unsigned kConnectionNames = 10;

std::wstring RdpPath(std::string_view businessId, unsigned n = 0) {
  return ProgramFolder() + Wide(RdpConnectionFileName(businessId, n));
}

[[nodiscard]] bool WriteRdpFile(const std::wstring& path, const RdpMachine& m,
                                const std::optional<DisplaySettings>& settings) {
  return WriteFileAtomically(
      path, BuildRdpText(m.address, m.account, ProtectRdpPassword(m.password), settings));
}

// The journal of connection files: one registry value per file written for
// 连接 and not yet deleted, named by its path and holding its writer. It is
// written before the file and cleared after the file's deletion, so that
// after a crash or a forced end the program still knows which .rdp files are
// its own and which are the user's.
constexpr wchar_t kJournalKey[] = L"Software\\QARVEX\\ConnectionFiles";

UniqueRegKey OpenJournal(REGSAM access) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kJournalKey, 0, nullptr, 0, access, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return UniqueRegKey();
  return UniqueRegKey(key);
}

[[nodiscard]] bool JournalAdd(const std::wstring& path) {
  const UniqueRegKey key = OpenJournal(KEY_SET_VALUE);
  const FileWriter self = ThisWriter();
  const ULONGLONG value[2] = {self.pid, self.started};
  return key && RegSetValueExW(key.get(), path.c_str(), 0, REG_BINARY,
                               reinterpret_cast<const BYTE*>(value), sizeof value) == ERROR_SUCCESS;
}

// False when the entry may still be there.
[[nodiscard]] bool JournalRemove(const std::wstring& path) {
  const UniqueRegKey key = OpenJournal(KEY_SET_VALUE);
  if (!key) return false;
  const LONG r = RegDeleteValueW(key.get(), path.c_str());
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

bool InJournal(const std::wstring& path) {
  const UniqueRegKey key = OpenJournal(KEY_QUERY_VALUE);
  return key && RegQueryValueExW(key.get(), path.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_SUCCESS;
}

std::vector<std::pair<std::wstring, FileWriter>> JournalEntries() {
  std::vector<std::pair<std::wstring, FileWriter>> entries;
  const UniqueRegKey key = OpenJournal(KEY_QUERY_VALUE);
  if (!key) return entries;
  std::wstring name(32768, L'\0');  // the longest value name and its terminator
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size()), type = 0;
    ULONGLONG value[2] = {};
    DWORD size = sizeof value;
    const LONG r = RegEnumValueW(key.get(), i, name.data(), &nameSize, nullptr, &type,
                                 reinterpret_cast<BYTE*>(value), &size);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) continue;
    // An entry that holds no writer is no one's: swept like one whose writer ended.
    FileWriter writer;
    if (type == REG_BINARY && size == sizeof value)
      writer = FileWriter{static_cast<unsigned long>(value[0]), value[1]};
    entries.emplace_back(name.substr(0, nameSize), writer);
  }
  return entries;
}

// Deletes a connection file, then its journal entry; false when the file
// stays (its entry then stays too).
bool DeleteConnectionFile(const std::wstring& path) {
  if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
      GetLastError() != ERROR_PATH_NOT_FOUND)
    return false;
  return JournalRemove(path);
}

// The first connection-file name of the machine not taken by a file of the
// user's: one that does not exist or is a connection file itself. Empty
// when every name is taken.
std::wstring FreeConnectionPath(std::string_view businessId) {
  for (unsigned n = 0; n < kConnectionNames; ++n) {
    std::wstring path = RdpPath(businessId, n);
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES || InJournal(path)) return path;
  }
  return {};
}

// Connection files opened and not yet deleted, by machine (its first file
// name), each with its path and the number of its deletion.
class PendingFiles {
 public:
  // The path of the machine's file that waits for its deletion; empty when none does.
  std::wstring Waiting(const std::wstring& machine) const {
    auto it = files_.find(Key(machine));
    return it == files_.end() ? std::wstring() : it->second.path;
  }
  // The deletion's number.
  unsigned Add(const std::wstring& machine, const std::wstring& path) {
    files_[Key(machine)] = Entry{path, next_};
    return next_++;
  }
  // Deletes the file if it still waits for this deletion.
  void Delete(const std::wstring& machine, unsigned number) {
    auto it = files_.find(Key(machine));
    if (it == files_.end() || it->second.number != number) return;
    static_cast<void>(DeleteConnectionFile(it->second.path));  // else the sweeps try again
    files_.erase(it);
  }
  // A shortcut is written at the machine's first file name: a connection
  // file waiting there is the user's file from now on. False when it cannot
  // be made so.
  [[nodiscard]] bool Keep(const std::wstring& machine) {
    auto it = files_.find(Key(machine));
    if (it != files_.end() && Key(it->second.path) == Key(machine)) files_.erase(it);
    return JournalRemove(machine);
  }

 private:
  struct Entry {
    std::wstring path;
    unsigned number;
  };
  // File names are compared without regard to case, as Windows does.
  static std::wstring Key(std::wstring path) {
    CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    return path;
  }
  std::map<std::wstring, Entry> files_;
  unsigned next_ = 1;
};

PendingFiles& Pending() {
  static PendingFiles pending;
  return pending;
}

// The deletions belong to the program, not to a window.
const FlowOwner& ProgramFlows() {
  static FlowOwner owner;
  return owner;
}

}  // namespace

Text ProtectRdpPassword(std::string_view password) {
  if (password.empty()) return {};
  Bytes plain = AnsiToWide(password);  // UTF-16LE with its terminator
  const Bytes description = AnsiToWide("psw");
  DATA_BLOB in{static_cast<DWORD>(plain.size()), reinterpret_cast<BYTE*>(plain.data())};
  DATA_BLOB out{};
  const BOOL ok = CryptProtectData(&in, reinterpret_cast<LPCWSTR>(description.c_str()), nullptr,
                                   nullptr, nullptr, 0, &out);
  SecureZeroMemory(plain.data(), plain.size());
  if (!ok) return {};
  UniqueLocal owned(out.pbData);
  return HexUpper(std::string_view(reinterpret_cast<const char*>(out.pbData), out.cbData));
}

RdpConnectResult ConnectRdp(const RdpMachine& machine, unsigned long* error) {
  const std::wstring machineKey = RdpPath(machine.businessId);
  // A second connection while the first one's file waits writes that file
  // again (the user may be retrying a client that did not start); a shortcut
  // of the user's under the machine's name stays as it is.
  std::wstring path = Pending().Waiting(machineKey);
  if (path.empty()) path = FreeConnectionPath(machine.businessId);
  if (error) *error = ERROR_FILE_EXISTS;  // every name is taken by the user's files
  if (path.empty() || !JournalAdd(path)) {
    if (error && !path.empty()) *error = GetLastError();
    return RdpConnectResult::NotWritten;
  }
  if (!WriteRdpFile(path, machine, ReadDisplaySettings())) {
    if (error) *error = GetLastError();
    // Nothing is opened; the journal entry goes with whatever the write left.
    static_cast<void>(DeleteConnectionFile(path));
    return RdpConnectResult::NotWritten;
  }
  const unsigned number = Pending().Add(machineKey, path);
  ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  RunLater(ProgramFlows(), kDeleteAfterMs,
           [machineKey, number] { Pending().Delete(machineKey, number); });
  return RdpConnectResult::Opened;
}

bool SaveRdpShortcut(const RdpMachine& machine) {
  const std::wstring path = RdpPath(machine.businessId);
  // A connection file waiting there would take the shortcut with it.
  if (!Pending().Keep(path)) return false;
  return WriteRdpFile(path, machine, std::nullopt);
}

void SweepConnectionFiles() {
  for (const auto& [path, writer] : JournalEntries())
    if (!IsAnotherRunningWriter(writer)) static_cast<void>(DeleteConnectionFile(path));
}

}  // namespace qx
