// Whether the writer of a leftover file still runs.
#pragma once

#include "remote/file_writer.h"

namespace qx {

// This process as a writer.
FileWriter ThisWriter();
// True when the writer is another process that still runs: its files may be
// in use and stay. A writer that has ended, or this process, is not.
bool IsAnotherRunningWriter(const FileWriter& writer);

}  // namespace qx
