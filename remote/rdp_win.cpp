#include "remote/rdp_win.h"

#include <windows.h>
// After windows.h:
#include <shellapi.h>
#include <wincrypt.h>

#include <map>
#include <optional>
#include <string>

#include "base/atomic_file_win.h"
#include "base/codepage.h"
#include "base/flow_runner_win.h"
#include "base/handles_win.h"
#include "base/os_win.h"
#include "base/wide_win.h"
#include "remote/display_settings_win.h"
#include "remote/rdp.h"

namespace qx {
namespace {

constexpr unsigned kDeleteAfterMs = 5000;

std::wstring RdpPath(std::string_view businessId) {
  return ProgramFolder() + Wide(RdpFileName(businessId));
}

[[nodiscard]] bool WriteRdpFile(const std::wstring& path, const RdpMachine& m,
                                const std::optional<DisplaySettings>& settings) {
  return WriteFileAtomically(
      path, BuildRdpText(m.address, m.account, ProtectRdpPassword(m.password), settings));
}

// Connection files opened and not yet deleted, each with the number of its
// deletion. Whatever is left when the program ends is deleted then, so no
// protected password stays behind.
class PendingFiles {
 public:
  ~PendingFiles() {
    for (const auto& [key, entry] : files_) DeleteFileW(entry.path.c_str());
  }
  // The deletion's number; 0 when the file is already waiting for one.
  unsigned Add(const std::wstring& path) {
    auto [it, added] = files_.try_emplace(Key(path), Entry{path, next_});
    if (!added) return 0;
    return next_++;
  }
  // Deletes the file if it still waits for this deletion.
  void Delete(const std::wstring& path, unsigned number) {
    auto it = files_.find(Key(path));
    if (it == files_.end() || it->second.number != number) return;
    DeleteFileW(path.c_str());
    files_.erase(it);
  }
  // The file stays (a shortcut has been written over it).
  void Keep(const std::wstring& path) { files_.erase(Key(path)); }

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

RdpConnectResult ConnectRdp(const RdpMachine& machine) {
  const std::wstring path = RdpPath(machine.businessId);
  const unsigned number = Pending().Add(path);
  if (!number) return RdpConnectResult::AlreadyOpening;
  if (!WriteRdpFile(path, machine, ReadDisplaySettings())) {
    // Whatever lies there (a shortcut saved before) is not this connection's
    // file: it is neither opened nor deleted.
    Pending().Keep(path);
    return RdpConnectResult::NotWritten;
  }
  ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  RunLater(ProgramFlows(), kDeleteAfterMs, [path, number] { Pending().Delete(path, number); });
  return RdpConnectResult::Opened;
}

bool SaveRdpShortcut(const RdpMachine& machine) {
  const std::wstring path = RdpPath(machine.businessId);
  // A connection file waiting for its deletion would take the shortcut with it.
  Pending().Keep(path);
  return WriteRdpFile(path, machine, std::nullopt);
}

}  // namespace qx
