#include "app/RunHistory.h"

#include <algorithm>

#include "history/PendingRuns.h"

namespace flashtool {

namespace {

template <size_t N>
std::string FieldText(const std::array<char, N>& field, size_t length) {
    const auto end = std::find(field.begin(), field.begin() + std::min(length, N), '\0');
    return std::string(field.begin(), end);
}

const PresentDrive* DriveOf(const HistoryRecord& run, std::span<const PresentDrive> drives) {
    const PresentDrive* found = nullptr;
    size_t sameModel = 0;
    for (const PresentDrive& drive : drives) {
        if (drive.identification != run.identification) {
            continue;
        }
        ++sameModel;
        if (!run.node.empty() &&
            std::find(drive.nodes.begin(), drive.nodes.end(), run.node) != drive.nodes.end()) {
            return &drive;
        }
        found = &drive;
    }
    return run.node.empty() && sameModel == 1 ? found : nullptr;
}

// What every record of a run holds: when, by which program, which drive, from what to what.
HistoryRecord RecordOf(HistoryRecordKind kind, const RunFacts& facts,
                       std::chrono::system_clock::time_point now) {
    HistoryRecord record;
    record.kind = kind;
    record.time = HistoryTime(now);
    record.programVersion = facts.programVersion;
    record.firmwareRevision = facts.firmwareRevision;
    record.identification = facts.identification;
    record.node = facts.node;
    record.revisionBefore = facts.revisionBefore;
    return record;
}

}  // namespace

std::optional<std::string> RecordBegun(const HistoryStore& store, const RunFacts& facts,
                                       std::chrono::system_clock::time_point now) {
    if (std::optional<std::string> error =
            store.Append(RecordOf(HistoryRecordKind::Begun, facts, now))) {
        return "This run could not be marked in the history (" + PathText(store.File()) +
               "): " + *error;
    }
    return std::nullopt;
}

std::optional<std::string> RecordRun(const HistoryStore& store, const RunFacts& facts,
                                     std::chrono::system_clock::time_point now, bool begun) {
    if (!facts.ending.DriveChanged() && !begun) {
        return std::nullopt;
    }
    HistoryRecord record = RecordOf(HistoryRecordKind::Run, facts, now);
    record.ending = facts.ending.kind;
    record.code = facts.ending.code;
    record.after = facts.ending.after;
    // The table keeps the revision it had when the drive did not answer: that was not read.
    const bool read =
        record.after == RevisionAfterRun::New || record.after == RevisionAfterRun::Old ||
        record.after == RevisionAfterRun::Other || record.after == RevisionAfterRun::Same;
    record.revisionAfter = read ? facts.revisionAfter : "";
    if (std::optional<std::string> error = store.Append(record)) {
        return "This run could not be added to the history (" + PathText(store.File()) +
               "): " + *error;
    }
    return std::nullopt;
}

std::vector<PresentDrive> PresentDrives(const ScsiTransport& transport) {
    std::vector<PresentDrive> drives;
    for (uint8_t row = 0; row < transport.DeviceCount(); ++row) {
        const DeviceEntry& entry = transport.Device(row);
        drives.push_back({FieldText(entry.identification, kIdentificationLength),
                          transport.NodeNames(row), FieldText(entry.revision, kRevisionLength)});
    }
    return drives;
}

std::vector<std::string> ResolvePending(const HistoryStore& store,
                                        std::span<const PresentDrive> drives,
                                        std::string_view programVersion,
                                        std::chrono::system_clock::time_point now) {
    const HistoryContents contents = store.ReadAll();
    if (!contents.error.empty()) {
        return {"The history (" + PathText(store.File()) +
                ") could not be read: " + contents.error};
    }
    const std::vector<HistoryRecord> pending = PendingRuns(contents.records);
    if (pending.empty()) {
        return {};
    }
    Resolutions resolutions = ResolvePendingRuns(
        pending,
        [&](const HistoryRecord& run) -> std::optional<std::string> {
            const PresentDrive* drive = DriveOf(run, drives);
            return drive != nullptr ? std::optional(drive->revision) : std::nullopt;
        },
        HistoryTime(now), programVersion);
    for (const HistoryRecord& record : resolutions.records) {
        if (std::optional<std::string> error = store.Append(record)) {
            resolutions.lines.push_back("The history could not record this (" +
                                        PathText(store.File()) + "): " + *error);
            break;
        }
    }
    return resolutions.lines;
}

}  // namespace flashtool
