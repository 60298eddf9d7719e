#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "RegionFixtures.h"
#include "image/Checksums.h"
#include "image/FirmwareImage.h"

namespace flashtool {
namespace {

std::vector<uint8_t> Staged(const FirmwareImage& image, size_t length) {
    return {image.StagingBuffer().begin(), image.StagingBuffer().begin() + length};
}

// A single-layout region holding `payload`, staged into `image`; gives the selection.
PayloadSelection StageSingle(FirmwareImage& image, const std::vector<uint8_t>& payload,
                             std::vector<uint8_t>& region) {
    region = LayOutRegion(SmallBuild(RegionLayout::Single), payload, {});
    const PayloadSelection selection = SelectPayload("", ConfigOf(region), HeaderOf(region));
    EXPECT_TRUE(image.StagePayload(region, selection).has_value());
    return selection;
}

TEST(FirmwareImageTest, StagingCopiesTheRangeIntoBothBuffersAndSumsIt) {
    const auto region = PackSmallRegion(RegionLayout::Dual);
    for (const std::string_view tag : {kVariantOrin7240, kVariantOrin7250}) {
        FirmwareImage image;
        const PayloadSelection selection = SelectPayload(tag, ConfigOf(region), HeaderOf(region));
        const auto sums = image.StagePayload(region, selection);
        ASSERT_TRUE(sums.has_value());
        const std::span<const uint8_t> range(region.data() + selection.first, selection.length);
        EXPECT_EQ(sums->Linear(), LinearSum(range));
        EXPECT_EQ(sums->Rotated(), RotatedSum(range));
        EXPECT_EQ(sums->Linear(), selection.expectedLinear);
        EXPECT_EQ(sums->Rotated(), selection.expectedRotated);
        EXPECT_TRUE(std::equal(range.begin(), range.end(), image.StagingBuffer().begin()));
        EXPECT_TRUE(std::equal(range.begin(), range.end(), image.WorkBuffer().begin()));
    }
}

TEST(FirmwareImageTest, StagingRefusesARangeOutsideTheRegionOrTheBuffers) {
    const auto region = PackSmallRegion(RegionLayout::Single);
    FirmwareImage image;
    PayloadSelection good = SelectPayload("", ConfigOf(region), HeaderOf(region));
    ASSERT_TRUE(image.StagePayload(region, good).has_value());
    const auto before = Staged(image, good.length);

    const std::vector<uint8_t> large(kImageBufferSize + 100, 0x5A);
    const struct {
        const std::vector<uint8_t>* region;
        size_t first;
        size_t length;
    } cases[] = {
        {&region, region.size() - 10, 11},
        {&region, region.size() + 1, 0},
        {&region, 64, SIZE_MAX},
        {&large, 0, kImageBufferSize + 1},
    };
    for (const auto& c : cases) {
        PayloadSelection selection = good;
        selection.first = c.first;
        selection.length = c.length;
        EXPECT_FALSE(image.StagePayload(*c.region, selection).has_value()) << c.first;
    }
    EXPECT_EQ(Staged(image, good.length), before);
    PayloadSelection whole{};
    whole.length = kImageBufferSize;
    EXPECT_TRUE(image.StagePayload(large, whole).has_value());
}

TEST(FirmwareImageTest, InflateGivesThePagesOfAWholePageImageAndFailsOnAPartialPage) {
    // A partial last page would be dropped without a word, and a shorter image sent under the
    // sums of the whole one: only whole pages count as an image. 2 MB - 1 is the case that
    // matters for this build's payload B.
    const struct {
        uint32_t length;
        uint8_t pages;
    } cases[] = {{16384u * 3, 3},
                 {16384u * 128, 128},
                 {16384u * 2 + 100, kInflateFailed},
                 {100u, kInflateFailed},
                 {2097152u - 1, kInflateFailed}};
    for (const auto& c : cases) {
        const auto raw = SmallImage(4, c.length);
        const auto stream = CompressImage(raw);
        FirmwareImage image;
        std::vector<uint8_t> region;
        const auto selection =
            StageSingle(image, MakePayload(stream, PayloadSizeFor(stream.size())), region);
        EXPECT_EQ(image.InflatePayload(selection.storedPageCount), c.pages) << c.length;
        if (c.pages != kInflateFailed) {
            EXPECT_TRUE(std::equal(raw.begin(), raw.end(), image.WorkBuffer().begin()));
        }
    }
}

voidpf NoMemory(voidpf, uInt, uInt) {
    return Z_NULL;
}
void NoFree(voidpf, voidpf) {}

TEST(FirmwareImageTest, InflateFailsWithFFOnEveryBadStream) {
    const auto raw = SmallImage(5, 16384 * 3);
    const auto stream = CompressImage(raw);
    const size_t size = PayloadSizeFor(stream.size());
    const auto pages = static_cast<uint8_t>(size / 16384);
    auto corrupt = stream;
    corrupt[stream.size() / 2] ^= 0x55;
    const std::vector<uint8_t> truncated(stream.begin(), stream.begin() + stream.size() / 2);
    auto badCheck = stream;
    badCheck.back() ^= 1;  // the Adler-32 trailer
    // A stream whose end lies in the 128 bytes the input limit leaves out.
    // Noise does not compress: its stream is a few bytes longer than itself.
    std::mt19937 random(9);
    std::vector<uint8_t> noise(16230);
    std::generate(noise.begin(), noise.end(), [&] { return static_cast<uint8_t>(random()); });
    std::vector<uint8_t> tooLong = CompressImage(noise);
    while (tooLong.size() + 4 <= 16384 - 128) {
        noise.push_back(static_cast<uint8_t>(random()));
        tooLong = CompressImage(noise);
    }
    ASSERT_LE(tooLong.size() + 4, 16384u);
    const auto huge = CompressImage(std::vector<uint8_t>(kImageBufferSize + 1, 0));

    const struct {
        const char* name;
        std::vector<uint8_t> payload;
        uint8_t pages;
    } cases[] = {
        {"corrupt", MakePayload(corrupt, size), pages},
        {"truncated", MakePayload(truncated, size), pages},
        {"bad check value", MakePayload(badCheck, size), pages},
        {"ends past the limit", MakePayload(tooLong, 16384), 1},
        {"expands past the buffer", MakePayload(huge, 16384), 1},
        {"no pages", MakePayload(stream, size), 0},
        {"more pages than a buffer", MakePayload(stream, size), 129},
    };
    for (const auto& c : cases) {
        FirmwareImage image;
        std::vector<uint8_t> region;
        StageSingle(image, c.payload, region);
        EXPECT_EQ(image.InflatePayload(c.pages), kInflateFailed) << c.name;
    }

    FirmwareImage image;
    std::vector<uint8_t> region;
    const auto selection = StageSingle(image, MakePayload(stream, size), region);
    image.SetZlibAllocator(NoMemory, NoFree, nullptr);
    EXPECT_EQ(image.InflatePayload(selection.storedPageCount), kInflateFailed) << "failed start";
    image.SetZlibAllocator(nullptr, nullptr, nullptr);
    EXPECT_EQ(image.InflatePayload(selection.storedPageCount), raw.size() / 16384);
}

TEST(FirmwareImageTest, ExpandedImageSumsCoverWholePagesOfTheWorkBuffer) {
    const auto raw = SmallImage(6, 16384 * 3);
    const auto stream = CompressImage(raw);
    FirmwareImage image;
    std::vector<uint8_t> region;
    const auto selection =
        StageSingle(image, MakePayload(stream, PayloadSizeFor(stream.size())), region);
    const uint8_t pages = image.InflatePayload(selection.storedPageCount);
    ASSERT_EQ(pages, 3);
    const auto sums = image.ExpandedImageSums(pages);
    ASSERT_TRUE(sums.has_value());
    const std::span<const uint8_t> expanded(raw.data(), 3 * 16384);
    EXPECT_EQ(sums->Linear(), LinearSum(expanded));
    EXPECT_EQ(sums->Rotated(), RotatedSum(expanded));
    const auto none = image.ExpandedImageSums(0);
    ASSERT_TRUE(none.has_value());
    EXPECT_EQ(none->Linear(), 0);
    EXPECT_EQ(none->Rotated(), 0);
    EXPECT_TRUE(image.ExpandedImageSums(128).has_value());
    EXPECT_FALSE(image.ExpandedImageSums(129).has_value());
}

}  // namespace
}  // namespace flashtool
