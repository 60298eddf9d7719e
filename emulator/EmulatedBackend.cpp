#include "emulator/EmulatedBackend.h"

#include <algorithm>

#include "core/Format.h"

namespace flashtool {

namespace {

constexpr int kNoSuchDevice = 19;  // ENODEV

}  // namespace

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

std::string EmulatedBackend::DrivePlace(const DeviceAddress& device) const {
    const auto index = static_cast<size_t>(device.handle - 1);
    return device.handle > 0 && index < drives.size() ? FormatText("vdrive %zu", index) : "";
}

size_t EmulatedBackend::OpenDevices() const {
    return static_cast<size_t>(std::count(open.begin(), open.end(), true));
}

}  // namespace flashtool
