#include "drive/VendorCommands.h"

#include <algorithm>
#include <vector>

#include "core/Bytes.h"
#include "drive/DriveReplies.h"
#include "drive/ModelRecord.h"
#include "drive/ReadinessWait.h"
#include "drive/VendorCdbs.h"

namespace flashtool {

namespace {

// Reads land in zero-filled buffers, so a read that times out is interpreted as zeros.
constexpr uint32_t kReplyBufferSize = 16384;
constexpr size_t kRecordAreaSize = 50;

}  // namespace

VendorCommands::VendorCommands(ScsiDevice deviceIn, RunReporter& reporterIn,
                               DiagnosticSink& diagnosticsIn, Clock& clockIn)
    : device(deviceIn), reporter(reporterIn), diagnostics(diagnosticsIn), clock(clockIn) {}

bool VendorCommands::VendorHandshake() {
    const auto cdb = VendorHandshakeCdb();
    if (device.Execute(cdb, DataDirection::None, nullptr, 0, kShortCommandTimeout).Ok()) {
        return true;
    }
    reporter.AppendLog(kHandshakeRefusedLine);
    return false;
}

bool VendorCommands::WaitUntilReady() {
    const auto cdb = TestUnitReadyCdb();
    auto ask = [&] {
        return device.Execute(cdb, DataDirection::None, nullptr, 0, kShortCommandTimeout);
    };
    // A command without sense (one that timed out, say) reads as ASC 0: not becoming ready.
    CommandResult answer = ask();
    if (answer.Ok()) {
        return false;
    }
    for (uint32_t poll = 0; poll < kReadinessMaxPolls; ++poll) {
        if (!IsBecomingReady(answer.Asc())) {
            return answer.Asc() == kAscMediumNotPresent;
        }
        clock.SleepMs(kReadinessPollMs);
        answer = ask();
        if (answer.Ok()) {
            return false;
        }
    }
    if (!IsBecomingReady(answer.Asc())) {
        return answer.Asc() == kAscMediumNotPresent;
    }
    // Still "becoming ready" after a minute: stop waiting and say so; the caller goes on
    // and the drive's next answer decides.
    reporter.AppendLog(kDriveNeverReadyLine);
    return false;
}

bool VendorCommands::ReadBufferSize() {
    std::vector<uint8_t> reply(kReplyBufferSize, 0);
    const auto cdb = ModeSenseCapabilitiesCdb();
    if (device.Execute(cdb, DataDirection::In, reply.data(), kReplyBufferSize,
                       kLongCommandTimeout) == ExecResult::Failed) {
        diagnostics.Write(kReadBufferSizeFailed);
        return false;
    }
    return BufferSizeKb(reply) == kLargeBufferKb;
}

uint8_t VendorCommands::CheckModel() {
    if (!VendorHandshake()) {
        reporter.ReportResult(ResultCode::ChecksumMismatch);
        return kModelCodeBase;
    }
    std::vector<uint8_t> reply(kReplyBufferSize, 0);
    const auto cdb = ModelRecordReadCdb(kModelRecordSecondary);
    const CommandResult read = device.Execute(cdb, DataDirection::In, reply.data(),
                                              kModelRecordLength, kLongCommandTimeout);
    if (read == ExecResult::Failed) {
        diagnostics.Write(kCheckModelFailed);
        return kModelCodeUnknown;
    }
    if (!read.MovedAll()) {
        // A read that timed out or ended short leaves zeros, which would read as model code 0:
        // the drive's model is not known, never guessed.
        return kModelCodeUnknown;
    }
    switch (reply[0]) {
        case kModelCodeBase:
        case kModelCode05:
        case kModelCode30:
            return reply[0];
        default:
            return kModelCodeUnknown;
    }
}

bool VendorCommands::WriteModelRecord(uint8_t value, uint8_t location, uint8_t length,
                                      bool setMark) {
    std::array<uint8_t, kRecordAreaSize> readArea{};
    const auto readCdb = ModelRecordReadCdb(location);
    const CommandResult read = device.Execute(readCdb, DataDirection::In, readArea.data(),
                                              kModelRecordLength, kLongCommandTimeout);
    if (!read.MovedAll()) {
        // Timed out, ended short, or refused: bytes 2-3 were not read, and writing the
        // record back would put zeros over the drive's own data.
        diagnostics.Write(kCheckModelFailed);
        return false;
    }
    ModelRecord asRead{};
    std::copy_n(readArea.begin(), asRead.size(), asRead.begin());
    const ModelRecord record = BuildModelRecord(value, setMark, asRead);

    std::array<uint8_t, kRecordAreaSize> writeArea{};
    std::copy(record.begin(), record.end(), writeArea.begin());
    // The record is 4 bytes whatever length the CDB announces; every caller passes 4.
    const auto writeCdb = ModelRecordWriteCdb(location, length);
    // A record the drive did not take whole (timed out, short, not GOOD) is not written.
    if (!device
             .Execute(writeCdb, DataDirection::Out, writeArea.data(), kModelRecordLength,
                      kLongCommandTimeout)
             .Took()) {
        diagnostics.Write(kCheckModelFailed);
        return false;
    }
    return true;
}

bool VendorCommands::CheckHardwareVariant(uint32_t pageCount, uint8_t oemCode) {
    if (ReadBufferSize()) {
        return oemCode == kModelCodeBase;
    }
    switch (oemCode) {
        case kModelCodeBase:
            if (pageCount >= kBaseDrivePageLimit) {
                return false;
            }
            CheckModel();  // only its side effects count here
            return true;
        case kModelCode05:
            return CheckModel() == kModelCode05;
        case kModelCode30:
            return CheckModel() == kModelCode30;
        default:
            return true;
    }
}

void VendorCommands::PrepareModelRecords() {
    WriteModelRecord(kModelCode30, kModelRecordPrimary, kModelRecordLength, false);
    WriteModelRecord(kModelCode30, kModelRecordSecondary, kModelRecordLength, false);
}

bool VendorCommands::FinishModelRecords(int modelCode) {
    const auto code = static_cast<uint8_t>(modelCode & 0xFF);
    WaitUntilReady();
    return WriteModelRecord(code, kModelRecordPrimary, kModelRecordLength, false) &&
           WriteModelRecord(code, kModelRecordSecondary, kModelRecordLength, false);
}

bool VendorCommands::EjectMedium() {
    const auto cdb = EjectCdb();
    return device.Execute(cdb, DataDirection::None, nullptr, 0, kShortCommandTimeout).Ok();
}

}  // namespace flashtool
