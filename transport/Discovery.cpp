// Device discovery: the back-end offers candidates in its stable order; each one that
// answers a standard INQUIRY becomes the next row of the device table.

#include <algorithm>
#include <array>

#include "transport/Inquiry.h"
#include "transport/InquiryReply.h"
#include "transport/ScsiTransport.h"

namespace flashtool {

uint8_t ScsiTransport::ScanDevices(const std::function<bool()>& keepGoing) {
    // Handles of an earlier scan are closed before their rows are cleared.
    CloseAllDevices();
    devices.fill(DeviceEntry{});
    deviceCount = 0;
    selected = kNoSelection;

    backend->BeginDiscovery();
    // The table has 8 rows; a ninth drive is left alone (not even opened).
    while (deviceCount < kMaxDevices && (!keepGoing || keepGoing())) {
        const std::optional<DeviceAddress> candidate = backend->NextCandidate();
        if (!candidate) {
            break;
        }
        if (!ProbeCandidate(*candidate)) {
            backend->CloseDevice(*candidate);
        }
    }
    backend->EndDiscovery(notifier);

    selected = deviceCount != 0 ? 0 : kNoSelection;
    return deviceCount;
}

bool ScsiTransport::RefreshRow(uint8_t row) {
    if (row >= deviceCount) {
        return false;
    }
    const uint8_t length = backend->InquiryLength();
    std::array<uint8_t, 255> reply{};
    const auto cdb = InquiryCdb(length);
    const CommandResult inquiry =
        ExecuteOn(row, cdb, DataDirection::In, reply.data(), length, kShortCommandTimeout);
    // The identification and revision end at byte 36: a reply that stops before them would
    // put zeros in place of the drive's revision.
    constexpr uint32_t kNeeded = kInquiryRevisionOffset + kRevisionLength;
    if (!inquiry.Ok() || length < kNeeded ||
        length - std::min<uint32_t>(inquiry.outcome.residual, length) < kNeeded) {
        return false;
    }
    DeviceEntry& entry = devices[row];
    entry.identification.fill('\0');
    entry.revision.fill('\0');
    std::copy_n(reply.begin() + kInquiryIdentificationOffset, kIdentificationLength,
                entry.identification.begin());
    std::copy_n(reply.begin() + kInquiryRevisionOffset, kRevisionLength, entry.revision.begin());
    return true;
}

bool ScsiTransport::ProbeCandidate(const DeviceAddress& address) {
    DeviceEntry& row = devices[deviceCount];
    row = DeviceEntry{};
    row.handle = address.handle;
    row.hostAdapter = address.hostAdapter;
    row.target = address.target;
    selected = deviceCount;

    const uint8_t length = backend->InquiryLength();
    std::array<uint8_t, 255> reply{};
    const auto cdb = InquiryCdb(length);
    probing = true;
    const CommandResult inquiry =
        ExecuteOn(deviceCount, cdb, DataDirection::In, reply.data(), length, kShortCommandTimeout);
    probing = false;
    if (!inquiry.Ok()) {
        row = DeviceEntry{};
        return false;
    }
    const InquiryIdentity identity = IdentityFromInquiry(std::span(reply).first(length));
    std::copy(identity.identification.begin(), identity.identification.end(),
              row.identification.begin());
    std::copy(identity.revision.begin(), identity.revision.end(), row.revision.begin());
    ++deviceCount;
    return true;
}

}  // namespace flashtool
