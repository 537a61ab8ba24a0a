// The program's dealings with the operating system outside its windows:
// files, folders, the environment, the program folder, opening things with
// their associated program and message boxes. Paths and texts are GBK and go
// to the W API through code page 936.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/text.h"
#include "base/wide_win.h"  // Wide(), Narrow()

namespace qx {

// The system's text for an error code (GetLastError), GBK, without the
// line break it ends with; the number when the system has none.
Text SystemErrorText(unsigned long code);

// A message box with no owner, task-modal; or, given an owner, modal to it.
int MessageBoxGbk(std::string_view text, std::string_view title, UINT flags = MB_OK,
                  HWND owner = nullptr);
// Opens a URL or file with its associated program.
void ShellOpen(std::string_view target);

// The files of a refused data folder (DataFolderIsUsers) are neither read,
// written nor deleted: these fail there as on a missing file.
// Reads at most maxBytes (a file larger than that is not one of ours); false
// when the file cannot be opened (`out` is then empty).
[[nodiscard]] bool ReadWholeFile(std::string_view path, Bytes& out, size_t maxBytes = SIZE_MAX);
// The whole file replaced in one step, never left half-written
// (WriteFileAtomically); false when the old file stays.
[[nodiscard]] bool WriteWholeFile(std::string_view path, std::string_view bytes);
void DeleteFileGbk(std::string_view path);

// An environment variable's value; empty when it is unset or empty.
std::wstring EnvironmentValue(const wchar_t* name);

// The layout is designed at 96 DPI; the program is system DPI aware (its
// manifest says so), so every window scales the design by SystemDpi() / 96.
// CreateChild and CreateTopWindow take design units and scale them; other
// pixel figures (list column widths, SetWindowPos, pictures) go through Scale.
int SystemDpi();
int Scale(int designPixels);

// The folder holding the running program, with its final backslash.
std::wstring ProgramFolder();

}  // namespace qx
