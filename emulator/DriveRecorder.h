#pragma once

// What a scenario can say about a real drive, read from it with the commands of the
// read-only list alone (drive/ReadOnlyCommands.h): its identity, INQUIRY header and OEM
// tag, its unit serial number, its tray and the conditions it reports before its tray's
// steady answer, its buffer and whether it writes, and its two model records. The model
// records are read with the maker's own commands (F5), which mean whatever another maker
// chose on another drive: they are read only from a drive the caller says this build sends
// such commands to, judged on what the standard commands showed. A command the drive does
// not answer properly becomes a fault of the scenario at the place it held among the
// commands of its kind that the recorder sent (every one when each of them failed alike),
// so that the replayed drive answers the program's checks as the drive answered the
// recorder.
//
// What only a command that changes the drive would show (whether it accepts the maker's
// handshake, its page sums, its flash size, how it takes an image) is not recorded: the
// scenario's defaults stand for it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "emulator/Scenario.h"
#include "transport/ScsiDevice.h"

namespace flashtool {

struct DriveRecording {
    DriveDescription drive;
    // What the reads did not reveal as they should have, one line each ("model record read
    // at 24: timed out; recorded as a fault").
    std::vector<std::string> notes;
    // Set when the drive cannot be described in a scenario file (its identification holds
    // bytes the format cannot carry); the drive is then left out.
    std::optional<std::string> unrecordable;
    // The drive was sent none of the maker's commands: its model records are not read.
    bool makerCommandsWithheld = false;
};

// Whether the maker's commands may go to the drive `readSoFar` describes (everything but
// its model records read, its faults so far included).
using MakerCommandsAllowed = std::function<bool(const DriveDescription& readSoFar)>;

// Reads the drive of `device` (a filled row of its transport). Waits between readiness
// polls on `clock`, for at most about a minute as the program does.
DriveRecording RecordDrive(ScsiDevice device, Clock& clock, const MakerCommandsAllowed& allowed);

}  // namespace flashtool
