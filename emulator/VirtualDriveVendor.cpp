// The maker's vendor commands as the target drive family answers them: the handshake,
// the capabilities page, the two model records in vendor area 0xA2, and the tray eject.

#include <algorithm>
#include <cstring>

#include "emulator/VirtualDrive.h"

namespace flashtool {

namespace {

constexpr uint8_t kOpStartStopUnit = 0x1B;
constexpr uint8_t kOpModeSense10 = 0x5A;
constexpr uint8_t kOpModelRecord = 0xF5;
constexpr uint8_t kOpVendorControl = 0xFD;
constexpr uint8_t kSubHandshake = 0xF1;
constexpr uint8_t kSubRecordRead = 0x01;
constexpr uint8_t kSubRecordWrite = 0x03;
constexpr uint8_t kRecordArea = 0xA2;
constexpr uint8_t kCapabilitiesPage = 0x2A;
constexpr size_t kRecordLength = 4;
constexpr uint8_t kLoadEject = 0x02;
constexpr uint8_t kStart = 0x01;

uint8_t CdbByte(const ScsiRequest& request, size_t index) {
    return index < request.cdb.size() ? request.cdb[index] : 0;
}

PassThroughOutcome IllegalRequest() {
    return PassThroughOutcome::CheckCondition(sense::kInvalidField);
}

// Mode parameter header (8 bytes, no block descriptor), then page 2Ah with 20 bytes of
// parameters. The buffer size in KB is big-endian at page bytes 12-13.
std::array<uint8_t, 30> CapabilitiesReply(uint16_t bufferSizeKb, bool reader) {
    std::array<uint8_t, 30> reply{};
    reply[1] = static_cast<uint8_t>(reply.size() - 2);  // mode data length
    uint8_t* page = reply.data() + 8;
    page[0] = 0x2A;
    page[1] = 0x14;
    page[2] = 0x3F;                  // reads CD-R, CD-RW, DVD-ROM, DVD-R, DVD-RAM...
    page[3] = reader ? 0x00 : 0x37;  // ... and a writer writes most of them
    page[6] = 0x29;                  // tray loading, eject supported, lock supported
    page[12] = static_cast<uint8_t>(bufferSizeKb >> 8);
    page[13] = static_cast<uint8_t>(bufferSizeKb & 0xFF);
    return reply;
}

PassThroughOutcome StartStopUnit(const ScsiRequest& request, VendorState& vendor,
                                 bool& discPresent) {
    const uint8_t flags = CdbByte(request, 4);
    if ((flags & kLoadEject) != 0 && (flags & kStart) == 0) {
        discPresent = false;  // the tray opens and the disc comes out with it
        ++vendor.ejects;
    }
    return PassThroughOutcome::Good();
}

PassThroughOutcome CapabilitiesPage(const ScsiRequest& request, const VendorState& vendor,
                                    bool reader) {
    if ((CdbByte(request, 2) & 0x3F) != kCapabilitiesPage) {
        return IllegalRequest();
    }
    const auto reply = CapabilitiesReply(vendor.bufferSizeKb, reader);
    const size_t allocation = (size_t{CdbByte(request, 7)} << 8) | CdbByte(request, 8);
    return ReplyWith(request, std::span(reply).first(std::min(allocation, reply.size())));
}

// Answered only when the maker's signature stands at CDB bytes 2-5.
PassThroughOutcome Handshake(const ScsiRequest& request, VendorState& vendor) {
    static constexpr uint8_t kSignature[] = {'T', 'A', 'R', 'N'};
    if (CdbByte(request, 1) != kSubHandshake || request.cdb.size() < 6 ||
        std::memcmp(request.cdb.data() + 2, kSignature, sizeof kSignature) != 0) {
        return IllegalRequest();
    }
    ++vendor.handshakes;
    return PassThroughOutcome::Good();
}

// Area in byte 3, location in byte 5, length in byte 7; only the two records of area 0xA2.
PassThroughOutcome ModelRecordCommand(const ScsiRequest& request, VendorState& vendor) {
    const uint8_t location = CdbByte(request, 5);
    if (CdbByte(request, 3) != kRecordArea || CdbByte(request, 2) != 0 ||
        CdbByte(request, 4) != 0 || (location != 0x02 && location != 0x24) ||
        CdbByte(request, 7) != kRecordLength) {
        return IllegalRequest();
    }
    std::array<uint8_t, 4>& record = location == 0x02 ? vendor.recordAt02 : vendor.recordAt24;
    switch (CdbByte(request, 1)) {
        case kSubRecordRead:
            return ReplyWith(request, record);
        case kSubRecordWrite:
            if (request.direction != DataDirection::Out || request.data == nullptr ||
                request.length < kRecordLength) {
                return IllegalRequest();
            }
            std::copy_n(request.data, kRecordLength, record.begin());
            ++vendor.recordWrites;
            return PassThroughOutcome::Good();
        default:
            return IllegalRequest();
    }
}

}  // namespace

PassThroughOutcome VirtualDrive::HandleVendor(const ScsiRequest& request) {
    switch (request.cdb[0]) {
        case kOpStartStopUnit:
            return StartStopUnit(request, vendor, discPresent);
        case kOpModeSense10:
            return CapabilitiesPage(request, vendor, reader);
        case kOpModelRecord:
            return ModelRecordCommand(request, vendor);
        case kOpVendorControl:
            return Handshake(request, vendor);
        default:
            return PassThroughOutcome::CheckCondition(sense::kInvalidOpcode);
    }
}

}  // namespace flashtool
