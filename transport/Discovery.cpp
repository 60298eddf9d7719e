// Device discovery: the back-end offers candidates in its stable order; each one that
// answers a standard INQUIRY becomes the next row of the device table, and each one that
// does not is kept aside as unanswered, so that a list without it can say so.

#include <algorithm>
#include <array>

#include "core/Format.h"
#include "transport/FailureText.h"
#include "transport/Inquiry.h"
#include "transport/InquiryReply.h"
#include "transport/ScsiTransport.h"
#include "transport/UserNotifier.h"

namespace flashtool {

namespace {

// What the operator can call a candidate by: the node it was opened through; on a platform
// without names, its adapter and target, or else its place in the scan.
std::string CandidateName(const std::vector<std::string>& nodes, const DeviceAddress& address,
                          size_t offered) {
    if (!nodes.empty()) {
        return nodes.front();
    }
    if (address.handle == 0) {
        return FormatText("host adapter %u, target %u", address.hostAdapter, address.target);
    }
    return FormatText("drive %zu of the scan", offered);
}

}  // namespace

uint8_t ScsiTransport::ScanDevices(const std::function<bool()>& keepGoing) {
    // Handles of an earlier scan are closed before their rows are cleared.
    CloseAllDevices();
    devices.clear();
    deviceCount = 0;
    selected = kNoSelection;
    unanswered.clear();
    drivesLeftOut = false;

    backend->BeginDiscovery();
    size_t offered = 0;
    while (!keepGoing || keepGoing()) {
        const std::optional<DeviceAddress> candidate = backend->NextCandidate();
        if (!candidate) {
            break;
        }
        if (deviceCount == kMaxDevices) {
            // A drive past the last row is closed unasked, and so are those after it (they
            // are never opened): the user hears that the list stops short.
            backend->CloseDevice(*candidate);
            drivesLeftOut = true;
            break;
        }
        if (!ProbeCandidate(*candidate, offered++)) {
            backend->CloseDevice(*candidate);
        }
    }
    backend->EndDiscovery(notifier);
    if (drivesLeftOut) {
        notifier.ShowMessage(FormatText(
            "More drives were found than the %u this program can use at once: the drives "
            "after the first %u were left alone. Disconnect some of them and start the program "
            "again.",
            kMaxDevices, kMaxDevices));
    }

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

bool ScsiTransport::ProbeCandidate(const DeviceAddress& address, size_t offered) {
    DeviceEntry& row = devices.emplace_back();
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
        // The drive exists and was opened: a list without it must say so, whatever failed.
        unanswered.push_back(
            UnansweredDrive{CandidateName(backend->NodeNames(address), address, offered),
                            DescribeFailure(inquiry)});
        devices.pop_back();
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
