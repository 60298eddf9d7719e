#include "history/PendingRuns.h"

#include <algorithm>

#include "core/Format.h"
#include "history/RecordedDrive.h"

namespace flashtool {

namespace {

// "drive "ORIN    DVD RW QV-5500A " (/dev/sg1), updated on 2025-06-01T10:20:30Z from 1.0d to
// 1.0e"
// Every text comes from a drive or from the file: shown escaped (ShownText).
std::string RunDescription(const HistoryRecord& run) {
    std::string text = "History: drive \"" + ShownText(run.identification) + "\"";
    if (!run.serial.empty()) {
        text += " (serial number " + ShownText(run.serial) + ")";
    } else if (!run.node.empty()) {
        text += " (" + ShownText(run.node) + ")";
    }
    const std::string span = " on " + ShownText(run.time) + " from " +
                             ShownText(run.revisionBefore) + " to " +
                             ShownText(run.firmwareRevision);
    if (run.kind == HistoryRecordKind::Begun) {
        return text + ", an update begun" + span + " that never ended";
    }
    return text + ", " + (run.ending == RunEndingKind::NotConfirmed ? "not confirmed" : "updated") +
           span;
}

}  // namespace

bool IsPendingRun(const HistoryRecord& record) {
    if (record.kind == HistoryRecordKind::Begun) {
        return true;  // until the run's own record, or a resolution, follows it
    }
    if (record.kind != HistoryRecordKind::Run) {
        return false;
    }
    return record.ending == RunEndingKind::NotConfirmed ||
           (record.ending == RunEndingKind::Updated &&
            (record.after == RevisionAfterRun::Old ||
             record.after == RevisionAfterRun::Unreadable));
}

void PendingTracker::Add(const HistoryRecord& record) {
    const uint64_t index = count++;
    std::erase_if(pending,
                  [&](const Indexed& run) { return SameRecordedDrive(run.record, record); });
    std::erase_if(openMarks, [&](const Indexed& mark) {
        if (!SameRecordedDrive(mark.record, record)) {
            return false;
        }
        if (record.kind != HistoryRecordKind::Run) {
            unended.insert(mark.index);
        }
        return true;
    });
    if (IsPendingRun(record)) {
        pending.push_back({index, record});
    }
    if (record.kind == HistoryRecordKind::Begun) {
        openMarks.push_back({index, record});
    }
}

std::vector<HistoryRecord> PendingTracker::Pending() const {
    std::vector<HistoryRecord> runs;
    for (const Indexed& run : pending) {
        runs.push_back(run.record);
    }
    return runs;
}

bool PendingTracker::IsPending(uint64_t index) const {
    return std::any_of(pending.begin(), pending.end(),
                       [index](const Indexed& run) { return run.index == index; });
}

bool PendingTracker::IsUnendedMark(uint64_t index) const {
    return unended.contains(index) ||
           std::any_of(openMarks.begin(), openMarks.end(),
                       [index](const Indexed& mark) { return mark.index == index; });
}

std::vector<HistoryRecord> PendingRuns(std::span<const HistoryRecord> records) {
    PendingTracker tracker;
    for (const HistoryRecord& record : records) {
        tracker.Add(record);
    }
    return tracker.Pending();
}

Resolutions ResolvePendingRuns(std::span<const HistoryRecord> pending,
                               const CurrentRevision& current, std::string_view time,
                               std::string_view programVersion) {
    Resolutions resolutions;
    for (const HistoryRecord& run : pending) {
        const std::optional<std::string> now = current(run);
        if (!now) {
            resolutions.lines.push_back(RunDescription(run) +
                                        ": the drive is not here to check; it stays pending.");
            continue;
        }
        HistoryRecord resolution = run;
        resolution.kind = HistoryRecordKind::Resolution;
        resolution.time = std::string(time);
        resolution.programVersion = std::string(programVersion);
        resolution.revisionAfter = *now;
        // A reinstall's drive reported the build's revision before the run too: reporting it
        // now says nothing of whether the run took. Settled, but never as verified.
        if (*now == run.firmwareRevision && run.revisionBefore == run.firmwareRevision) {
            resolution.after = RevisionAfterRun::Same;
            resolutions.lines.push_back(
                RunDescription(run) + ": it reports " + ShownText(*now) +
                ", as it did before: its revision cannot tell whether the reinstall took; run it "
                "again to be sure.");
        } else if (*now == run.firmwareRevision) {
            resolution.after = RevisionAfterRun::New;
            resolutions.lines.push_back(RunDescription(run) + ": it now reports " +
                                        ShownText(*now) + ": verified.");
        } else if (*now == run.revisionBefore) {
            resolution.after = RevisionAfterRun::Old;
            resolutions.lines.push_back(RunDescription(run) + ": it still reports " +
                                        ShownText(*now) + ": the update FAILED; run it again.");
        } else {
            resolution.after = RevisionAfterRun::Other;
            resolutions.lines.push_back(RunDescription(run) + ": it now reports " +
                                        ShownText(*now) + ", neither of them: check the drive.");
        }
        resolutions.records.push_back(std::move(resolution));
    }
    return resolutions;
}

}  // namespace flashtool
