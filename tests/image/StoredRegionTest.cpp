#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegionFixtures.h"
#include "core/Bytes.h"
#include "image/Checksums.h"
#include "image/StoredRegion.h"

namespace flashtool {
namespace {

bool Verify(std::span<const uint8_t> region, std::string_view tag) {
    return VerifyStoredRegion(region, tag, ConfigOf(region), HeaderOf(region));
}

TEST(StoredRegionTest, IntactRegionsPassInTheLayoutTheTagChooses) {
    const auto single = PackSmallRegion(RegionLayout::Single);
    const auto dual = PackSmallRegion(RegionLayout::Dual);
    EXPECT_TRUE(Verify(single, ""));
    EXPECT_TRUE(Verify(single, "ORIN_7200"));  // any other tag reads the single layout
    EXPECT_TRUE(Verify(dual, kVariantOrin7240));
    EXPECT_TRUE(Verify(dual, kVariantOrin7250));
    EXPECT_FALSE(Verify(dual, ""));
    EXPECT_FALSE(Verify(single, kVariantOrin7250));
}

TEST(StoredRegionTest, AFlippedBitAnywhereFails) {
    for (const RegionLayout layout : {RegionLayout::Single, RegionLayout::Dual}) {
        const auto intact = PackSmallRegion(layout);
        const std::string_view tag = layout == RegionLayout::Dual ? kVariantOrin7250 : "";
        // Every byte of the fixed parts and the sums, and a stride through the payloads.
        for (size_t at = 0; at < intact.size();
             at += (at < 160 || at + 8 > intact.size()) ? 1 : 97) {
            auto region = intact;
            region[at] ^= static_cast<uint8_t>(1u << (at % 8));
            EXPECT_FALSE(Verify(region, tag)) << "byte " << at;
        }
    }
}

TEST(StoredRegionTest, DualRegionWithPayloadBOfSizeZeroFails) {
    const auto region = LayOutRegion(SmallBuild(RegionLayout::Dual), SmallImage(1), {});
    ASSERT_EQ(HeaderOf(region).ImageSize(), 0u);
    // The stored words match the bytes before them; the size alone makes it fail.
    const std::span<const uint8_t> covered(region.data(), region.size() - 4);
    ASSERT_EQ(LinearSum(covered), *LittleEndian16At(region, covered.size()));
    ASSERT_EQ(RotatedSum(covered), *LittleEndian16At(region, covered.size() + 2));
    EXPECT_FALSE(Verify(region, kVariantOrin7250));
    EXPECT_FALSE(Verify(region, kVariantOrin7240));
}

TEST(StoredRegionTest, DualRegionMayBeAtMost0x200100BytesLong) {
    const auto stream = CompressImage(SmallImage(3));
    const auto payloadA = MakePayload(stream, 1048576);
    for (const size_t sizeB : {1048714u, 1048715u}) {
        const auto region =
            LayOutRegion(SmallBuild(RegionLayout::Dual), payloadA, MakePayload(stream, sizeB));
        const size_t covered = region.size() - kRegionSumsSize;
        EXPECT_EQ(Verify(region, kVariantOrin7250), covered == 2097408) << covered;
    }
}

TEST(StoredRegionTest, SizesPointingPastTheRegionFailWithoutReadingPastIt) {
    const auto single = PackSmallRegion(RegionLayout::Single);
    const auto dual = PackSmallRegion(RegionLayout::Dual);
    const struct {
        const std::vector<uint8_t>* region;
        std::string_view tag;
        uint32_t sizeA;
        uint32_t sizeB;
    } cases[] = {
        {&single, "", static_cast<uint32_t>(single.size() - 67), 0},  // sums 1 byte short
        {&single, "", static_cast<uint32_t>(single.size()), 0},
        {&single, "", 0xFFFFFFFF, 0},
        {&single, "", 0x200001, 0},  // larger than a buffer
        {&dual, kVariantOrin7250, ConfigOf(dual).ImageSize(), 0xFFFFFFFF},
        {&dual, kVariantOrin7240, 0xFFFFFFF0, 0x20},  // wraps in 32 bits
        {&dual, kVariantOrin7250, ConfigOf(dual).ImageSize(), HeaderOf(dual).ImageSize() + 1},
    };
    for (const auto& c : cases) {
        // An exact-size copy, so that a sanitizer sees any read past the end.
        const std::vector<uint8_t> region(*c.region);
        auto configBytes = ConfigOf(region).Bytes();
        StoreLittleEndian32(configBytes, 60, c.sizeA);
        auto headerBytes = HeaderOf(region).Bytes();
        StoreLittleEndian32(headerBytes, 10, c.sizeB);
        EXPECT_FALSE(
            VerifyStoredRegion(region, c.tag, BuildConfig(configBytes), PayloadHeader(headerBytes)))
            << c.sizeA << " " << c.sizeB;
    }
    for (const size_t length : {0, 3, 64, 70}) {
        const std::vector<uint8_t> cut(single.begin(), single.begin() + length);
        EXPECT_FALSE(Verify(cut, ""));
        EXPECT_FALSE(Verify(cut, kVariantOrin7250));
    }
}

}  // namespace
}  // namespace flashtool
