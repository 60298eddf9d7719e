#include "transport/windows/SptiBuffer.h"

#include "core/Bytes.h"

namespace flashtool {

uint32_t AlignmentMaskFrom(std::span<const uint8_t> reply, uint32_t returned) {
    if (returned < kCapabilitiesAlignmentMaskOffset + 4 || returned > reply.size()) {
        return kDefaultAlignmentMask;
    }
    const uint32_t mask = LittleEndian32At(reply, kCapabilitiesAlignmentMaskOffset).value_or(0);
    const bool powerOfTwoLessOne = (mask & (mask + 1)) == 0;
    return powerOfTwoLessOne && mask <= kMaxAlignmentMask ? mask : kDefaultAlignmentMask;
}

std::span<uint8_t> SptiBuffer::Take(uint32_t length, uint32_t mask) {
    // Room for the length wherever in the first mask + 1 bytes the aligned address falls.
    const size_t needed = size_t{length} + mask;
    if (storage.size() < needed) {
        storage.assign(needed, 0);
    }
    const auto address = reinterpret_cast<uintptr_t>(storage.data());
    const size_t skip = static_cast<size_t>((~address + 1) & mask);
    return std::span<uint8_t>(storage.data() + skip, length);
}

}  // namespace flashtool
