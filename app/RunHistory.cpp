#include "app/RunHistory.h"

#include <algorithm>

#include "history/JsonBounds.h"
#include "history/PendingRuns.h"
#include "history/RecordedDrive.h"
#include "transport/UnitSerial.h"

namespace flashtool {

namespace {

template <size_t N>
std::string FieldText(const std::array<char, N>& field, size_t length) {
    const auto end = std::find(field.begin(), field.begin() + std::min(length, N), '\0');
    return std::string(field.begin(), end);
}

// A lasting mark as the history keeps it: no longer than a record's text, so that what is
// read from a drive compares equal to what a record holds. A place keeps its end, where the
// port that tells two drives apart is named.
std::string BoundedSerial(std::string serial) {
    serial.resize(std::min(serial.size(), kMaxJsonStringLength));
    return serial;
}
std::string BoundedPlace(const std::string& place) {
    return place.size() <= kMaxJsonStringLength ? place
                                                : place.substr(place.size() - kMaxJsonStringLength);
}

// The present drives, each one's serial number read at most once, when first asked.
class Candidates {
public:
    explicit Candidates(std::span<const PresentDrive> drives)
        : drives(drives), serials(drives.size()), places(drives.size()), revisions(drives.size()) {}

    // The one present drive that is the run's (see ResolvePending); none when no drive, or
    // more than one, answers to it.
    std::optional<size_t> DriveOf(const HistoryRecord& run) {
        std::vector<size_t> found;
        for (size_t n = 0; n < drives.size(); ++n) {
            if (drives[n].identification == run.identification && IsRuns(run, n)) {
                found.push_back(n);
            }
        }
        return found.size() == 1 ? std::optional(found.front()) : std::nullopt;
    }

    // The drive's revision as it reports it now, read once.
    std::optional<std::string> Revision(size_t n) {
        if (!revisions[n]) {
            revisions[n] = drives[n].readRevision ? drives[n].readRevision()
                                                  : std::optional(drives[n].revision);
        }
        return *revisions[n];
    }

private:
    bool IsRuns(const HistoryRecord& run, size_t n) {
        const PresentDrive& drive = drives[n];
        // The drive is asked for its serial number only when the run has one to compare.
        const std::string serial = run.serial.empty() ? std::string() : Serial(n);
        const bool placeCounts = (run.serial.empty() || serial.empty()) && !run.place.empty();
        const std::string place = placeCounts ? Place(n) : std::string();
        switch (MatchLasting(run.serial, run.place, serial, place)) {
            case LastingMatch::Same:
                return true;
            case LastingMatch::Other:
                return false;
            case LastingMatch::Unknown:
                break;
        }
        // Where the run had no node, any drive of its model answers; DriveOf takes it only
        // when it is the only one.
        return run.node.empty() ||
               std::find(drive.nodes.begin(), drive.nodes.end(), run.node) != drive.nodes.end();
    }

    const std::string& Serial(size_t n) {
        if (!serials[n]) {
            serials[n] = drives[n].readSerial ? BoundedSerial(drives[n].readSerial()) : "";
        }
        return *serials[n];
    }
    const std::string& Place(size_t n) {
        if (!places[n]) {
            places[n] = drives[n].readPlace ? BoundedPlace(drives[n].readPlace()) : "";
        }
        return *places[n];
    }

    std::span<const PresentDrive> drives;
    std::vector<std::optional<std::string>> serials;
    std::vector<std::optional<std::string>> places;
    std::vector<std::optional<std::optional<std::string>>> revisions;
};

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
    record.serial = facts.serial;
    record.place = facts.place;
    record.revisionBefore = facts.revisionBefore;
    return record;
}

// The runs the history leaves pending, read in bounded memory; the error when it could not
// be read.
std::vector<HistoryRecord> PendingIn(const HistoryStore& store, std::string& error) {
    PendingTracker tracker;
    error = store.Read([&](const HistoryRecord& record) { tracker.Add(record); }).error;
    return tracker.Pending();
}

}  // namespace

