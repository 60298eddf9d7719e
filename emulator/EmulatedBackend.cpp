#include "emulator/EmulatedBackend.h"

#include <algorithm>

#include "core/Format.h"

namespace flashtool {

namespace {

constexpr int kNoSuchDevice = 19;  // ENODEV

const char* DirectionName(DataDirection direction) {
    switch (direction) {
        case DataDirection::Out:
            return "out";
        case DataDirection::In:
            return "in";
        default:
            return "none";
    }
}

}  // namespace

std::string FormatTraceLine(size_t driveIndex, const TraceEntry& entry) {
    std::string line = FormatText("vdrive %zu:", driveIndex);
    for (const uint8_t byte : entry.cdb) {
        line += FormatText(" %02X", byte);
    }
    line += FormatText(" | %s %u crc32=%08X | ", DirectionName(entry.direction), entry.length,
                       entry.crc32);
    switch (entry.result) {
        case ExecResult::Ok:
            line += "ok";
            break;
        case ExecResult::TimedOut:
            line += "timedout";
            break;
        default:
            line += FormatText("failed %X/%02X", entry.sense.key, entry.sense.asc);
            break;
    }
    return line + "\n";
}

EmulatedBackend::EmulatedBackend(std::vector<std::shared_ptr<VirtualDrive>> drivesIn,
                                 DiagnosticSink& diagnosticsIn)
    : drives(std::move(drivesIn)), open(drives.size(), false), diagnostics(diagnosticsIn) {}

void EmulatedBackend::BeginDiscovery() {
    next = 0;
}

std::optional<DeviceAddress> EmulatedBackend::NextCandidate() {
    if (next >= drives.size()) {
        return std::nullopt;
    }
    open[next] = true;
    DeviceAddress address;
    address.handle = static_cast<std::intptr_t>(next + 1);
    ++next;
    return address;
}

PassThroughOutcome EmulatedBackend::Send(const DeviceAddress& device, const ScsiRequest& request) {
    const auto index = static_cast<size_t>(device.handle - 1);
    if (device.handle <= 0 || index >= drives.size() || !open[index]) {
        return PassThroughOutcome::OsFailure(kNoSuchDevice);
    }
    VirtualDrive& drive = *drives[index];
    const PassThroughOutcome outcome = drive.Handle(request);
    diagnostics.Write(FormatTraceLine(index, drive.Trace().back()));
    return outcome;
}

void EmulatedBackend::CloseDevice(const DeviceAddress& device) {
    const auto index = static_cast<size_t>(device.handle - 1);
    if (device.handle > 0 && index < open.size()) {
        open[index] = false;
    }
}

size_t EmulatedBackend::OpenDevices() const {
    return static_cast<size_t>(std::count(open.begin(), open.end(), true));
}

}  // namespace flashtool
