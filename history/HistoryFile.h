#pragma once

// The platform's half of writing the history: one file per platform (HistoryFilePosix.cpp,
// HistoryFileWindows.cpp), as the calls that make a write durable differ.

#include <optional>
#include <string>
#include <string_view>

#include "history/HistoryPlace.h"

namespace flashtool {

// Appends `line` (one whole record, '\n' included) to the file `fileName` of the place's
// folder, creating the folder and the file when missing, and returns once the system says
// the bytes are on the disk; the error, in words, when any step failed.
//
// The line goes in one write at the file's end under an exclusive lock on the file, so that
// two processes, or two threads, never interleave within a record. When the file does not
// end with '\n' (a write cut short by a crash), a '\n' goes first in the same write: the cut
// line stays a line of its own, skipped by the reader, and this record stays whole.
std::optional<std::string> AppendLineDurably(const HistoryPlace& place, std::string_view fileName,
                                             std::string_view line);

}  // namespace flashtool
