#include "history/HistoryFormat.h"

#include <algorithm>

#include "core/Format.h"
#include "history/FlatJson.h"
#include "history/PendingRuns.h"

namespace flashtool {

namespace {

bool StillPending(const HistoryRecord& record, std::span<const HistoryRecord> pending) {
    return std::find(pending.begin(), pending.end(), record) != pending.end();
}

// A run's mark, followed by the run's own record: the run ended, and its record says how.
// Only a mark that nothing but a resolution (or nothing at all) follows is shown.
bool EndedMark(std::span<const HistoryRecord> records, size_t index) {
    const HistoryRecord& mark = records[index];
    if (mark.kind != HistoryRecordKind::Begun) {
        return false;
    }
    for (size_t later = index + 1; later < records.size(); ++later) {
        if (records[later].identification == mark.identification &&
            records[later].node == mark.node) {
            return records[later].kind == HistoryRecordKind::Run;
        }
    }
    return false;
}

// The name a record's kind is shown with, as wide as the widest.
std::string_view KindLabel(HistoryRecordKind kind) {
    switch (kind) {
        case HistoryRecordKind::Run:
            return "run       ";
        case HistoryRecordKind::Begun:
            return "begun     ";
        case HistoryRecordKind::Resolution:
        default:
            return "resolved  ";
    }
}

std::string Outcome(const HistoryRecord& record) {
    if (record.kind == HistoryRecordKind::Begun) {
        return "never ended (the program stopped while the drive was written)";
    }
    if (record.kind == HistoryRecordKind::Resolution) {
        const std::string_view name = ResolutionName(record);
        return std::string(name) + (name == "failed" ? ": still reports " : ": reports ") +
               record.revisionAfter;
    }
    std::string text(EndingFileName(record.ending));
    if (record.code) {
        text += FormatText(" (code %d)", static_cast<int>(*record.code));
    }
    switch (record.after) {
        case RevisionAfterRun::New:
            return text + ", verified: reports " + record.revisionAfter;
        case RevisionAfterRun::Old:
            return text + ", still reports " + record.revisionAfter;
        case RevisionAfterRun::Other:
            return text + ", reports " + record.revisionAfter;
        case RevisionAfterRun::Unreadable:
            return text + ", the drive did not answer";
        case RevisionAfterRun::Same:
            return text + ", reports " + record.revisionAfter + " as before (a reinstall)";
        case RevisionAfterRun::NotRead:
            break;
    }
    return text;
}

}  // namespace

std::string_view ResolutionName(const HistoryRecord& resolution) {
    switch (resolution.after) {
        case RevisionAfterRun::New:
            return "verified";
        case RevisionAfterRun::Old:
            return "failed";
        case RevisionAfterRun::Same:
            return "unknown";
        default:
            return "other";
    }
}

std::string HistoryText(const HistoryContents& contents) {
    const std::vector<HistoryRecord> pending = PendingRuns(contents.records);
    std::string text;
    for (size_t i = 0; i < contents.records.size(); ++i) {
        const HistoryRecord& record = contents.records[i];
        if (EndedMark(contents.records, i)) {
            continue;
        }
        const bool run = record.kind != HistoryRecordKind::Resolution;
        text += record.time + "  " + std::string(KindLabel(record.kind)) + "\"" +
                record.identification + "\"  " + (record.node.empty() ? "-" : record.node) + "  " +
                record.revisionBefore + " -> " + record.firmwareRevision + "  " + Outcome(record) +
                (run && StillPending(record, pending) ? "  (pending)" : "") + "  [program " +
                record.programVersion + "]\n";
    }
    if (contents.records.empty()) {
        text += "No runs recorded.\n";
    }
    if (contents.skipped > 0) {
        text += FormatText("%zu damaged line%s of the history skipped.\n", contents.skipped,
                           contents.skipped == 1 ? "" : "s");
    }
    return text;
}

std::string HistoryJson(std::span<const HistoryRecord> records) {
    const std::vector<HistoryRecord> pending = PendingRuns(records);
    std::string text = "[";
    bool first = true;
    for (size_t i = 0; i < records.size(); ++i) {
        const HistoryRecord& record = records[i];
        if (EndedMark(records, i)) {
            continue;
        }
        const bool run = record.kind != HistoryRecordKind::Resolution;
        text += std::string(first ? "\n" : ",\n") + "  {\"kind\": " +
                JsonQuoted(record.kind == HistoryRecordKind::Run     ? "run"
                           : record.kind == HistoryRecordKind::Begun ? "begun"
                                                                     : "resolution") +
                ", \"time\": " + JsonQuoted(record.time) +
                ", \"program\": " + JsonQuoted(record.programVersion) +
                ", \"firmware\": " + JsonQuoted(record.firmwareRevision) +
                ", \"identification\": " + JsonQuoted(record.identification) +
                ", \"node\": " + JsonQuoted(record.node) +
                ", \"revisionBefore\": " + JsonQuoted(record.revisionBefore) +
                ", \"ending\": " + JsonQuoted(EndingFileName(record.ending)) + ", \"code\": " +
                (record.code ? std::to_string(static_cast<int>(*record.code)) : "null") +
                ", \"after\": " + JsonQuoted(AfterFileName(record.after)) +
                ", \"revisionAfter\": " + JsonQuoted(record.revisionAfter) +
                (run ? std::string(", \"pending\": ") +
                           (StillPending(record, pending) ? "true" : "false")
                     : ", \"resolution\": " + JsonQuoted(ResolutionName(record))) +
                "}";
        first = false;
    }
    return text + (first ? "]" : "\n]");
}

}  // namespace flashtool
