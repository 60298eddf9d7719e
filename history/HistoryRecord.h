#pragma once

// One entry of the history of runs: a run that sent the drive a command that changes it, the
// mark a run leaves just before its first such command, or the resolution of a run whose
// outcome the drive could only show after a restart (or that never ended).
//
// On disk each record is one line, a flat JSON object that ends with a check of the bytes
// before it:
//
//   {"v":1,"kind":"run",...,"revisionAfter":"1.0d","crc32":"5c1d9a0e"}
//
// so that every line is valid JSON for any tool, and a line cut short by a crash or a power
// loss (no check, or a check that does not match) is recognised and skipped rather than
// read as a record.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "flash/RunEnding.h"
#include "history/JsonBounds.h"

namespace flashtool {

enum class HistoryRecordKind : uint8_t {
    Run,         // a press that sent the drive a command that changes it
    Resolution,  // a later start read the drive of a pending run again
    // Written before the first command that changes the drive, and settled by the run's own
    // record at its end. Alone, it is a run cut short by a crash or a power loss: pending.
    Begun,
};

struct HistoryRecord {
    HistoryRecordKind kind = HistoryRecordKind::Run;
    std::string time;              // UTC, "2025-06-01T10:20:30Z" (HistoryTime)
    std::string programVersion;    // of the program that wrote the record
    std::string firmwareRevision;  // the revision the run installs
    std::string identification;    // INQUIRY's vendor and product, as the drive sent them
    std::string node;              // the node the run went through ("/dev/sg1"); "" where none
    // Which drive it was, in terms that outlast a restart (a node's name may not): its unit
    // serial number as it reported it, and its place on its bus as the system names it; ""
    // where unknown, and in every record written before they were kept (RecordedDrive.h).
    std::string serial;
    std::string place;
    std::string revisionBefore;
    // A resolution keeps its run's ending and code; its `after` is what the drive reports now.
    RunEndingKind ending = RunEndingKind::NothingSent;
    std::optional<ResultCode> code;
    RevisionAfterRun after = RevisionAfterRun::NotRead;
    std::string revisionAfter;  // "" when nothing was read

    friend bool operator==(const HistoryRecord&, const HistoryRecord&) = default;
};

// The record as one line of the history, '\n' included. A text longer than
// kMaxJsonStringLength is cut to that length. The serial number and the place are written
// only where known, so that a line without them is exactly the first version's; a reader
// of that version passes over them.
std::string HistoryLine(const HistoryRecord& record);

// The record a line holds (without its '\n'); none for a line that is cut short, damaged, of
// another format version, or breaks a bound. Never throws.
std::optional<HistoryRecord> ParseHistoryLine(std::string_view line);

// A moment as the history writes it: UTC to the second, ISO 8601.
std::string HistoryTime(std::chrono::system_clock::time_point time);

// The names the file uses; they are the file's, and do not change with the texts shown.
std::string_view EndingFileName(RunEndingKind kind);
std::string_view AfterFileName(RevisionAfterRun after);

}  // namespace flashtool
