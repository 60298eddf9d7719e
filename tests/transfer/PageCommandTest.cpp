// The two page commands (0xFA with the image sums, 0xFD signed), and every method's
// refusal of an image it cannot send whole.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "image/Checksums.h"
#include "transfer/TransferRig.h"

namespace flashtool::testing {
namespace {

using ::testing::IsEmpty;

uint8_t Hi(uint32_t value) {
    return static_cast<uint8_t>(value >> 8);
}
uint8_t Lo(uint32_t value) {
    return static_cast<uint8_t>(value);
}
uint16_t PageSumOf(std::span<const uint8_t> page) {
    return static_cast<uint16_t>(ByteSum(page.data(), kPage));
}

struct SummedCase {
    const char* name;
    std::string buildFamily;
    bool expanded;
    bool pageSumInX;  // the build's drives check each page's own sum
};

class SummedPagesTest : public ::testing::TestWithParam<SummedCase> {};

TEST_P(SummedPagesTest, SendsEveryPageFromZeroWithTheImageSums) {
    const SummedCase& c = GetParam();
    const auto image = SyntheticFirmware(8 * kPage, "1.0e");
    const auto region = StoredRegion(StoredForm(image, 5 * kPage), '2', c.buildFamily);
    TransferInputs inputs = InputsFor(region);
    std::vector<uint8_t> workBuffer(image);
    workBuffer.resize(16 * kPage, 0xEE);  // what lies past the expanded pages is never sent
    std::span<const uint8_t> source(region.data() + 64, 5 * kPage);
    if (c.expanded) {
        inputs.expanded = true;
        inputs.expandedPageCount = 8;
        inputs.workBuffer = workBuffer;
        inputs.linearSum = LinearSum(image);
        inputs.rotatedSum = RotatedSum(image);
        source = image;
    } else if (c.pageSumInX) {
        // These builds stage and sum 12 bytes less than the payload.
        const std::span<const uint8_t> staged(region.data() + 64, 5 * kPage - 12);
        inputs.linearSum = LinearSum(staged);
        inputs.rotatedSum = RotatedSum(staged);
    }
    TransferRig rig;
    rig.drive.SetChecksPageSums(c.pageSumInX);

    EXPECT_EQ(rig.Transfer(inputs), TransferOutcome::Done);

    const auto count = static_cast<uint8_t>(source.size() / kPage);
    const uint16_t l = inputs.linearSum;
    const uint16_t r = inputs.rotatedSum;
    std::vector<std::string> expected;
    for (uint8_t p = 0; p < count; ++p) {
        const auto page = source.subspan(p * kPage, kPage);
        const uint16_t x = c.pageSumInX ? PageSumOf(page) : r;
        const std::vector<uint8_t> cdb{0xFA, Hi(l), Lo(l), Hi(x), Lo(x), p,
                                       0x01, Hi(l), Lo(l), Hi(r), Lo(r), count};
        expected.push_back(DataOut(cdb, page, 200));
    }
    EXPECT_EQ(rig.Wire(), expected);
    EXPECT_THAT(rig.diagnostics.Text(), IsEmpty());
    EXPECT_EQ(rig.drive.Revision(), "1.0e");
    EXPECT_EQ(rig.drive.Transfer().installedImage, image);
}

INSTANTIATE_TEST_SUITE_P(
    Builds, SummedPagesTest,
    ::testing::Values(SummedCase{"StoredPagesRotatedSumInX", "KM7250", false, false},
                      SummedCase{"StoredPagesPageSumForTJ44", "TJ44", false, true},
                      SummedCase{"StoredPagesPageSumForKM7300", "KM7300", false, true},
                      SummedCase{"ExpandedPagesFromTheWorkBuffer", "KM7250", true, false},
                      SummedCase{"ExpandedPagesPageSumForTJ44", "TJ44", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SignedPagesTest, SendsPagesFromOneWithPageSumLinearSumAndStoredCount) {
    const auto image = SyntheticFirmware(8 * kPage, "1.0e");
    const auto region = StoredRegion(StoredForm(image, 4 * kPage), '1');
    const TransferInputs inputs = InputsFor(region);
    TransferRig rig;

    EXPECT_EQ(rig.Transfer(inputs), TransferOutcome::Done);

    const uint16_t l = inputs.linearSum;
    std::vector<std::string> expected;
    for (uint8_t p = 1; p <= 4; ++p) {
        const std::span<const uint8_t> page(region.data() + 64 + (p - 1) * kPage, kPage);
        const uint16_t s = PageSumOf(page);
        const std::vector<uint8_t> cdb{0xFD,  0x07,  'T',   'A',   'R', 'N',
                                       Hi(s), Lo(s), Hi(l), Lo(l), p,   4};
        expected.push_back(DataOut(cdb, page, 200));
    }
    EXPECT_EQ(rig.Wire(), expected);
    EXPECT_EQ(rig.drive.Revision(), "1.0e");
}

TEST(PageCommandFailureTest, TheFirstPageThatFailsEndsTheTransferWithoutRetry) {
    for (const char digit : {'1', '2'}) {
        const auto region =
            StoredRegion(StoredForm(SyntheticFirmware(8 * kPage, "1.0e"), 4 * kPage), digit);
        TransferRig rig;
        rig.drive.AddFault(Fault{static_cast<uint8_t>(digit == '1' ? 0xFD : 0xFA),
                                 std::nullopt,
                                 2,
                                 FaultKind::TimeOut,
                                 {}});
        EXPECT_EQ(rig.Transfer(InputsFor(region)), TransferOutcome::Failed) << digit;
        ASSERT_EQ(rig.Wire().size(), 2u) << digit;
        EXPECT_THAT(rig.Wire()[1], ::testing::EndsWith("| timedout")) << digit;
        EXPECT_EQ(rig.drive.Revision(), "1.0d") << digit;
    }
}

// An image that cannot be read whole from the stored region or the work buffer, or that
// has nothing to send, fails before the first command.
struct RefusalCase {
    const char* name;
    char digit;
    uint32_t size;         // S
    size_t regionCut;      // bytes taken off the end of the region
    std::string family;    // the selected drive's family
    bool expandedTooLong;  // the expanded page count runs past the work buffer
};

class RefusedBeforeSendingTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedBeforeSendingTest, NothingIsSent) {
    const RefusalCase& c = GetParam();
    std::vector<uint8_t> payload = SyntheticFirmware(c.size, "1.0e");
    auto region = StoredRegion(payload, c.digit);
    region.resize(region.size() - c.regionCut);
    TransferInputs inputs = InputsFor(region, c.family);
    std::vector<uint8_t> workBuffer(4 * kPage);
    if (c.expandedTooLong) {
        inputs.expanded = true;
        inputs.expandedPageCount = 5;
        inputs.workBuffer = workBuffer;
    }
    TransferRig rig;
    rig.drive.SetFlashSizeReply({0x20, 0x31, 0x00, 0x00});

    EXPECT_EQ(rig.Transfer(inputs), TransferOutcome::Failed);
    EXPECT_THAT(rig.Wire(), IsEmpty());
    EXPECT_THAT(rig.diagnostics.Text(), IsEmpty());
    EXPECT_THAT(rig.clock.Sleeps(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Images, RefusedBeforeSendingTest,
    ::testing::Values(
        // The 4-byte region sums are cut, then one byte of the payload.
        RefusalCase{"BufferWritePastTheRegion", '0', 8 * kPage, 5, "", false},
        RefusalCase{"SignedPagesPastTheRegion", '1', 4 * kPage, 5, "", false},
        RefusalCase{"SummedPagesPastTheRegion", '2', 4 * kPage, 5, "", false},
        RefusalCase{"SummedPagesPastTheWorkBuffer", '2', 4 * kPage, 0, "", true},
        RefusalCase{"BlocksPastTheRegion", '3', 4 * kPage, 5, "", false},
        // A last partial block would be read from past the end of the region.
        RefusalCase{"PartialLastBlockPastTheRegion", '3', 4 * kPage + 1, 0, "", false},
        RefusalCase{"SegmentPastTheRegion", '4', 4 * kPage, 5, "", false},
        RefusalCase{"TwoSegmentsOfAnImageBelow64K", '4', 3 * kPage, 0, "317R", false},
        RefusalCase{"SecondSegmentPastTheRegion", '4', 6 * kPage, 0, "317R", false},
        RefusalCase{"NoPageToSign", '1', kPage - 1, 0, "", false},
        RefusalCase{"NoPageToSend", '2', kPage - 1, 0, "", false},
        RefusalCase{"NoBlockToSend", '3', 0, 0, "", false},
        RefusalCase{"NoSegmentToSend", '4', 0, 0, "", false},
        RefusalCase{"NoSuchMethod", '5', 4 * kPage, 0, "", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace flashtool::testing
