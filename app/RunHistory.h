#pragma once

// What the front-ends call to keep the history of runs: right before a run's first command
// that changes the drive, after the run has ended, and once at start-up when the drives have
// been scanned. They take plain values, so that the window and the command line each pass
// what they already hold.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "flash/RunEnding.h"
#include "history/HistoryLock.h"
#include "history/HistoryStore.h"
#include "transport/ScsiDevice.h"
#include "transport/ScsiTransport.h"

namespace flashtool {

// What a front-end knows of a press once its worker has ended.
struct RunFacts {
    std::string programVersion;    // the program's version
    std::string firmwareRevision;  // BuildConfig::NewRevision()
    std::string identification;    // the row's identification before the run
    std::string node;              // the row's first node name; "" where there is none
    std::string revisionBefore;
    std::string revisionAfter;  // the row's revision after the run, as the table shows it
    RunEnding ending;           // FlashDialog::LastEnding()
    // The drive's lasting marks (RecordedDrive.h): filled by RecordBegun from the drive.
    std::string serial = {};
    std::string place = {};
    // Held from the mark to the run's record (HistoryLock.h).
    std::shared_ptr<HistoryLock> runLock = {};
};

// Appends the mark of a run about to send `drive` its first command that changes it (the
// facts' ending and revision after are not known yet, and not used). First it takes the
// history's run lock into the facts (waiting while another copy settles), and reads the
// drive's lasting marks into them: its serial number is asked of the drive, a read-only
// command, only here, where a history is kept. Should the program never get to RecordRun,
// the mark stays pending and the next start settles it. The line to tell the operator when
// it could not be written; none otherwise.
std::optional<std::string> RecordBegun(const HistoryStore& store, RunFacts& facts,
                                       const ScsiDevice& drive,
                                       std::chrono::system_clock::time_point now);

// Appends the record of a press that sent the drive a command that changes it, or that left
// its mark (`begun`: the mark needs the run's record to end it, whatever the ending); any
// other press is not a run of the history, and nothing is written. Gives up the facts' run
// lock once the record is written. The line to tell the operator when the record could not
// be written; none otherwise.
std::optional<std::string> RecordRun(const HistoryStore& store, RunFacts& facts,
                                     std::chrono::system_clock::time_point now, bool begun = false);

// A drive as the scan at start-up found it.
struct PresentDrive {
    std::string identification;
    std::vector<std::string> nodes;
    std::string revision;
    // Its serial number ("" for none), read from the drive only when asked, and asked only
    // of a drive that may be a pending run's. None given: it has none.
    std::function<std::string()> readSerial = {};
    // Its place on its bus ("" where the platform names none), asked only of such a drive
    // too. None given: it has none.
    std::function<std::string()> readPlace = {};
    // Its revision read again (none: it did not answer), for a drive whose run is about to be
    // settled: the scan may have read it while another copy was still writing it. None
    // given: the scan's.
    std::function<std::optional<std::string>()> readRevision = {};
};

// The transport's filled rows, after a scan (ScanDevices or FillDriveTree), with the readers
// that send their commands through it.
std::vector<PresentDrive> PresentDrives(ScsiTransport& transport);

// Settles the pending runs of the history against the drives present and appends the
// resolutions: the lines to tell the operator (one per pending run, and one when the history
// could not be read, locked or written), in order. Nothing when no run is pending.
//
// Only what no run holds is settled: under the history's lock, taken alone and without
// waiting (HistoryLock.h), with the history read again once it is held. While another copy
// is between a run's mark and its record nothing is settled, and one line says so.
//
// A pending run's drive is the present one of the same identification whose serial number
// is the run's, or, where either has none, whose place is; for a run recorded without them,
// the one at the run's node, or where the run had no node, the only present drive of that
// identification. A drive that two present ones would answer to is not taken: another drive
// of the same model must never be said to have failed.
std::vector<std::string> ResolvePending(const HistoryStore& store,
                                        std::span<const PresentDrive> drives,
                                        std::string_view programVersion,
                                        std::chrono::system_clock::time_point now);

}  // namespace flashtool
