#include "emulator/VirtualDrive.h"

#include <algorithm>
#include <cstring>

#include "transport/DeviceEntry.h"
#include "transport/Inquiry.h"
#include "transport/ScsiTransport.h"

namespace flashtool {

namespace {

constexpr uint8_t kOpTestUnitReady = 0x00;
constexpr int kNoSuchDevice = 19;  // ENODEV: the device is gone
constexpr size_t kOemTagLength = 15;

std::string Padded(const std::string& text, size_t width) {
    std::string out = text.substr(0, width);
    out.resize(width, ' ');
    return out;
}

}  // namespace

PassThroughOutcome ReplyWith(const ScsiRequest& request, std::span<const uint8_t> reply) {
    if (request.direction != DataDirection::In || request.data == nullptr) {
        return PassThroughOutcome::Good();
    }
    const uint32_t moved = static_cast<uint32_t>(std::min<size_t>(reply.size(), request.length));
    std::memcpy(request.data, reply.data(), moved);
    return PassThroughOutcome::Good(request.length - moved);
}

VirtualDrive::VirtualDrive(VirtualDriveSetup setup)
    : identification(Padded(setup.identification, kIdentificationLength)),
      revision(Padded(setup.revision, kRevisionLength)),
      oemTag(Padded(setup.oemTag, kOemTagLength)),
      discPresent(setup.discPresent) {}

PassThroughOutcome VirtualDrive::Handle(const ScsiRequest& request) {
    PassThroughOutcome outcome = Dispatch(request);
    Record(request, outcome);
    return outcome;
}

PassThroughOutcome VirtualDrive::Dispatch(const ScsiRequest& request) {
    if (vanished) {
        return PassThroughOutcome::OsFailure(kNoSuchDevice);
    }
    Wait(latencyMs);
    if (const Fault* fault = MatchingFault(request)) {
        return Injected(*fault, request);
    }
    return Answer(request);
}

PassThroughOutcome VirtualDrive::Answer(const ScsiRequest& request) {
    switch (request.cdb[0]) {
        case kOpInquiry:
            return Inquiry(request);
        case kOpTestUnitReady:
            return TestUnitReady();
        case 0x25:  // READ CAPACITY
            return ReadCapacity(request);
        case 0x46:  // GET CONFIGURATION
            return GetConfiguration(request);
        case 0x1B:  // START STOP UNIT
        case 0x5A:  // MODE SENSE(10)
        case 0xF5:  // model records
            return HandleVendor(request);
        case 0xFD:  // the handshake is sub-function 0xF1; 0x07 carries pages
            return request.cdb.size() > 1 && request.cdb[1] == 0xF1 ? HandleVendor(request)
                                                                    : HandleTransfer(request);
        case 0xFA:
        case 0xF2:
        case 0x3B:  // WRITE BUFFER
        case 0x3C:  // READ BUFFER
            return HandleTransfer(request);
        default:
            return PassThroughOutcome::CheckCondition(sense::kInvalidOpcode);
    }
}

const Fault* VirtualDrive::MatchingFault(const ScsiRequest& request) {
    for (FaultSlot& slot : faults) {
        const Fault& fault = slot.fault;
        if (fault.opcode && *fault.opcode != request.cdb[0]) {
            continue;
        }
        if (fault.subFunction && (request.cdb.size() < 2 || *fault.subFunction != request.cdb[1])) {
            continue;
        }
        ++slot.seen;
        if (fault.occurrence != 0 && slot.seen != fault.occurrence) {
            continue;
        }
        return &fault;
    }
    return nullptr;
}

PassThroughOutcome VirtualDrive::Injected(const Fault& fault, const ScsiRequest& request) {
    const bool waitsItsTimeOut = fault.kind == FaultKind::TimeOut && !fault.delayMs;
    const uint64_t timeOutMs = uint64_t{request.timeoutSeconds} * 1000;
    Wait(waitsItsTimeOut ? static_cast<uint32_t>(std::min<uint64_t>(timeOutMs, UINT32_MAX))
                         : fault.delayMs.value_or(0));
    switch (fault.kind) {
        case FaultKind::TransportFailure:
            return PassThroughOutcome::TransportFailure();
        case FaultKind::TimeOut:
            return PassThroughOutcome::TimedOut();
        case FaultKind::CheckCondition:
            return PassThroughOutcome::CheckCondition(fault.sense);
        case FaultKind::Busy:
            return PassThroughOutcome::Status(kStatusBusy);
        case FaultKind::Vanish:
            vanished = true;
            return PassThroughOutcome::OsFailure(kNoSuchDevice);
        case FaultKind::Delay:
            return Answer(request);
        case FaultKind::Short: {
            // Only a data-in command brings the drive's data back; whatever it answered, the
            // host is told GOOD with the bytes not moved.
            const uint32_t own =
                request.direction == DataDirection::In ? Answer(request).residual : 0;
            return PassThroughOutcome::Good(
                std::min(request.length, std::max(own, fault.residual)));
        }
    }
    return PassThroughOutcome::TransportFailure();
}

void VirtualDrive::Wait(uint32_t milliseconds) {
    if (clock != nullptr && milliseconds != 0) {
        clock->SleepMs(milliseconds);
    }
}

PassThroughOutcome VirtualDrive::TestUnitReady() {
    if (!readinessScript.empty()) {
        const SenseInfo condition = readinessScript.front();
        readinessScript.pop_front();
        return PassThroughOutcome::CheckCondition(condition);
    }
    return discPresent ? PassThroughOutcome::Good()
                       : PassThroughOutcome::CheckCondition(sense::kMediumNotPresent);
}

void VirtualDrive::Record(const ScsiRequest& request, const PassThroughOutcome& outcome) {
    TraceEntry entry;
    entry.cdb.assign(request.cdb.begin(), request.cdb.end());
    entry.direction = request.direction;
    entry.length = request.length;
    entry.result = ClassifyOutcome(outcome);
    if (request.direction == DataDirection::In && request.data != nullptr &&
        outcome.residual != 0) {
        // What a drive did not send reads as zero on the host side.
        const uint32_t residual = std::min(outcome.residual, request.length);
        std::memset(request.data + (request.length - residual), 0, residual);
    }
    entry.crc32 = request.direction == DataDirection::None || request.data == nullptr
                      ? 0
                      : TraceDigest(std::span<const uint8_t>(request.data, request.length));
    if (entry.result != ExecResult::Ok && outcome.sense) {
        entry.sense = *outcome.sense;
    }
    trace.push_back(std::move(entry));
}

}  // namespace flashtool
