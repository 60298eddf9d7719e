#include "transport/ScsiTransport.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "transport/UserNotifier.h"

namespace flashtool {

namespace {

// Statuses after which the command did its work. Every other status (BUSY, RESERVATION
// CONFLICT, TASK SET FULL, ...) means the drive did not carry the command out, and a page
// that was not written must never count as written.
bool IsSuccessStatus(uint8_t status) {
    return status == kStatusGood || status == kStatusConditionMet ||
           status == kStatusIntermediate || status == kStatusIntermediateConditionMet;
}

}  // namespace

ExecResult ClassifyOutcome(const PassThroughOutcome& outcome) {
    if (outcome.kind == OutcomeKind::Completed && IsSuccessStatus(outcome.scsiStatus)) {
        return ExecResult::Ok;
    }
    return outcome.kind == OutcomeKind::TimedOut ? ExecResult::TimedOut : ExecResult::Failed;
}

ScsiTransport::ScsiTransport(std::unique_ptr<PassThroughBackend> backendIn,
                             UserNotifier& notifierIn)
    : backend(std::move(backendIn)), notifier(notifierIn) {}

ScsiTransport::~ScsiTransport() {
    Release();
}

bool ScsiTransport::LoadBackend() {
    if (!backend->Start(notifier)) {
        deviceCount = 0;
        notifier.ShowMessage(backend->LoadFailureMessage());
        return false;
    }
    return true;
}

bool ScsiTransport::Release() {
    if (released) {
        return true;
    }
    released = true;
    CloseAllDevices();
    backend->Unload();
    return true;
}

void ScsiTransport::CloseAllDevices() {
    // Every entry, whatever deviceCount says: a handle is never left open behind a row.
    for (DeviceEntry& row : devices) {
        if (row.handle != 0) {
            backend->CloseDevice(AddressOf(row));
            row.handle = 0;
        }
    }
}

bool ScsiTransport::SelectDevice(uint8_t index) {
    if (deviceCount == 0 || index >= deviceCount) {
        return false;
    }
    selected = index;
    return true;
}

bool ScsiTransport::DescribeSelected(std::span<char> out) const {
    return DescribeRow(selected, out);
}

bool ScsiTransport::DescribeRow(uint8_t index, std::span<char> out) const {
    if (deviceCount == 0 || index >= deviceCount || out.size() < kDescriptionCapacity) {
        return false;
    }
    std::fill(out.begin(), out.end(), '\0');
    const DeviceEntry& row = devices[index];
    const size_t idLength = strnlen(row.identification.data(), row.identification.size());
    const size_t revLength = strnlen(row.revision.data(), row.revision.size());
    const size_t idCopied = std::min(idLength, out.size() - 1);
    std::copy_n(row.identification.data(), idCopied, out.begin());
    const size_t revCopied = std::min(revLength, out.size() - 1 - idCopied);
    std::copy_n(row.revision.data(), revCopied,
                out.begin() + static_cast<std::ptrdiff_t>(idCopied));
    return true;
}

const DeviceEntry& ScsiTransport::Device(uint8_t row) const {
    static const DeviceEntry kNoRow{};
    return row < deviceCount ? devices[row] : kNoRow;
}

std::vector<std::string> ScsiTransport::NodeNames(uint8_t row) const {
    if (row >= deviceCount) {
        return {};
    }
    return backend->NodeNames(AddressOf(devices[row]));
}

std::string ScsiTransport::PlaceOf(uint8_t row) const {
    if (row >= deviceCount) {
        return {};
    }
    return backend->DrivePlace(AddressOf(devices[row]));
}

DeviceAddress ScsiTransport::AddressOf(const DeviceEntry& row) const {
    return DeviceAddress{row.handle, row.hostAdapter, row.target};
}

std::optional<ScsiDevice> ScsiTransport::DeviceAt(uint8_t row) {
    if (row >= deviceCount) {
        return std::nullopt;
    }
    return ScsiDevice(*this, row);
}

CommandResult ScsiTransport::Execute(std::span<const uint8_t> cdb, DataDirection direction,
                                     uint8_t* data, uint32_t length, uint32_t timeoutSeconds) {
    if (selected == kNoSelection) {
        return CommandResult{};
    }
    senseKey = 0;
    asc = 0;
    CommandResult command = ExecuteOn(selected, cdb, direction, data, length, timeoutSeconds);
    if (command.result != ExecResult::Ok && command.outcome.sense) {
        senseKey = command.SenseKey();
        asc = command.Asc();
    }
    return command;
}

CommandResult ScsiTransport::ExecuteOn(uint8_t row, std::span<const uint8_t> cdb,
                                       DataDirection direction, uint8_t* data, uint32_t length,
                                       uint32_t timeoutSeconds) {
    // A row past the filled ones holds no drive (the discovery probe adds the next row
    // before counting it, so that one is allowed while the probe is still running).
    if (row >= devices.size() || (row == deviceCount && !probing)) {
        return CommandResult{};
    }
    if (cdb.empty() || cdb.size() < CdbLength(cdb[0])) {
        return CommandResult{};
    }
    ScsiRequest request;
    request.cdb = cdb.first(CdbLength(cdb[0]));
    request.direction = NormalisedDirection(direction);
    request.timeoutSeconds = timeoutSeconds;
    if (request.direction != DataDirection::None) {
        if (data == nullptr && length != 0) {
            return CommandResult{};
        }
        request.data = data;
        request.length = length;
    }

    CommandResult command;
    command.sent = true;
    command.outcome = backend->Send(AddressOf(devices[row]), request);

    if (request.direction == DataDirection::In && command.outcome.residual != 0 &&
        request.data != nullptr) {
        // A reply shorter than asked leaves the rest of the buffer zero, never stale bytes.
        const uint32_t residual = std::min(command.outcome.residual, request.length);
        std::memset(request.data + (request.length - residual), 0, residual);
    }
    command.result = ClassifyOutcome(command.outcome);
    if (command.outcome.notice) {
        command.notice = command.outcome.notice;
        notices.push_back(*command.outcome.notice);
    }
    return command;
}

ExclusiveClaim ScsiTransport::ClaimExclusive(uint8_t row) {
    if (row >= deviceCount) {
        return ExclusiveClaim::NotOffered;
    }
    return backend->ClaimExclusive(AddressOf(devices[row]));
}

void ScsiTransport::ReleaseExclusive(uint8_t row) {
    if (row < deviceCount) {
        backend->ReleaseExclusive(AddressOf(devices[row]));
    }
}

std::vector<std::string> ScsiTransport::TakeNotices() {
    return std::exchange(notices, {});
}

CommandResult ScsiDevice::Execute(std::span<const uint8_t> cdb, DataDirection direction,
                                  uint8_t* data, uint32_t length, uint32_t timeoutSeconds) const {
    return transport->ExecuteOn(row, cdb, direction, data, length, timeoutSeconds);
}

}  // namespace flashtool
