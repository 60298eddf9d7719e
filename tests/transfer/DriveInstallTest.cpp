// The virtual drive's side: it installs a whole image that checks out, whatever the method,
// refuses a corrupted one, and checks the numbering and sums carried in the commands.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "image/Checksums.h"
#include "transfer/TransferRig.h"

namespace flashtool::testing {
namespace {

struct MethodCase {
    const char* name;
    char digit;
    uint32_t payloadPages;
    std::string currentFamily;
    bool expanded;
    TransferOutcome
        resultWhenCorrupted;  // what the host makes of the drive's refusal: always a failure
};

class DriveInstallTest : public ::testing::TestWithParam<MethodCase> {
protected:
    void Run(bool corrupt) {
        const MethodCase& c = GetParam();
        const auto image = SyntheticFirmware(c.payloadPages * kPage * 2, "1.0e");
        auto region = StoredRegion(StoredForm(image, c.payloadPages * kPage), c.digit);
        std::vector<uint8_t> workBuffer(image);
        TransferInputs inputs = InputsFor(region, c.currentFamily);
        if (c.expanded) {
            inputs.expanded = true;
            inputs.expandedPageCount = static_cast<uint8_t>(image.size() / kPage);
            inputs.workBuffer = workBuffer;
            inputs.linearSum = LinearSum(image);
            inputs.rotatedSum = RotatedSum(image);
        }
        if (corrupt) {
            // After the sums were taken: inside the compressed stream, or the expanded image.
            (c.expanded ? workBuffer[5000] : region[64 + 5000]) ^= 0x10;
        }
        TransferRig rig;
        rig.drive.SetFlashSizeReply({0x20, 0x31, static_cast<uint8_t>(c.payloadPages * 16), 0});

        const TransferOutcome result = rig.Transfer(inputs);
        if (corrupt) {
            EXPECT_EQ(result, c.resultWhenCorrupted);
            EXPECT_EQ(rig.drive.Revision(), "1.0d");
            EXPECT_THAT(rig.drive.Transfer().installedImage, ::testing::IsEmpty());
            EXPECT_EQ(rig.drive.Trace().back().sense.asc, 0x26);  // the last command refused it
        } else {
            EXPECT_EQ(result, TransferOutcome::Done);
            EXPECT_EQ(rig.drive.Revision(), "1.0e");
            EXPECT_EQ(rig.drive.Transfer().installedImage, image);
            EXPECT_EQ(rig.drive.Transfer().installs, 1u);
        }
    }
};

TEST_P(DriveInstallTest, InstallsAGoodImage) {
    Run(false);
}
TEST_P(DriveInstallTest, RefusesACorruptedImage) {
    Run(true);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, DriveInstallTest,
    ::testing::Values(MethodCase{"BufferWrite", '0', 4, "", false, TransferOutcome::Failed},
                      MethodCase{"SignedPages", '1', 4, "", false, TransferOutcome::Failed},
                      MethodCase{"SummedStoredPages", '2', 4, "", false, TransferOutcome::Failed},
                      MethodCase{"SummedExpandedPages", '2', 4, "", true, TransferOutcome::Failed},
                      MethodCase{"Blocks", '3', 4, "", false, TransferOutcome::Failed},
                      MethodCase{"OneSegment", '4', 4, "", false, TransferOutcome::Failed},
                      MethodCase{"TwoSegments", '4', 8, "317R", false, TransferOutcome::Failed}),
    [](const auto& info) { return std::string(info.param.name); });

// Commands sent straight to the drive, out of the order or with sums a host would send.
struct RefusalCase {
    const char* name;
    std::vector<uint8_t> cdb;
    bool withPage;
    SenseInfo expected;
};

class DriveRefusesTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(DriveRefusesTest, WithCheckCondition) {
    const RefusalCase& c = GetParam();
    VirtualDrive drive;
    drive.SetFlashSizeReply({0x20, 0x31, 0x10, 0x00});  // 16 KB
    std::vector<uint8_t> page(c.withPage ? (c.cdb[0] == 0xF2 ? 4098 : kPage) : 0, 0x01);
    ScsiRequest request;
    request.cdb = c.cdb;
    request.direction = page.empty() ? DataDirection::None : DataDirection::Out;
    request.data = page.empty() ? nullptr : page.data();
    request.length = static_cast<uint32_t>(page.size());
    const PassThroughOutcome outcome = drive.Handle(request);
    EXPECT_EQ(outcome.scsiStatus, kStatusCheckCondition);
    EXPECT_EQ(outcome.sense, c.expected);
}

constexpr SenseInfo kSequence{0x05, 0x2C, 0x00};
constexpr SenseInfo kBadData{0x05, 0x26, 0x00};

// A page of 0x01 bytes sums to 0x4000.
INSTANTIATE_TEST_SUITE_P(
    Commands, DriveRefusesTest,
    ::testing::Values(
        RefusalCase{"SummedPageOneBeforePageZero",
                    {0xFA, 0x40, 0x00, 0, 0, 1, 0x01, 0x40, 0x00, 0, 0, 2},
                    true,
                    kSequence},
        RefusalCase{"SummedPageByte6Not01",
                    {0xFA, 0x40, 0x00, 0, 0, 0, 0x00, 0x40, 0x00, 0, 0, 2},
                    true,
                    sense::kInvalidField},
        RefusalCase{"SummedPageXNotTheRotatedSum",
                    {0xFA, 0x40, 0x00, 0, 1, 0, 0x01, 0x40, 0x00, 0, 0, 2},
                    true,
                    kBadData},
        RefusalCase{"SummedPageNumberNotBelowCount",
                    {0xFA, 0x40, 0x00, 0, 0, 2, 0x01, 0x40, 0x00, 0, 0, 2},
                    true,
                    sense::kInvalidField},
        RefusalCase{"SignedPageWrongPageSum",
                    {0xFD, 0x07, 'T', 'A', 'R', 'N', 0x40, 0x01, 0x40, 0x00, 1, 1},
                    true,
                    kBadData},
        RefusalCase{"SignedPageWithoutData",
                    {0xFD, 0x07, 'T', 'A', 'R', 'N', 0x40, 0x00, 0x40, 0x00, 1, 1},
                    false,
                    sense::kInvalidField},
        RefusalCase{
            "BlockWithoutStart", {0xF2, 0x03, 0, 0, 0, 0, 0, 0, 0x10, 0x02, 0, 0}, true, kSequence},
        RefusalCase{"BufferPagePastTheFlash",
                    {0x3B, 0x07, 0, 0, 0x40, 0x00, 0, 0x40, 0, 0},
                    true,
                    sense::kInvalidField},
        RefusalCase{
            "ActivateWithNothingWritten", {0x3B, 0x04, 0, 0, 0, 0, 0, 0, 0, 0}, false, kBadData},
        RefusalCase{
            "CommitOfAnEmptySegment", {0x3B, 0x07, 0, 1, 0, 0, 0, 0, 0, 0}, false, kSequence}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace flashtool::testing
