// Files written whole or not at all. Every file the program writes goes
// through here: the credentials, the display settings, the connection files,
// the carried programs.
#pragma once

#include <string>
#include <string_view>

namespace qx {

// Writes `bytes` as the whole new content of `path`: first into a temporary
// file in the same folder, flushed to the disk, then moved over `path` in one
// step (MoveFileExW, replacing, write-through). A crash, a kill or a full
// disk leaves the old file or the new one, never a part of either. On
// failure the temporary file is removed, the old file stays as it was, and
// the result is false, with GetLastError telling why.
[[nodiscard]] bool WriteFileAtomically(const std::wstring& path, std::string_view bytes);

// Removes the temporary files that writes cut short (the program killed
// mid-write) left in `folder` (a path ending in a backslash). A temporary
// file still being written is open, and stays.
void RemoveLeftoverTempFiles(const std::wstring& folder);

}  // namespace qx
