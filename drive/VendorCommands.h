#pragma once

// The maker's vendor commands sent around a firmware transfer: the handshake, the
// readiness wait, the buffer-size query, the model-record read and write, the hardware
// variant check and the tray eject. Each operation sends its commands to the one drive it
// was made for (taken from the operator's choice) and never throws.
//
// Reports: "This Model is not support." in the log when the handshake is refused;
// ChecksumMismatch through the reporter when CheckModel's handshake is refused (that
// report enables the buttons again, the caller goes on); low-level failures as lines on
// the diagnostics stream only. No operation retries a failed command except the readiness
// wait, which gives up after about a minute.
//
// Threading: used by the user-interface thread while gating and by the flash worker during
// a run, never by both at once.

#include <cstdint>
#include <string_view>

#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "drive/RunReporter.h"
#include "transport/ScsiDevice.h"

namespace flashtool {

constexpr std::string_view kHandshakeRefusedLine = "This Model is not support.";
constexpr std::string_view kReadBufferSizeFailed = "Read BufferSize Command Fail!!\n";
constexpr std::string_view kCheckModelFailed = "Check Model Command Fail!!\n";
constexpr std::string_view kDriveNeverReadyLine =
    "The drive did not become ready within 60 seconds.";

// A drive whose capabilities page reports exactly this many KB has the large buffer.
constexpr uint16_t kLargeBufferKb = 8192;
// Images of this many 16 KB pages or more do not fit a base drive without the large buffer.
constexpr uint32_t kBaseDrivePageLimit = 128;

class VendorCommands {
public:
    VendorCommands(ScsiDevice device, RunReporter& reporter, DiagnosticSink& diagnostics,
                   Clock& clock);

    // True when the drive accepts the maker's handshake.
    bool VendorHandshake();
    // Waits while the drive reports that it is becoming ready, for at most about a minute.
    // True only when the drive finally reports that no medium is present; callers use it
    // only as a wait.
    bool WaitUntilReady();
    // True when the drive has the large (8192 KB) buffer.
    bool ReadBufferSize();
    // The model code of the drive's secondary record: 0x00, 0x05, 0x30, or 0xFF when the
    // record is unknown or was not wholly read; 0 when the handshake is refused.
    uint8_t CheckModel();
    // Read-modify-write of the record at `location`: model code `value`, the update mark
    // when `setMark`, the drive's bytes 2-3 as read. `length` goes into the CDB. Only a read
    // that completed and moved the whole record is written back over: bytes 2-3 are the
    // drive's own and are never invented. False, with nothing written, otherwise.
    bool WriteModelRecord(uint8_t value, uint8_t location, uint8_t length, bool setMark);
    // Whether the drive's hardware fits an image of `pageCount` pages, given the model code
    // the gating found for it (GatingState::oemCode).
    bool CheckHardwareVariant(uint32_t pageCount, uint8_t oemCode);
    // Before an OEM drive below its boundary revision is written: both records become 0x30
    // with the mark clear. What the drive answers is not looked at: the transfer's own checks
    // decide. This writes to the drive: only after the operator has confirmed the update.
    void PrepareModelRecords();
    // After a successful transfer: both records carry `modelCode` (low byte) with the mark
    // clear.
    bool FinishModelRecords(int modelCode);
    bool EjectMedium();

private:
    ScsiDevice device;
    RunReporter& reporter;
    DiagnosticSink& diagnostics;
    Clock& clock;
};

}  // namespace flashtool
