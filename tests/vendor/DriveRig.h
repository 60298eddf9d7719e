#pragma once

// Virtual drives behind a real ScsiTransport, with the vendor command set wired to a
// recording host, captured diagnostics and a fake clock. The first drive is selected and
// the discovery INQUIRY is cleared from the traces.

#include <memory>
#include <vector>

#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "emulator/EmulatedBackend.h"
#include "drive/VendorCommands.h"
#include "support/DriveChanges.h"
#include "support/ScriptedBackend.h"
#include "transport/ScsiTransport.h"
#include "vendor/RecordingHost.h"

namespace flashtool::testing {

struct DriveRig {
    CapturedDiagnostics diagnostics;  // the program's own diagnostic lines
    CapturedDiagnostics wire;         // the emulated back-end's trace lines
    RecordingNotifier notifier;
    RecordingHost host;
    FakeClock clock;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    std::unique_ptr<ScsiTransport> transport;
    std::unique_ptr<VendorCommands> vendor;

    explicit DriveRig(std::vector<VirtualDriveSetup> setups = {VirtualDriveSetup{}}) {
        for (auto& setup : setups) {
            drives.push_back(std::make_shared<VirtualDrive>(setup));
        }
        transport = std::make_unique<ScsiTransport>(std::make_unique<EmulatedBackend>(drives, wire),
                                                    notifier);
        transport->LoadBackend();
        transport->ScanDevices();
        for (auto& drive : drives) {
            drive->ClearTrace();
        }
        vendor =
            std::make_unique<VendorCommands>(ScsiDevice(*transport, 0), host, diagnostics, clock);
    }

    // The vendor command set for another drive of the table.
    void BindVendorTo(uint8_t row) {
        vendor =
            std::make_unique<VendorCommands>(ScsiDevice(*transport, row), host, diagnostics, clock);
    }

    VirtualDrive& Drive(size_t index = 0) { return *drives.at(index); }
    const std::vector<TraceEntry>& Trace(size_t index = 0) { return drives.at(index)->Trace(); }
};

inline size_t CountOpcode(const std::vector<TraceEntry>& trace, uint8_t opcode) {
    size_t count = 0;
    for (const TraceEntry& entry : trace) {
        count += (!entry.cdb.empty() && entry.cdb[0] == opcode) ? 1 : 0;
    }
    return count;
}

}  // namespace flashtool::testing
