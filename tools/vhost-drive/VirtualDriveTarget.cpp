#include "tools/vhost-drive/VirtualDriveTarget.h"

#include <algorithm>

#include "emulator/EmulatedBackend.h"

namespace flashtool {

namespace {

constexpr uint8_t kFixedSenseCurrent = 0x70;
constexpr uint8_t kFixedSenseAdditionalLength = kFixedSenseLength - 8;

ScsiCompletion CompletionOf(const PassThroughOutcome& outcome, const ScsiRequest& request,
                            VirtualDriveTarget::TimeOuts timeOuts) {
    ScsiCompletion completion;
    switch (outcome.kind) {
        case OutcomeKind::TimedOut:
            completion.delivery = timeOuts == VirtualDriveTarget::TimeOuts::Hold
                                      ? ScsiDelivery::Held
                                      : ScsiDelivery::Aborted;
            return completion;
        case OutcomeKind::OsError:
            // The drive is gone: to the guest, the unit no longer answers at all.
            completion.delivery = ScsiDelivery::NoSuchUnit;
            return completion;
        case OutcomeKind::TransportError:
            completion.delivery = ScsiDelivery::Failed;
            return completion;
        case OutcomeKind::Completed:
            break;
    }
    completion.status = outcome.scsiStatus;
    if (outcome.sense) {
        completion.sense = FixedFormatSense(*outcome.sense);
    }
    if (request.direction != DataDirection::In) {
        completion.residual = std::min(outcome.residual, request.length);
        return completion;
    }
    // A drive that does not report GOOD sends no data, whatever it had put in the buffer.
    const bool good = ClassifyOutcome(outcome) == ExecResult::Ok;
    const uint32_t moved = good ? request.length - std::min(outcome.residual, request.length) : 0;
    completion.dataIn.assign(request.data, request.data + moved);
    completion.residual = request.length - moved;
    return completion;
}

}  // namespace

std::vector<uint8_t> FixedFormatSense(const SenseInfo& sense) {
    std::vector<uint8_t> bytes(kFixedSenseLength, 0);
    bytes[0] = kFixedSenseCurrent;
    bytes[2] = sense.key & 0x0F;
    bytes[7] = kFixedSenseAdditionalLength;
    bytes[12] = sense.asc;
    bytes[13] = sense.ascq;
    return bytes;
}

VirtualDriveTarget::VirtualDriveTarget(std::vector<std::shared_ptr<VirtualDrive>> drivesIn,
                                       DiagnosticSink& traceIn, TimeOuts timeOutsIn)
    : drives(std::move(drivesIn)), trace(traceIn), timeOuts(timeOutsIn) {}

ScsiCompletion VirtualDriveTarget::Execute(const ScsiCommand& command) {
    if (command.target != kTarget || command.lun >= drives.size() || command.cdb.empty()) {
        return ScsiCompletion{ScsiDelivery::NoSuchUnit, 0, {}, {}, 0};
    }
    // The guest's CDB field is padded with zeros: the command is as long as its operation
    // code says, exactly as the program cuts it before sending.
    const size_t cdbLength = std::min(CdbLength(command.cdb[0]), command.cdb.size());
    std::vector<uint8_t> buffer;
    ScsiRequest request;
    request.cdb = command.cdb.first(cdbLength);
    if (!command.dataOut.empty()) {
        buffer.assign(command.dataOut.begin(), command.dataOut.end());
        request.direction = DataDirection::Out;
    } else if (command.dataInCapacity != 0) {
        buffer.assign(command.dataInCapacity, 0);
        request.direction = DataDirection::In;
    }
    request.data = buffer.empty() ? nullptr : buffer.data();
    request.length = static_cast<uint32_t>(buffer.size());

    VirtualDrive& drive = *drives[command.lun];
    const PassThroughOutcome outcome = drive.Handle(request);
    trace.Write(FormatTraceLine(command.lun, drive.Trace().back()));
    return CompletionOf(outcome, request, timeOuts);
}

}  // namespace flashtool
