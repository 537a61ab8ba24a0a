// The process that wrote one of the files that must not outlive the program
// (a connection file, a password file), kept with the file or in its name.
#pragma once

namespace qx {

// Its id and its start time (a FILETIME count), which tells it from a later
// process given the same id.
struct FileWriter {
  unsigned long pid = 0;
  unsigned long long started = 0;
  bool operator==(const FileWriter&) const = default;
};

}  // namespace qx
