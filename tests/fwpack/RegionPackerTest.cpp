#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Bytes.h"
#include "image/Checksums.h"
#include "image/FirmwareImage.h"
#include "image/StoredRegion.h"
#include "tools/fwpack/RegionPacker.h"
#include "tools/fwpack/SyntheticFirmware.h"

namespace flashtool {
namespace {

BuildDescription Build(RegionLayout layout, std::string family = "KM7240") {
    BuildDescription d;
    d.key = "TARN0";
    d.target = "PALLAS  DVD+-RW PX-5500 ";
    d.revision = "2.1a";
    d.family = std::move(family);
    d.pattern = "WV*.**";
    d.layout = layout;
    if (layout == RegionLayout::Dual) {
        d.versionB = "2.1b";
        d.separatorTag = "ABCDEFGHIJKLMNOPQRSTUVWXY";
    }
    return d;
}

std::vector<uint8_t> Image(uint64_t seed, uint32_t length = 60000) {
    return GenerateSyntheticFirmware({"2.1a", "KM7240", length, seed, length / 2});
}

BuildConfig Config(const std::vector<uint8_t>& region) {
    return *BuildConfig::FromBytes(region);
}
PayloadHeader Header(const std::vector<uint8_t>& region) {
    return *PayloadHeader::FromBytes(std::span(region).subspan(64));
}

TEST(RegionPackerTest, SingleLayoutHoldsConfigPayloadAndSums) {
    const auto image = Image(1);
    const PackResult packed = PackRegion(Build(RegionLayout::Single), image, {});
    ASSERT_EQ(packed.error, "");
    const auto& region = packed.region;
    const auto stream = CompressImage(image);
    EXPECT_EQ(stream[0], 0x78);
    EXPECT_EQ(stream[1], 0xDA);
    const size_t size = PayloadSizeFor(stream.size());
    EXPECT_EQ(size % kPageSize, 0u);
    ASSERT_EQ(region.size(), 64 + size + 4);
    EXPECT_EQ(std::string(region.begin(), region.begin() + 8), std::string("TARN0\0\0\0", 8));
    EXPECT_EQ(Config(region).TargetId(), "PALLAS  DVD+-RW PX-5500 ");
    EXPECT_EQ(Config(region).ImageSize(), size);
    EXPECT_EQ(LittleEndian32At(region, 64), stream.size());
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), region.begin() + 68));
    EXPECT_TRUE(std::all_of(region.begin() + 68 + stream.size(), region.end() - 4,
                            [](uint8_t b) { return b == 0; }));
    const std::span<const uint8_t> payload(region.data() + 64, size);
    EXPECT_EQ(Config(region).ExpectedLinear(), LinearSum(payload));
    EXPECT_EQ(Config(region).ExpectedRotated(), RotatedSum(payload));
    EXPECT_EQ(packed.coveredLength, 64 + size);
    EXPECT_TRUE(VerifyStoredRegion(region, "", Config(region), PayloadHeader()));
}

TEST(RegionPackerTest, DualLayoutHoldsHeaderSeparatorAndFixedSizes) {
    BuildDescription d = Build(RegionLayout::Dual);
    d.payloadSizeA = 3 * kPageSize;
    d.payloadSizeB = 5 * kPageSize;
    const PackResult packed = PackRegion(d, Image(1), Image(2, 70000));
    ASSERT_EQ(packed.error, "");
    const auto& region = packed.region;
    const size_t separator = 78 + 3 * kPageSize;
    ASSERT_EQ(region.size(), separator + 40 + 5 * kPageSize + 4);
    EXPECT_EQ(Header(region).Version(), std::string("2.1b\0\0", 6));
    EXPECT_EQ(Header(region).ImageSize(), 5 * kPageSize);
    EXPECT_EQ(LittleEndian16At(region, separator), Config(region).ExpectedLinear());
    EXPECT_EQ(LittleEndian16At(region, separator + 2), Config(region).ExpectedRotated());
    EXPECT_EQ(std::string(region.begin() + separator + 4, region.begin() + separator + 31),
              "ABCDEFGHIJKLMNOPQRSTUVWXY\n\x1A");
    EXPECT_EQ(std::string(region.begin() + separator + 31, region.begin() + separator + 36),
              std::string(5, '\0'));
    EXPECT_EQ(LittleEndian32At(region, separator + 36), 5 * kPageSize);
    // The expected sums are those of what a run stages for each variant.
    FirmwareImage image;
    for (const std::string_view tag : {kVariantOrin7240, kVariantOrin7250}) {
        const PayloadSelection selection = SelectPayload(tag, Config(region), Header(region));
        const auto sums = image.StagePayload(region, selection);
        ASSERT_TRUE(sums.has_value());
        EXPECT_EQ(sums->Linear(), selection.expectedLinear) << tag;
        EXPECT_EQ(sums->Rotated(), selection.expectedRotated) << tag;
        EXPECT_TRUE(VerifyStoredRegion(region, tag, Config(region), Header(region)));
    }
}

