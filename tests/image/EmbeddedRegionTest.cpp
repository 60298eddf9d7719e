// This build's stored region, as the program carries it.

#include <gtest/gtest.h>

#include <string>

#include "RegionFixtures.h"
#include "core/Bytes.h"
#include "data/EmbeddedRegion.h"
#include "image/FirmwareHeader.h"
#include "image/FirmwareImage.h"
#include "image/StoredRegion.h"
#include "tools/fwpack/FileIo.h"

namespace flashtool {
namespace {

using namespace std::string_literals;

constexpr size_t kSizeA = 901120;
constexpr size_t kSizeB = 917504;
constexpr size_t kSeparator = 78 + kSizeA;

TEST(EmbeddedRegionTest, HoldsThisBuildsConfigurationAndLayout) {
    const auto region = EmbeddedStoredRegion();
    ASSERT_EQ(region.size(), 118 + kSizeA + kSizeB + 4);
    const BuildConfig config = ConfigOf(region);
    EXPECT_EQ(config.BuildKey(), "TARN2\0\0\0"s);
    EXPECT_EQ(config.TargetId(), "ORIN    DVD RW QV-5500A ");
    EXPECT_EQ(config.NewRevision(), "1.0e");
    EXPECT_EQ(config.FamilyCode10(), "KM7240\0\0\0\0"s);
    EXPECT_EQ(config.RevisionPattern(), "QZ*.**\0\0"s);
    EXPECT_EQ(config.ImageSize(), kSizeA);
    const PayloadHeader header = HeaderOf(region);
    EXPECT_EQ(header.Version(), "1.0e\0\0"s);
    EXPECT_EQ(header.ImageSize(), kSizeB);

    // The separator: payload A's sums, the tag ending in LF and 0x1A, 5 zeros, B's size.
    EXPECT_EQ(LittleEndian16At(region, kSeparator), config.ExpectedLinear());
    EXPECT_EQ(LittleEndian16At(region, kSeparator + 2), config.ExpectedRotated());
    const std::string tag(region.begin() + kSeparator + 4, region.begin() + kSeparator + 31);
    EXPECT_EQ(tag, "QV-5500A KM7240 DUAL 1.0e\n\x1A");
    EXPECT_EQ(
        std::vector<uint8_t>(region.begin() + kSeparator + 31, region.begin() + kSeparator + 36),
        std::vector<uint8_t>(5, 0));
    EXPECT_EQ(LittleEndian32At(region, kSeparator + 36), kSizeB);

    // Both payloads: a length word, then a zlib stream at level 9.
    for (const size_t payload : {size_t{78}, kSeparator + 40}) {
        EXPECT_EQ(region[payload + 4], 0x78);
        EXPECT_EQ(region[payload + 5], 0xDA);
    }
}

TEST(EmbeddedRegionTest, IsExactlyThePackedFileAndVerifiesInTheDualLayoutOnly) {
    const auto region = EmbeddedStoredRegion();
    const auto packed = ReadWholeFile(std::string(FLASHTOOL_DATA_DIR) + "/stored-region.bin");
    ASSERT_TRUE(packed.has_value());
    EXPECT_TRUE(std::equal(region.begin(), region.end(), packed->begin(), packed->end()));
    EXPECT_TRUE(VerifyStoredRegion(region, kVariantOrin7250, ConfigOf(region), HeaderOf(region)));
    EXPECT_TRUE(VerifyStoredRegion(region, kVariantOrin7240, ConfigOf(region), HeaderOf(region)));
    EXPECT_FALSE(VerifyStoredRegion(region, "", ConfigOf(region), HeaderOf(region)));
}

// Each payload passes its check and expands to exactly the generated firmware: 128 pages
// with the header a drive reads when it installs the image.
TEST(EmbeddedRegionTest, EachPayloadExpandsToItsGeneratedFirmware) {
    const auto region = EmbeddedStoredRegion();
    const struct {
        std::string_view tag;
        const char* file;
        uint8_t storedPages;
    } cases[] = {
        {kVariantOrin7240, "firmware-a.bin", 55},
        {kVariantOrin7250, "firmware-b.bin", 56},
    };
    FirmwareImage image;
    for (const auto& c : cases) {
        const auto generated = ReadWholeFile(std::string(FLASHTOOL_DATA_DIR) + "/" + c.file);
        ASSERT_TRUE(generated.has_value()) << c.file;
        const PayloadSelection selection = SelectPayload(c.tag, ConfigOf(region), HeaderOf(region));
        EXPECT_EQ(selection.storedPageCount, c.storedPages);
        const auto sums = image.StagePayload(region, selection);
        ASSERT_TRUE(sums.has_value());
        EXPECT_EQ(sums->Linear(), selection.expectedLinear);
        EXPECT_EQ(sums->Rotated(), selection.expectedRotated);
        ASSERT_EQ(image.InflatePayload(selection.storedPageCount), 128) << c.file;
        EXPECT_TRUE(std::equal(generated->begin(), generated->end(), image.WorkBuffer().begin()));
        const auto header = ReadFirmwareHeader(image.WorkBuffer());
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->revision, "1.0e");
        EXPECT_EQ(header->family, "KM7240");
        EXPECT_EQ(header->imageLength, kImageBufferSize);
    }
}

}  // namespace
}  // namespace flashtool
