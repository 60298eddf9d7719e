#pragma once

// What the front-ends call to keep the history of runs: right before a run's first command
// that changes the drive, after the run has ended, and once at start-up when the drives have
// been scanned. Both take plain values, so that the window and
// the command line each pass what they already hold.

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "flash/RunEnding.h"
#include "history/HistoryStore.h"
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
};

// Appends the mark of a run about to send the drive its first command that changes it (the
// facts' ending and revision after are not known yet, and not used). Should the program
// never get to RecordRun, the mark stays pending and the next start settles it. The line
// to tell the operator when it could not be written; none otherwise.
std::optional<std::string> RecordBegun(const HistoryStore& store, const RunFacts& facts,
                                       std::chrono::system_clock::time_point now);

// Appends the record of a press that sent the drive a command that changes it, or that left
// its mark (`begun`: the mark needs the run's record to end it, whatever the ending); any
// other press is not a run of the history, and nothing is written. The line to tell the
// operator when the record could not be written; none otherwise.
std::optional<std::string> RecordRun(const HistoryStore& store, const RunFacts& facts,
                                     std::chrono::system_clock::time_point now,
                                     bool begun = false);

// A drive as the scan at start-up found it.
struct PresentDrive {
    std::string identification;
    std::vector<std::string> nodes;
    std::string revision;
};

// The transport's filled rows, after a scan (ScanDevices or FillDriveTree).
std::vector<PresentDrive> PresentDrives(const ScsiTransport& transport);

// Settles the pending runs of the history against the drives present and appends the
// resolutions: the lines to tell the operator (one per pending run, and one when the history
// could not be read or written), in order. Nothing when no run is pending.
//
// A pending run's drive is the present one with the same identification at the same node;
// where the run had no node (Windows), the only present drive with that identification.
// Another drive of the same model is never taken for it: it would be said to have failed.
std::vector<std::string> ResolvePending(const HistoryStore& store,
                                        std::span<const PresentDrive> drives,
                                        std::string_view programVersion,
                                        std::chrono::system_clock::time_point now);

}  // namespace flashtool
