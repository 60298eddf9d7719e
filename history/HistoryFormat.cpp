#include "history/HistoryFormat.h"

#include "core/Format.h"
#include "history/ByteJson.h"

namespace flashtool {

namespace {

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
               ShownText(record.revisionAfter);
    }
    std::string text(EndingFileName(record.ending));
    if (record.code) {
        text += FormatText(" (code %d)", static_cast<int>(*record.code));
    }
    switch (record.after) {
        case RevisionAfterRun::New:
            return text + ", verified: reports " + ShownText(record.revisionAfter);
        case RevisionAfterRun::Old:
            return text + ", still reports " + ShownText(record.revisionAfter);
        case RevisionAfterRun::Other:
            return text + ", reports " + ShownText(record.revisionAfter);
        case RevisionAfterRun::Unreadable:
            return text + ", the drive did not answer";
        case RevisionAfterRun::Same:
            return text + ", reports " + ShownText(record.revisionAfter) +
                   " as before (a reinstall)";
        case RevisionAfterRun::NotRead:
            break;
    }
    return text;
}

// Whether the record is shown at all: a mark only for a run that never ended.
bool Shown(const HistoryRecord& record, uint64_t index, const PendingTracker& tracker) {
    return record.kind != HistoryRecordKind::Begun || tracker.IsUnendedMark(index);
}

std::string KindName(HistoryRecordKind kind) {
    switch (kind) {
        case HistoryRecordKind::Run:
            return "run";
        case HistoryRecordKind::Begun:
            return "begun";
        case HistoryRecordKind::Resolution:
        default:
            return "resolution";
    }
}

}  // namespace

std::string HistoryTextLine(const HistoryRecord& record, uint64_t index,
                            const PendingTracker& tracker) {
    if (!Shown(record, index, tracker)) {
        return "";
    }
    const bool run = record.kind != HistoryRecordKind::Resolution;
    return ShownText(record.time) + "  " + std::string(KindLabel(record.kind)) + "\"" +
           ShownText(record.identification) + "\"  " +
           (record.node.empty() ? "-" : ShownText(record.node)) +
           (record.serial.empty() ? "" : "  serial " + ShownText(record.serial)) + "  " +
           ShownText(record.revisionBefore) + " -> " + ShownText(record.firmwareRevision) + "  " +
           Outcome(record) + (run && tracker.IsPending(index) ? "  (pending)" : "") +
           "  [program " + ShownText(record.programVersion) + "]\n";
}

std::string HistoryTextEnd(uint64_t records, size_t skipped) {
    std::string text = records == 0 ? "No runs recorded.\n" : "";
    if (skipped > 0) {
        text += FormatText("%zu damaged line%s of the history skipped.\n", skipped,
                           skipped == 1 ? "" : "s");
    }
    return text;
}

std::string HistoryJsonObject(const HistoryRecord& record, uint64_t index,
                              const PendingTracker& tracker) {
    if (!Shown(record, index, tracker)) {
        return "";
    }
    JsonValue object = {
        {"kind", KindName(record.kind)},
        {"time", record.time},
        {"program", record.programVersion},
        {"firmware", record.firmwareRevision},
        {"identification", record.identification},
        {"node", record.node},
        {"serial", record.serial},
        {"place", record.place},
        {"revisionBefore", record.revisionBefore},
        {"ending", EndingFileName(record.ending)},
        {"code", record.code ? JsonValue(static_cast<int>(*record.code)) : JsonValue()},
        {"after", AfterFileName(record.after)},
        {"revisionAfter", record.revisionAfter}};
    if (record.kind != HistoryRecordKind::Resolution) {
        object["pending"] = tracker.IsPending(index);
    } else {
        object["resolution"] = ResolutionName(record);
    }
    return JsonLine(object, JsonSpacing::Spaced);
}

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

namespace {

PendingTracker TrackerOf(std::span<const HistoryRecord> records) {
    PendingTracker tracker;
    for (const HistoryRecord& record : records) {
        tracker.Add(record);
    }
    return tracker;
}

}  // namespace

std::string HistoryText(const HistoryContents& contents) {
    const PendingTracker tracker = TrackerOf(contents.records);
    std::string text;
    for (size_t i = 0; i < contents.records.size(); ++i) {
        text += HistoryTextLine(contents.records[i], i, tracker);
    }
    return text + HistoryTextEnd(contents.records.size(), contents.skipped);
}

std::string HistoryJson(std::span<const HistoryRecord> records) {
    const PendingTracker tracker = TrackerOf(records);
    std::string text = "[";
    bool first = true;
    for (size_t i = 0; i < records.size(); ++i) {
        const std::string object = HistoryJsonObject(records[i], i, tracker);
        if (!object.empty()) {
            text += (first ? "\n  " : ",\n  ") + object;
            first = false;
        }
    }
    return text + (first ? "]" : "\n]");
}

}  // namespace flashtool
