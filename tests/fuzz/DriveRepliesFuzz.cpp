// libFuzzer target: any bytes as what a drive sends back, read by every decoder of drive
// replies: sense data in the fixed and the descriptor format (as the Linux back-end parses
// it, and as the Windows back-ends read their sense areas), the identification, revision
// and OEM tag of an INQUIRY reply, the unit serial number page, the capabilities page's
// buffer size and writing claim, and the flash-size reply. None may read outside the reply,
// and each must give only what it may give.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "drive/DriveReplies.h"
#include "flash/TransferReplies.h"
#include "transport/InquiryReply.h"
#include "transport/Sense.h"
#include "transport/windows/SenseArea.h"

using namespace flashtool;

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

uint8_t At(std::span<const uint8_t> bytes, size_t index) {
    return index < bytes.size() ? bytes[index] : 0;
}

void CheckSense(std::span<const uint8_t> reply) {
    const std::optional<SenseInfo> sense = ParseSense(reply);
    const uint8_t code = reply.empty() ? 0 : reply[0] & 0x7F;
    const bool fixed = code == 0x70 || code == 0x71;
    const bool descriptor = code == 0x72 || code == 0x73;
    Require(sense.has_value() == (!reply.empty() && (fixed || descriptor)));
    if (sense) {
        Require(sense->key <= 0x0F);
        Require(sense->asc == At(reply, fixed ? 12 : 2));
        Require(sense->ascq == At(reply, fixed ? 13 : 3));
    }
    // The Windows layers hand back areas of 16 (ASPI) and 32 (SPTI) bytes.
    for (const size_t area : {size_t{16}, size_t{32}}) {
        const SenseInfo read = SenseFromArea(reply.first(std::min(area, reply.size())));
        Require(read.key <= 0x0F);
    }
}

void CheckInquiry(std::span<const uint8_t> reply) {
    const InquiryIdentity identity = IdentityFromInquiry(reply);
    for (size_t i = 0; i < identity.identification.size(); ++i) {
        Require(static_cast<uint8_t>(identity.identification[i]) == At(reply, 8 + i));
    }
    for (size_t i = 0; i < identity.revision.size(); ++i) {
        Require(static_cast<uint8_t>(identity.revision[i]) == At(reply, 32 + i));
    }
    const auto tag = OemTagFromInquiry(reply);
    for (size_t i = 0; i < tag.size(); ++i) {
        Require(static_cast<uint8_t>(tag[i]) == At(reply, kOemTagOffset + i));
    }
    // The serial number is the page's whole field as text, or nothing: never cut, never
    // padded, never a control byte.
    if (const std::optional<std::string> serial = UnitSerialNumberFromVpd(reply)) {
        Require(reply.size() >= 4 && reply[1] == 0x80);
        Require(serial->size() == ((size_t{reply[2]} << 8) | reply[3]));
        Require(serial->size() <= reply.size() - 4);
        Require(std::equal(serial->begin(), serial->end(), reply.begin() + 4,
                           [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; }));
        Require(std::all_of(serial->begin(), serial->end(),
                            [](char c) { return c >= 0x20 && c <= 0x7E; }));
    }
}

void CheckMakerReplies(std::span<const uint8_t> reply) {
    const std::optional<uint16_t> bufferKb = BufferSizeKb(reply);
    Require(bufferKb.has_value() == (reply.size() >= kCapabilitiesBufferSizeOffset + 2));

    const std::optional<bool> writes = CapabilitiesClaimWriting(reply);
    Require(writes.has_value() == (reply.size() >= 12 && (reply[8] & 0x3F) == 0x2A));
    if (writes) {
        Require(*writes == (reply[11] != 0));
    }

    const std::optional<uint32_t> flashSize = FlashSizeFromReply(reply);
    if (flashSize) {
        Require(reply.size() >= 12 && reply[0] == 0x06 && reply[1] == 0x11);
        Require(*flashSize != 0 && *flashSize % 1024 == 0 && *flashSize <= 0xFFFFu * 1024u);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> reply(data, size);
    CheckSense(reply);
    CheckInquiry(reply);
    CheckMakerReplies(reply);
    return 0;
}
