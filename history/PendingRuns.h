#pragma once

// Runs whose outcome the drive could not show yet, and runs that never ended (the program
// was killed, or the power failed, while the drive was written: only their mark is there). A drive
// that confirmed the update but still reports its old revision, or that vanished right after it,
// often shows the new one only after a restart; one that took every page without confirming may or
// may not have taken them. The next start of the program reads the drive's identification again and
// settles the run: verified (it reports the revision the run installed) or failed (it still
// reports the one before).

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "history/HistoryRecord.h"

namespace flashtool {

// True for the record of a run whose outcome is still to be read from the drive.
bool IsPendingRun(const HistoryRecord& record);

// Follows the history record by record, in the order it was written, and keeps only what a
// later record may still change: each drive's pending run, and the marks whose run has not
// ended yet. A drive is known as RecordedDrive.h says; a later run on the same drive, or a
// resolution, settles its run. Its memory grows with the drives and with the runs cut short,
// never with the length of the history.
class PendingTracker {
public:
    // The next record; its index is the number of records added before it.
    void Add(const HistoryRecord& record);

    // The runs no later record settles, oldest first.
    std::vector<HistoryRecord> Pending() const;
    bool IsPending(uint64_t index) const;
    // A run's mark that its own run's record does not follow (nothing of that drive does,
    // or only a resolution): a run cut short. A mark its run's record follows is that run.
    bool IsUnendedMark(uint64_t index) const;
    uint64_t Count() const { return count; }

private:
    struct Indexed {
        uint64_t index = 0;
        HistoryRecord record;
    };
    std::vector<Indexed> pending;
    std::vector<Indexed> openMarks;  // marks no record of their drive has followed yet
    std::set<uint64_t> unended;      // marks something other than their run followed
    uint64_t count = 0;
};

// The pending runs of `records` (PendingTracker), oldest first.
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
