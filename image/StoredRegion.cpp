#include "image/StoredRegion.h"

#include "core/Bytes.h"
#include "image/Checksums.h"
#include "image/ImageLayout.h"

namespace flashtool {

std::optional<size_t> CoveredLength(size_t regionSize, std::string_view variantTag,
                                    const BuildConfig& config, const PayloadHeader& header) {
    // 64-bit arithmetic: two 32-bit sizes and the fixed part cannot overflow it.
    const uint64_t sizeA = config.ImageSize();
    if (sizeA > kImageBufferSize) {
        return std::nullopt;
    }
    uint64_t covered = 0;
    if (LayoutForVariant(variantTag) == RegionLayout::Single) {
        covered = kSinglePayloadOffset + sizeA;
    } else {
        const uint64_t sizeB = header.ImageSize();
        if (sizeB == 0 || sizeB > kImageBufferSize) {
            return std::nullopt;
        }
        covered = sizeA + sizeB + kDualFixedSize;
        if (covered > kMaxDualRegionLength) {
            return std::nullopt;
        }
    }
    if (covered + kRegionSumsSize > regionSize) {
        return std::nullopt;
    }
    return static_cast<size_t>(covered);
}

bool VerifyStoredRegion(std::span<const uint8_t> region, std::string_view variantTag,
                        const BuildConfig& config, const PayloadHeader& header) {
    const std::optional<size_t> covered = CoveredLength(region.size(), variantTag, config, header);
    if (!covered) {
        return false;
    }
    const std::span<const uint8_t> bytes = region.first(*covered);
    const std::optional<uint16_t> expectedLinear = LittleEndian16At(region, *covered);
    const std::optional<uint16_t> expectedRotated = LittleEndian16At(region, *covered + 2);
    RunningSums sums;
    sums.Add(bytes);
    return expectedLinear && expectedRotated && sums.Linear() == *expectedLinear &&
           sums.Rotated() == *expectedRotated;
}

}  // namespace flashtool
