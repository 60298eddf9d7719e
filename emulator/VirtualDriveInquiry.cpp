// INQUIRY as SPC has a drive answer it: the standard data (bytes 0-7 as a drive of its kind
// claims them or as a recorded drive answered them, the identification, revision and the
// OEM tag in the vendor-specific bytes), or with EVPD set one vital product data page: the
// list of pages the drive supports, and the unit serial number when the drive has one.
// Any other page, or a CDB asking for something the drive does not have, is refused with
// INVALID FIELD IN CDB, which is what tells a client the page is not there; answering it
// with the standard data would hand the client the vendor text as a page.

#include <algorithm>
#include <cstring>

#include "emulator/VirtualDrive.h"
#include "transport/DeviceEntry.h"
#include "transport/Inquiry.h"

namespace flashtool {

namespace {

// The drive sends at least its bytes up to the OEM tag, zeros past the length its header
// announces (as many drives and QEMU's own CD do): a recorded drive that announces fewer
// bytes than it sent still shows the program its tag. At most what byte 4 can announce.
constexpr size_t kInquiryMinLength = 125;
constexpr size_t kInquiryMaxLength = 5 + 255;
constexpr size_t kAdditionalLengthByte = 4;
constexpr size_t kOemTagOffset = 96;
constexpr size_t kOemTagLength = 15;
constexpr uint8_t kCmdDt = 0x02;  // obsolete; a drive of SPC-3 refuses it

uint8_t CdbByte(const ScsiRequest& request, size_t index) {
    return index < request.cdb.size() ? request.cdb[index] : 0;
}

// The allocation length is big-endian in bytes 3-4 (SPC-3 and later).
size_t AllocationLength(const ScsiRequest& request) {
    return (size_t{CdbByte(request, 3)} << 8) | CdbByte(request, 4);
}

PassThroughOutcome Reply(const ScsiRequest& request, std::span<const uint8_t> data) {
    return ReplyWith(request, data.first(std::min(AllocationLength(request), data.size())));
}

// A page begins with the peripheral byte of the standard data.
std::vector<uint8_t> VpdPage(uint8_t peripheral, uint8_t page, std::span<const uint8_t> body) {
    std::vector<uint8_t> reply(4 + body.size());
    reply[0] = peripheral;
    reply[1] = page;
    reply[2] = static_cast<uint8_t>(body.size() >> 8);
    reply[3] = static_cast<uint8_t>(body.size() & 0xFF);
    std::copy(body.begin(), body.end(), reply.begin() + 4);
    return reply;
}

}  // namespace

PassThroughOutcome VirtualDrive::Inquiry(const ScsiRequest& request) {
    const uint8_t flags = CdbByte(request, 1);
    const uint8_t page = CdbByte(request, 2);
    if ((flags & kCmdDt) != 0 || ((flags & kInquiryEvpd) == 0 && page != 0)) {
        return PassThroughOutcome::CheckCondition(sense::kInvalidField);
    }
    return (flags & kInquiryEvpd) != 0 ? VitalProductData(request, page) : StandardInquiry(request);
}

PassThroughOutcome VirtualDrive::StandardInquiry(const ScsiRequest& request) {
    std::array<uint8_t, kInquiryMaxLength> reply{};
    std::copy(inquiryHeader.begin(), inquiryHeader.end(), reply.begin());
    std::memcpy(reply.data() + kInquiryIdentificationOffset, identification.data(),
                kIdentificationLength);
    std::memcpy(reply.data() + kInquiryRevisionOffset, revision.data(), kRevisionLength);
    std::memcpy(reply.data() + kOemTagOffset, oemTag.data(), kOemTagLength);
    const size_t length =
        std::max(kInquiryMinLength, 5 + size_t{inquiryHeader[kAdditionalLengthByte]});
    return Reply(request, std::span(reply).first(length));
}

PassThroughOutcome VirtualDrive::VitalProductData(const ScsiRequest& request, uint8_t page) {
    switch (page) {
        case kVpdSupportedPages: {
            // In ascending order, as SPC lists them.
            std::vector<uint8_t> pages{kVpdSupportedPages};
            if (!serial.empty()) {
                pages.push_back(kVpdUnitSerialNumber);
            }
            return Reply(request, VpdPage(inquiryHeader[0], page, pages));
        }
        case kVpdUnitSerialNumber:
            if (serial.empty()) {
                break;
            }
            return Reply(request, VpdPage(inquiryHeader[0], page,
                                          std::span(reinterpret_cast<const uint8_t*>(serial.data()),
                                                    serial.size())));
        default:
            break;
    }
    return PassThroughOutcome::CheckCondition(sense::kInvalidField);
}

}  // namespace flashtool
