// The buffer writes with read-back: method 0 (flash size query, pages, activate) and
// method 4 (segments and commits), with the page retry and the limit of five failures.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/Format.h"
#include "transfer/TransferRig.h"

namespace flashtool::testing {
namespace {

using ::testing::EndsWith;
using ::testing::IsEmpty;

const std::string kStartLines = "\nFirmware will be upgraded!\n\n\nTransferring firmware...";

std::string ProgressLines(int pages) {
    std::string text;
    for (int n = 1; n <= pages; ++n) {
        text += FormatText("Transfer of %d page 16k bytes\n", n);
    }
    return text;
}

std::vector<uint8_t> Buffer10(uint8_t op, uint8_t mode, uint8_t b2, uint8_t b3, uint32_t offset) {
    return {op,   mode, b2,   b3,  static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset),
            0x00, 0x40, 0x00, 0x00};
}

size_t CountCommands(const TransferRig& rig, uint8_t op, uint8_t mode) {
    return static_cast<size_t>(
        std::count_if(rig.drive.Trace().begin(), rig.drive.Trace().end(), [&](const TraceEntry& e) {
            return e.cdb[0] == op && e.cdb[1] == mode && e.direction != DataDirection::None;
        }));
}

TEST(BufferWriteTest, A256KImageGoesOutAsIds0To3WithFourOffsetsEachThenActivates) {
    const auto image = SyntheticFirmware(400000, "1.0e");
    const auto region = StoredRegion(StoredForm(image, 16 * kPage), '0');
    TransferRig rig;
    rig.drive.SetFlashSizeReply({0x80, 0x31, 0x00, 0x00});  // 262,144 by the device code

    EXPECT_EQ(rig.Transfer(InputsFor(region)), TransferOutcome::Done);

    std::vector<uint8_t> reply(100);
    reply[0] = 0x06;
    reply[1] = 0x11;
    reply[2] = 0x80;
    reply[3] = 0x31;
    std::vector<std::string> expected{
        DataIn({{0x3C, 0x01, 0, 0, 0, 0, 0, 0, 0x64, 0}}, reply, 200)};
    for (uint32_t o = 0; o < 16 * kPage; o += kPage) {
        const std::span<const uint8_t> page(region.data() + 64 + o, kPage);
        const auto id = static_cast<uint8_t>(o >> 16);
        expected.push_back(DataOut(Buffer10(0x3B, 0x07, id, 0, o & 0xFFFF), page, 200));
        expected.push_back(DataIn(Buffer10(0x3C, 0x02, id, 0, o & 0xFFFF), page, 200));
    }
    expected.push_back(NoData({{0x3B, 0x04, 0, 0, 0, 0, 0, 0, 0, 0}}, 15));
    EXPECT_EQ(rig.Wire(), expected);
    EXPECT_EQ(rig.Wire()[2 * 15 + 1].substr(0, 29), "3B 07 03 00 C0 00 00 40 00 00");
    EXPECT_EQ(rig.diagnostics.Text(), kStartLines + ProgressLines(16));
    EXPECT_EQ(rig.drive.Revision(), "1.0e");
    EXPECT_EQ(rig.drive.Transfer().installedImage, image);
}

TEST(BufferWriteTest, AnImageEndingInsideAPageSendsThatPageZeroFilled) {
    // A 17 KB flash: the second page holds 1 KB of image and 15 KB of zero fill, never
    // bytes from past the image.
    const auto image = SyntheticFirmware(17 * 1024, "1.0e");
    const auto region = StoredRegion(image, '0');
    for (const char digit : {'0', '4'}) {
        TransferRig rig;
        rig.drive.SetFlashSizeReply({0x20, 0x31, 17, 0x00});
        TransferInputs inputs = InputsFor(region);
        inputs.method = *TransferMethodOf(digit);

        EXPECT_EQ(rig.Transfer(inputs), TransferOutcome::Done) << digit;

        std::vector<uint8_t> lastPage(image.begin() + kPage, image.end());
        lastPage.resize(kPage, 0);
        const auto cdb = Buffer10(0x3B, digit == '0' ? 0x07 : 0x06, 0, 0, 0x4000);
        EXPECT_THAT(rig.Wire(), ::testing::Contains(DataOut(cdb, lastPage, 200))) << digit;
        EXPECT_EQ(rig.drive.Revision(), "1.0e") << digit;
    }
}

struct QueryCase {
    const char* name;
    FlashSizeReply reply;
    bool ok;
    uint32_t flashSize;
};

class FlashSizeQueryTest : public ::testing::TestWithParam<QueryCase> {};

TEST_P(FlashSizeQueryTest, ReportedSizeOrTheDeviceCodesSize) {
    const QueryCase& c = GetParam();
    TransferRig rig;
    rig.drive.SetFlashSizeReply({0x20, 0x31, 0x10, 0x00});
    ASSERT_TRUE(rig.transfer->QueryFlashSize());
    ASSERT_EQ(rig.transfer->FlashSize(), 16384u);
    rig.drive.SetFlashSizeReply(c.reply);
    EXPECT_EQ(rig.transfer->QueryFlashSize(), c.ok);
    EXPECT_EQ(rig.transfer->FlashSize(), c.flashSize);  // a failed query keeps the last size
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FlashSizeQueryTest,
    ::testing::Values(QueryCase{"SizeBytes0002Give512K", {0x20, 0x31, 0x00, 0x02}, true, 524288},
                      QueryCase{"SizeBytes4000Give64K", {0x80, 0x31, 0x40, 0x00}, true, 65536},
                      QueryCase{"Device3120", {0x20, 0x31, 0, 0}, true, 131072},
                      QueryCase{"Device3140", {0x40, 0x31, 0, 0}, true, 524288},
                      QueryCase{"Device3180", {0x80, 0x31, 0, 0}, true, 262144},
                      QueryCase{"Device3220", {0x20, 0x32, 0, 0}, true, 131072},
                      QueryCase{"UnknownDeviceFails", {0x20, 0x33, 0x00, 0x02}, false, 16384},
                      QueryCase{"SwappedDeviceBytesFail", {0x31, 0x20, 0, 0}, false, 16384}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FlashSizeQueryTest, AFailedCommandFails) {
    TransferRig rig;
    rig.drive.AddFault(Fault{0x3C, 0x01, 1, FaultKind::TransportFailure, {}});
    EXPECT_FALSE(rig.transfer->QueryFlashSize());
    EXPECT_EQ(rig.transfer->FlashSize(), 0u);
}

// Method 0 on a 64 KB drive (four pages) under each fault.
struct ReadBackCase {
    const char* name;
    std::function<void(VirtualDrive&)> scenario;
    TransferOutcome result;
    size_t pageWrites;
    bool activated;
    std::string diagnosticsTail;
};

class BufferWriteFaultTest : public ::testing::TestWithParam<ReadBackCase> {};

TEST_P(BufferWriteFaultTest, RetriesAPageUntilFiveFailuresInARow) {
    const ReadBackCase& c = GetParam();
    const auto region = StoredRegion(StoredForm(SyntheticFirmware(100000, "1.0e"), 4 * kPage), '0');
    TransferRig rig;
    rig.drive.SetFlashSizeReply({0x20, 0x31, 0x40, 0x00});  // 64 KB
    c.scenario(rig.drive);

    EXPECT_EQ(rig.Transfer(InputsFor(region)), c.result);
    EXPECT_EQ(CountCommands(rig, 0x3B, 0x07), c.pageWrites);
    EXPECT_EQ(rig.Wire().back().starts_with("3B 04"), c.activated);
    EXPECT_THAT(rig.diagnostics.Text(), EndsWith(c.diagnosticsTail));
    EXPECT_EQ(rig.drive.Revision(), c.result == TransferOutcome::Done ? "1.0e" : "1.0d");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BufferWriteFaultTest,
    ::testing::Values(
        ReadBackCase{"ReadBackDiffersOnce", [](VirtualDrive& d) { d.CorruptReadBacks(2, 1); },
                     TransferOutcome::Done, 5, true, ProgressLines(4)},
        ReadBackCase{"PageFailsTwiceThenVerifies",
                     [](VirtualDrive& d) { d.CorruptReadBacks(2, 2); }, TransferOutcome::Done, 6,
                     true, ProgressLines(4)},
        ReadBackCase{"FourFailuresInARowStillVerify",
                     [](VirtualDrive& d) { d.CorruptReadBacks(3, 4); }, TransferOutcome::Done, 8,
                     true, ProgressLines(4)},
        // Two failures on page 2, three on page 3: five in all, but never five in a row.
        ReadBackCase{"AVerifiedPageResetsTheCount",
                     [](VirtualDrive& d) {
                         d.CorruptReadBacks(2, 2);
                         d.CorruptReadBacks(5, 3);
                     },
                     TransferOutcome::Done, 9, true, ProgressLines(4)},
        ReadBackCase{"FiveFailuresInARowEndIt", [](VirtualDrive& d) { d.CorruptReadBacks(2, 5); },
                     TransferOutcome::Failed, 6, false,
                     "Transfer of 1 page 16k bytes\nError Happen in ID 0 OFFSET 0x4000"},
        ReadBackCase{"ReadBacksThatAlwaysDiffer", [](VirtualDrive& d) { d.CorruptReadBacks(1, 0); },
                     TransferOutcome::Failed, 5, false,
                     kStartLines + "Error Happen in ID 0 OFFSET 0x0000"},
        ReadBackCase{"FailedWriteIsRetried",
                     [](VirtualDrive& d) {
                         d.AddFault(Fault{0x3B, 0x07, 2, FaultKind::TransportFailure, {}});
                     },
                     TransferOutcome::Done, 5, true, ProgressLines(4)},
        ReadBackCase{"TimedOutReadBackIsRetried",
                     [](VirtualDrive& d) {
                         d.AddFault(Fault{0x3C, 0x02, 4, FaultKind::TimeOut, {}});
                     },
                     TransferOutcome::Done, 5, true, ProgressLines(4)},
        ReadBackCase{
            "ActivateRefusedFails",
            [](VirtualDrive& d) {
                d.AddFault(Fault{0x3B, 0x04, 1, FaultKind::CheckCondition, sense::kInvalidField});
            },
            TransferOutcome::Failed, 4, true, ProgressLines(4)},
        ReadBackCase{"SizeOtherThanTheFlashSize",
                     [](VirtualDrive& d) {
                         d.SetFlashSizeReply({0x20, 0x31, 0x00, 0x00});
                     },
                     TransferOutcome::Failed, 0, false, "This file is not the correct bin file"},
        ReadBackCase{"FlashSizeQueryFails",
                     [](VirtualDrive& d) {
                         d.AddFault(Fault{0x3C, 0x01, 1, FaultKind::TransportFailure, {}});
                     },
                     TransferOutcome::Failed, 0, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SegmentedWriteTest, Family317RSendsSegment1ThenSegment0WithACommitEach) {
    const auto image = SyntheticFirmware(200000, "1.0e");
    const auto region = StoredRegion(StoredForm(image, 8 * kPage), '4');
    TransferRig rig;

    EXPECT_EQ(rig.Transfer(InputsFor(region, "317R")), TransferOutcome::Done);

    std::vector<std::string> expected;
    for (const uint8_t segment : {1, 0}) {
        for (uint32_t o = 0; o < 4 * kPage; o += kPage) {
            const std::span<const uint8_t> page(region.data() + 64 + segment * 65536 + o, kPage);
            expected.push_back(DataOut(Buffer10(0x3B, 0x06, 0, segment, o), page, 200));
            expected.push_back(DataIn(Buffer10(0x3C, 0x02, 0, segment, o), page, 200));
        }
        expected.push_back(NoData({{0x3B, 0x07, 0, segment, 0, 0, 0, 0, 0, 0}}, 200));
    }
    EXPECT_EQ(rig.Wire(), expected);
    EXPECT_EQ(rig.diagnostics.Text(), kStartLines + ProgressLines(8));
    EXPECT_EQ(rig.drive.Revision(), "1.0e");
    EXPECT_EQ(rig.drive.Transfer().installedImage, image);
}

TEST(SegmentedWriteTest, OtherFamiliesSendOneSegmentWithTheIdFromTheOffset) {
    const auto image = SyntheticFirmware(120000, "1.0e");
    const auto region = StoredRegion(StoredForm(image, 5 * kPage), '4');
    TransferRig rig;

    EXPECT_EQ(rig.Transfer(InputsFor(region, "KM7250")), TransferOutcome::Done);

    std::vector<std::string> expected;
    for (uint32_t o = 0; o < 5 * kPage; o += kPage) {
        const std::span<const uint8_t> page(region.data() + 64 + o, kPage);
        const auto id = static_cast<uint8_t>(o >> 16);
        expected.push_back(DataOut(Buffer10(0x3B, 0x06, 0, id, o & 0xFFFF), page, 200));
        expected.push_back(DataIn(Buffer10(0x3C, 0x02, 0, id, o & 0xFFFF), page, 200));
    }
    expected.push_back(NoData({{0x3B, 0x07, 0, 0, 0, 0, 0, 0, 0, 0}}, 200));
    EXPECT_EQ(rig.Wire(), expected);
    EXPECT_EQ(rig.drive.Revision(), "1.0e");
}

TEST(SegmentedWriteTest, AnUnconfirmedFirstCommitFailsAndSendsNoFurtherSegment) {
    // Segment 0 was never sent: whatever the drive said, its image is incomplete.
    const auto region = StoredRegion(StoredForm(SyntheticFirmware(200000, "1.0e"), 8 * kPage), '4');
    TransferRig rig;
    rig.drive.AddFault(Fault{0x3B, 0x07, 1, FaultKind::TimeOut, {}});

    EXPECT_EQ(rig.Transfer(InputsFor(region, "317R")), TransferOutcome::Failed);
    ASSERT_EQ(rig.Wire().size(), 9u);
    EXPECT_EQ(rig.Wire().back(),
              NoData({{0x3B, 0x07, 0, 1, 0, 0, 0, 0, 0, 0}}, 200, ExecResult::TimedOut));
}

TEST(SegmentedWriteTest, FiveFailuresEndItAndTheErrorLineGivesTheOffsetInTheSegment) {
    const auto region = StoredRegion(StoredForm(SyntheticFirmware(200000, "1.0e"), 8 * kPage), '4');
    TransferRig rig;
    rig.drive.CorruptReadBacks(4, 5);  // the last page of segment 1

    EXPECT_EQ(rig.Transfer(InputsFor(region, "317R")), TransferOutcome::Failed);
    EXPECT_EQ(CountCommands(rig, 0x3B, 0x06), 8u);
    EXPECT_TRUE(rig.Wire().back().starts_with("3C 02 00 01 C0 00"));
    EXPECT_THAT(rig.diagnostics.Text(),
                EndsWith("Transfer of 3 page 16k bytes\nError Happen in ID 0 OFFSET 0xC000"));
}

}  // namespace
}  // namespace flashtool::testing
