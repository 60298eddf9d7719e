#pragma once

// Scenario files: the virtual drives of the emulated program, the tests and the demo,
// described in JSON (scenarios/README.md has the format). A file is read whole into a
// description first; only a description that checked out in every field becomes drives,
// so a bad file never leaves some drives built and others not.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Clock.h"
#include "drive/ModelRecord.h"
#include "emulator/VirtualDrive.h"

namespace flashtool {

// Files larger than this are refused before they are parsed: a scenario is a few kilobytes.
constexpr size_t kMaxScenarioFileBytes = size_t{1} << 20;
// Latencies and waits longer than ten minutes are taken for a slip of the keyboard.
constexpr uint32_t kMaxScenarioWaitMs = 600'000;
// A unit serial number page (4 bytes of header and the number) fits the 255 bytes that a
// one-byte allocation length, what most clients send, asks for.
constexpr size_t kMaxSerialLength = 251;

// One drive of a scenario, every field resolved to its value (defaults filled in).
struct DriveDescription {
    VirtualDriveSetup setup;  // identification, revision, OEM tag, disc
    std::string serial;       // the unit serial number; empty: none
    // INQUIRY bytes 0-7 (device type, version, flags, additional length).
    std::array<uint8_t, 8> inquiryHeader = kDriveInquiryHeader;
    bool reader = false;  // a DVD-ROM drive rather than a DVD writer
    std::vector<SenseInfo> readiness;
    bool largeBuffer = true;
    bool checksPageSums = false;
    FlashSizeReply flashSize;
    uint32_t latencyMs = 0;
    std::vector<Fault> faults;
    std::optional<ReadBackCorruption> corruptReadBacks;
    // The two model records in vendor area 0xA2; none: the virtual drive's own.
    std::optional<ModelRecord> recordAt02;
    std::optional<ModelRecord> recordAt24;
    friend bool operator==(const DriveDescription&, const DriveDescription&) = default;
};

// Either the drives of a file, or the one message that says what is wrong with it (and
// then no drives).
struct ScenarioReading {
    std::vector<DriveDescription> drives;
    std::string error;
    bool Ok() const { return error.empty(); }
};

// Reads the text of a scenario file; `fileName` only names the file in the message.
ScenarioReading ReadScenario(std::string_view fileName, std::string_view text);

// Reads a scenario file from disk.
ScenarioReading LoadScenarioFile(const std::string& path);

// The text of a scenario file that reads back into `drives` (every field as given, the
// values the reader fills in by default left out), with `description` as the file's own.
// The descriptions must hold what the reader accepts (texts of their widths, printable
// identification and revision).
std::string WriteScenario(const std::vector<DriveDescription>& drives,
                          std::string_view description);

// The drives of a description, in order, each taking its waits on `clock` (none: no waits).
std::vector<std::shared_ptr<VirtualDrive>> BuildDrives(const std::vector<DriveDescription>& drives,
                                                       Clock* clock);

// The emulated program's drives, or the one message that says why there are none: those
// of the scenario file `path` when one is given, else those of `builtIn` (the scenario text
// the build carries). Each takes its waits on `clock`, and installs a firmware file with no
// synthetic header that arrives whole at `opaqueRevision` (the revision the build installs;
// empty: refuses one).
struct EmulatedDrives {
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    std::string error;
};
EmulatedDrives LoadEmulatedDrives(const std::optional<std::string>& path,
                                  std::span<const uint8_t> builtIn,
                                  const std::string& opaqueRevision, Clock* clock);

}  // namespace flashtool
