#pragma once

// Runs whose outcome the drive could not show yet, and runs that never ended (the program
// was killed, or the power failed, while the drive was written: only their mark is there). A drive that confirmed the update but
// still reports its old revision, or that vanished right after it, often shows the new one
// only after a restart; one that took every page without confirming may or may not have
// taken them. The next start of the program reads the drive's identification again and
// settles the run: verified (it reports the revision the run installed) or failed (it still
// reports the one before).

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "history/HistoryRecord.h"

namespace flashtool {

// True for the record of a run whose outcome is still to be read from the drive.
bool IsPendingRun(const HistoryRecord& record);

// The pending runs that no later record settles, oldest first. A drive is known by its
// identification and node; a later run on the same drive, or a resolution, settles it.
std::vector<HistoryRecord> PendingRuns(std::span<const HistoryRecord> records);

// The revision the drive of a pending run reports now; none when that drive is not present
// (or not the same drive). The front-end reads it through its transport.
using CurrentRevision = std::function<std::optional<std::string>(const HistoryRecord& pending)>;

struct Resolutions {
    std::vector<HistoryRecord> records;  // to append, one per run settled
    std::vector<std::string> lines;      // to tell the operator, one per pending run
};

// Settles each pending run whose drive answers: the resolution record (at `time`, written by
// `programVersion`) and a line saying what the drive shows. A run whose drive is not present
// stays pending, and its line says so.
Resolutions ResolvePendingRuns(std::span<const HistoryRecord> pending,
                               const CurrentRevision& current, std::string_view time,
                               std::string_view programVersion);

}  // namespace flashtool