std::optional<std::string> RecordBegun(const HistoryStore& store, RunFacts& facts,
                                       const ScsiDevice& drive,
                                       std::chrono::system_clock::time_point now) {
    HistoryLock::Taking taking = HistoryLock::Take(store.Place(), HistoryLock::Mode::Run);
    facts.runLock = std::move(taking.lock);
    facts.serial = BoundedSerial(ReadUnitSerialNumber(drive));
    facts.place = BoundedPlace(drive.Transport().PlaceOf(drive.Row()));
    if (std::optional<std::string> error =
            store.Append(RecordOf(HistoryRecordKind::Begun, facts, now))) {
        return "This run could not be marked in the history (" + PathText(store.File()) +
               "): " + *error;
    }
    return std::nullopt;
}

std::optional<std::string> RecordRun(const HistoryStore& store, RunFacts& facts,
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
    const std::optional<std::string> error = store.Append(record);
    // The run has its record: from now on a copy may settle it.
    facts.runLock.reset();
    if (error) {
        return "This run could not be added to the history (" + PathText(store.File()) +
               "): " + *error;
    }
    return std::nullopt;
}

std::vector<PresentDrive> PresentDrives(ScsiTransport& transport) {
    std::vector<PresentDrive> drives;
    for (uint8_t row = 0; row < transport.DeviceCount(); ++row) {
        const DeviceEntry& entry = transport.Device(row);
        PresentDrive drive{FieldText(entry.identification, kIdentificationLength),
                           transport.NodeNames(row), FieldText(entry.revision, kRevisionLength)};
        drive.readSerial = [&transport, row] {
            const std::optional<ScsiDevice> device = transport.DeviceAt(row);
            return device ? ReadUnitSerialNumber(*device) : std::string();
        };
        drive.readPlace = [&transport, row] { return transport.PlaceOf(row); };
        drive.readRevision = [&transport, row]() -> std::optional<std::string> {
            if (!transport.RefreshRow(row)) {
                return std::nullopt;
            }
            return FieldText(transport.Device(row).revision, kRevisionLength);
        };
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::vector<std::string> ResolvePending(const HistoryStore& store,
                                        std::span<const PresentDrive> drives,
                                        std::string_view programVersion,
                                        std::chrono::system_clock::time_point now) {
    const std::string file = PathText(store.File());
    std::string error;
    if (PendingIn(store, error).empty()) {
        return error.empty() ? std::vector<std::string>{}
                             : std::vector<std::string>{"The history (" + file +
                                                        ") could not be read: " + error};
    }
    const HistoryLock::Taking taking = HistoryLock::Take(store.Place(), HistoryLock::Mode::Settle);
    if (taking.busy) {
        return {
            "History: another copy of the program is updating a drive now; the runs still "
            "pending are settled at a later start."};
    }
    if (!taking.lock) {
        return {"The history (" + file +
                ") could not be locked to settle its pending runs: " + taking.error};
    }
    // Read again under the lock: a run may have ended since.
    const std::vector<HistoryRecord> pending = PendingIn(store, error);
    if (!error.empty()) {
        return {"The history (" + file + ") could not be read: " + error};
    }
    Candidates candidates(drives);
    Resolutions resolutions = ResolvePendingRuns(
        pending,
        [&](const HistoryRecord& run) -> std::optional<std::string> {
            const std::optional<size_t> drive = candidates.DriveOf(run);
            return drive ? candidates.Revision(*drive) : std::nullopt;
        },
        HistoryTime(now), programVersion);
    for (const HistoryRecord& record : resolutions.records) {
        if (std::optional<std::string> failure = store.Append(record)) {
            resolutions.lines.push_back("The history could not record this (" + file +
                                        "): " + *failure);
            break;
        }
    }
    return resolutions.lines;
}

}  // namespace flashtool