TEST(RegionPackerTest, FixedOffsetFamiliesGetTheSumsOfTheShorterStagedRange) {
    for (const char* family : {"TJ44", "KM7300"}) {
        const PackResult packed = PackRegion(Build(RegionLayout::Single, family), Image(3), {});
        ASSERT_EQ(packed.error, "");
        const PayloadSelection selection =
            SelectPayload("", Config(packed.region), PayloadHeader());
        const std::span<const uint8_t> staged(packed.region.data() + 64, selection.length);
        EXPECT_EQ(selection.length, Config(packed.region).ImageSize() - 12);
        EXPECT_EQ(selection.expectedLinear, LinearSum(staged)) << family;
        EXPECT_EQ(selection.expectedRotated, RotatedSum(staged)) << family;
    }
}

TEST(RegionPackerTest, RefusesWhatCannotBePacked) {
    BuildDescription tooSmall = Build(RegionLayout::Single);
    tooSmall.payloadSizeA = kPageSize;
    BuildDescription tooLong = Build(RegionLayout::Dual);
    tooLong.payloadSizeA = kImageBufferSize;
    tooLong.payloadSizeB = 4 * kPageSize;
    BuildDescription badRevision = Build(RegionLayout::Single);
    badRevision.revision = "2.1";
    BuildDescription badKey = Build(RegionLayout::Single);
    badKey.key = "TARN10";
    const std::vector<uint8_t> noise = [] {
        std::vector<uint8_t> bytes(40000);
        uint32_t x = 1;
        for (uint8_t& b : bytes) {
            x = x * 1103515245 + 12345;
            b = static_cast<uint8_t>(x >> 23);
        }
        return bytes;
    }();
    const struct {
        const char* name;
        BuildDescription description;
        std::vector<uint8_t> imageA;
        std::vector<uint8_t> imageB;
        std::string error;
    } cases[] = {
        {"empty image", Build(RegionLayout::Single), {}, {}, "image A: the image is empty"},
        {"image too large",
         Build(RegionLayout::Single),
         std::vector<uint8_t>(kImageBufferSize + 1),
         {},
         "image A: the image has 2097153 bytes and cannot expand into 2097152"},
        {"empty image B", Build(RegionLayout::Dual), Image(1), {}, "image B: the image is empty"},
        {"stream does not fit", tooSmall, noise, {}, "image A: the compressed payload cannot fit"},
        {"region too long", tooLong, Image(1), Image(2),
         "payloads of 2097152 and 65536 bytes make a dual region longer than 2097408 bytes"},
        {"malformed revision", badRevision, Image(1), {}, "revision \"2.1\" is malformed"},
        {"malformed key", badKey, Image(1), {}, "key \"TARN10\" is malformed"},
    };
    for (const auto& c : cases) {
        const PackResult packed = PackRegion(c.description, c.imageA, c.imageB);
        EXPECT_EQ(packed.error.substr(0, c.error.size()), c.error) << c.name;
        EXPECT_TRUE(packed.region.empty()) << c.name;
    }
}

TEST(RegionPackerTest, SyntheticFirmwareIsDeterministicAndCarriesItsHeader) {
    const SyntheticFirmwareParameters parameters{"1.0e", "KM7240", 200000, 42, 90000};
    const auto image = GenerateSyntheticFirmware(parameters);
    EXPECT_EQ(image, GenerateSyntheticFirmware(parameters));
    ASSERT_EQ(image.size(), 200000u);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 8), std::string("OPTFW\0\0\1", 8));
    EXPECT_EQ(std::string(image.begin() + 8, image.begin() + 12), "1.0e");
    EXPECT_EQ(std::string(image.begin() + 12, image.begin() + 20), std::string("KM7240\0\0", 8));
    EXPECT_EQ(LittleEndian32At(image, 20), 200000u);
    EXPECT_EQ(image.back(), 0xFF);  // erased flash at the end
    // A larger code area keeps everything before the end of the smaller one.
    SyntheticFirmwareParameters larger = parameters;
    larger.codeSize = 100000;
    const auto other = GenerateSyntheticFirmware(larger);
    const size_t shared = 32 + 1024 + 90000;
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + shared, other.begin()));
    EXPECT_NE(image, other);
}

}  // namespace
}  // namespace flashtool
