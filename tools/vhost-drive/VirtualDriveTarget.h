#pragma once

// The SCSI side of the back-end: one target whose logical units are virtual drives (LUN k
// is drive k). Every command goes whole to VirtualDrive::Handle, and the drive's outcome
// comes back the way a drive behind a real adapter reports it: status, sense in fixed
// format, the data it returned and the residual. A command the drive lets time out is
// either held unanswered, for a guest that aborts what it gave up on, or, once the drive
// has taken its time, answered as aborted, the way a host adapter ends a command that
// outlived its time-out. The latter is what a Linux guest needs: its virtio-scsi driver
// leaves time-outs to the host (it restarts the timer of every command that expires), so
// a held command would never come back. The trace line of every command received is
// written to the sink in the emulated program's format.

#include <memory>
#include <vector>

#include "core/Diagnostics.h"
#include "emulator/VirtualDrive.h"
#include "tools/vhost-drive/ScsiHandler.h"

namespace flashtool {

// Fixed-format sense data (response code 0x70) carrying a key, ASC and ASCQ.
constexpr size_t kFixedSenseLength = 18;
std::vector<uint8_t> FixedFormatSense(const SenseInfo& sense);

class VirtualDriveTarget final : public ScsiHandler {
public:
    static constexpr uint8_t kTarget = 0;

    enum class TimeOuts : uint8_t { Hold, Abort };

    VirtualDriveTarget(std::vector<std::shared_ptr<VirtualDrive>> drives, DiagnosticSink& trace,
                       TimeOuts timeOuts = TimeOuts::Hold);

    ScsiCompletion Execute(const ScsiCommand& command) override;

    size_t DriveCount() const { return drives.size(); }

private:
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    DiagnosticSink& trace;
    TimeOuts timeOuts;
};

}  // namespace flashtool
