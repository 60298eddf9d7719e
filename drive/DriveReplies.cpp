#include "drive/DriveReplies.h"

#include "core/Bytes.h"

namespace flashtool {

std::optional<uint16_t> BufferSizeKb(std::span<const uint8_t> capabilitiesPage) {
    return BigEndian16At(capabilitiesPage, kCapabilitiesBufferSizeOffset);
}

std::optional<bool> CapabilitiesClaimWriting(std::span<const uint8_t> capabilitiesPage) {
    constexpr size_t kPage = 8;
    if (capabilitiesPage.size() < kPage + 4 || (capabilitiesPage[kPage] & 0x3F) != 0x2A) {
        return std::nullopt;
    }
    return capabilitiesPage[kPage + 3] != 0;
}

}  // namespace flashtool
