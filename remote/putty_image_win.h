// The PuTTY program the terminal carries as a resource, and its written-out
// copy C:\qarvex\putty.exe that "Linux远程" starts.
#pragma once

#include <string>
#include <string_view>

#include "base/handles_win.h"
#include "base/private_folder_win.h"

namespace qx {

// Resource ids (RCDATA) in resources/qarvex.rc.
constexpr int kPuttyImageResource = 20;
constexpr int kPuttyLicenceResource = 21;

// Where the image is written and started from: C:\qarvex\putty.exe, or the
// private folder's under %LOCALAPPDATA% when C:\qarvex\ is refused (never a
// folder others may write to); empty when no folder is private.
inline std::wstring PuttyPath() {
  const std::wstring folder = PrivateFilesFolder();
  return folder.empty() ? folder : folder + L"putty.exe";
}

// The embedded image; empty when the resource is missing.
std::string_view PuttyImage();

// Writes the image to PuttyPath(), replacing the file in one step
// (WriteFileAtomically: a failed write never leaves half a program behind). A
// file that already holds exactly the image is left alone: it may be running.
// False on failure, which is not fatal: the launch then fails silently.
[[nodiscard]] bool WritePuttyImage();

// PuttyPath() checked before a start: opened for reading once it
// holds exactly the image (rewritten first when it does not), shared for
// reading only, so that while the handle is held nobody can change, replace
// or delete the file that is about to start. Null when the image is missing
// or the file cannot be made to hold it.
[[nodiscard]] UniqueHandle OpenCheckedPutty();

}  // namespace qx
