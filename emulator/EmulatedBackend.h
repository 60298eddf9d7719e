#pragma once

// The back-end of the emulated build and of the tests: it routes each command to a virtual
// drive and writes one trace line per command to the diagnostics stream:
//   vdrive N: CDB-HEX | DIR LEN crc32=XXXXXXXX | RESULT

#include <memory>
#include <string>
#include <vector>

#include "core/Diagnostics.h"
#include "emulator/VirtualDrive.h"
#include "transport/PassThroughBackend.h"
#include "transport/TraceLine.h"

namespace flashtool {

class EmulatedBackend final : public PassThroughBackend {
public:
    EmulatedBackend(std::vector<std::shared_ptr<VirtualDrive>> drives, DiagnosticSink& diagnostics);

    // Its drives are those of a scenario: none is the scenario's doing.
    std::string NoDriveHint() const override {
        return "The virtual drives' scenario has no drive: give one with drives (--drives FILE).";
    }
    void BeginDiscovery() override;
    std::optional<DeviceAddress> NextCandidate() override;
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;
    void CloseDevice(const DeviceAddress& device) override;
    // Its position among the drives, as the trace names it ("vdrive 1"): a scenario file
    // gives its drives in the same order at every start.
    std::string DrivePlace(const DeviceAddress& device) const override;

    // Handles currently open (opened by discovery and not closed yet).
    size_t OpenDevices() const;

private:
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    std::vector<bool> open;
    DiagnosticSink& diagnostics;
    size_t next = 0;
};

}  // namespace flashtool
