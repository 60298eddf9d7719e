#include "history/PendingRuns.h"

#include <algorithm>

namespace flashtool {

namespace {

bool SameDrive(const HistoryRecord& a, const HistoryRecord& b) {
    return a.identification == b.identification && a.node == b.node;
}

// "drive "ORIN    DVD RW QV-5500A " (/dev/sg1), updated on 2025-06-01T10:20:30Z from 1.0d to
// 1.0e"
std::string RunDescription(const HistoryRecord& run) {
    std::string text = "History: drive \"" + run.identification + "\"";
    if (!run.node.empty()) {
        text += " (" + run.node + ")";
    }
    if (run.kind == HistoryRecordKind::Begun) {
        return text + ", an update begun on " + run.time + " from " + run.revisionBefore + " to " +
               run.firmwareRevision + " that never ended";
    }
    return text + ", " + (run.ending == RunEndingKind::NotConfirmed ? "not confirmed" : "updated") +
           " on " + run.time + " from " + run.revisionBefore + " to " + run.firmwareRevision;
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

std::vector<HistoryRecord> PendingRuns(std::span<const HistoryRecord> records) {
    std::vector<HistoryRecord> pending;
    for (const HistoryRecord& record : records) {
        std::erase_if(pending, [&](const HistoryRecord& run) { return SameDrive(run, record); });
        if (IsPendingRun(record)) {
            pending.push_back(record);
        }
    }
    return pending;
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
                RunDescription(run) + ": it reports " + *now +
                ", as it did before: its revision cannot tell whether the reinstall took; run it "
                "again to be sure.");
        } else if (*now == run.firmwareRevision) {
            resolution.after = RevisionAfterRun::New;
            resolutions.lines.push_back(RunDescription(run) + ": it now reports " + *now +
                                        ": verified.");
        } else if (*now == run.revisionBefore) {
            resolution.after = RevisionAfterRun::Old;
            resolutions.lines.push_back(RunDescription(run) + ": it still reports " + *now +
                                        ": the update FAILED; run it again.");
        } else {
            resolution.after = RevisionAfterRun::Other;
            resolutions.lines.push_back(RunDescription(run) + ": it now reports " + *now +
                                        ", neither of them: check the drive.");
        }
        resolutions.records.push_back(std::move(resolution));
    }
    return resolutions;
}

}  // namespace flashtool
