// Method 3: 4,096-byte blocks, each followed by its sum, between a start and a finish.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Format.h"
#include "transfer/TransferRig.h"

namespace flashtool::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct BlockCase {
    uint32_t size;
    uint32_t blocks;
};

class BlockTransferTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockTransferTest, SendsEveryBlockWithItsSumMostSignificantByteFirst) {
    const BlockCase& c = GetParam();
    const auto image = SyntheticFirmware(c.size, "1.0e");
    const auto region = StoredRegion(image, '3');
    TransferRig rig;

    EXPECT_EQ(rig.Transfer(InputsFor(region)), TransferOutcome::Done);

    const std::vector<uint8_t> start{0xF2, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<std::string> expected{NoData(start, 15), NoData(start, 15)};
    uint32_t total = 0;
    for (uint32_t k = 0; k < c.blocks; ++k) {
        std::vector<uint8_t> block(image.begin() + k * 4096, image.begin() + (k + 1) * 4096);
        uint32_t sum = 0;
        for (const uint8_t byte : block) {
            sum += byte;
        }
        total += sum;
        block.push_back(static_cast<uint8_t>(sum >> 8));
        block.push_back(static_cast<uint8_t>(sum));
        const uint32_t offset = k * 4096;
        const std::vector<uint8_t> cdb{0xF2,
                                       0x03,
                                       static_cast<uint8_t>(offset >> 24),
                                       static_cast<uint8_t>(offset >> 16),
                                       static_cast<uint8_t>(offset >> 8),
                                       static_cast<uint8_t>(offset),
                                       0x00,
                                       0x00,
                                       0x10,
                                       0x02,
                                       0x00,
                                       0x00};
        expected.push_back(DataOut(cdb, block, 15));
    }
    const std::vector<uint8_t> finish{0xF2,
                                      0x04,
                                      0,
                                      0,
                                      0,
                                      0,
                                      0,
                                      static_cast<uint8_t>(c.size >> 16),
                                      static_cast<uint8_t>(c.size >> 8),
                                      static_cast<uint8_t>(c.size),
                                      0x00,
                                      0x01};
    expected.push_back(NoData(finish, 15));
    EXPECT_EQ(rig.Wire(), expected);
    EXPECT_EQ(rig.diagnostics.Text(),
              FormatText("\nTransferring firmware...\nFirmware checksum = %04X\n", total));
    EXPECT_THAT(rig.clock.Sleeps(), ElementsAre(5000u));
    EXPECT_EQ(rig.drive.Revision(), "1.0e");
    EXPECT_EQ(rig.drive.Transfer().installedImage, image);
}

// 220 blocks is this build's 901,120-byte payload; 300 blocks runs the count past 8 bits
// and the offsets past 0xFF000.
INSTANTIATE_TEST_SUITE_P(Sizes, BlockTransferTest,
                         ::testing::Values(BlockCase{901120, 220}, BlockCase{1228800, 300}),
                         [](const auto& info) {
                             return std::to_string(info.param.blocks) + "Blocks";
                         });

TEST(BlockTransferFailureTest, AFailedBlockEndsItWithNoFinishAndNoPause) {
    const auto region = StoredRegion(SyntheticFirmware(16 * 4096, "1.0e"), '3');
    TransferRig rig;
    rig.drive.AddFault(Fault{0xF2, 0x03, 3, FaultKind::TransportFailure, {}});

    EXPECT_EQ(rig.Transfer(InputsFor(region)), TransferOutcome::Failed);
    ASSERT_EQ(rig.Wire().size(), 5u);
    EXPECT_TRUE(rig.Wire().back().starts_with("F2 03 00 00 20 00 "));
    EXPECT_EQ(rig.diagnostics.Text(), "\nTransferring firmware...");
    EXPECT_THAT(rig.clock.Sleeps(), IsEmpty());
}

TEST(BlockTransferFailureTest, TheStartsAreNotLookedAtAndAnUnansweredFinishIsUnconfirmed) {
    const auto region = StoredRegion(SyntheticFirmware(4 * 4096, "1.0e"), '3');
    TransferRig rig;
    rig.drive.AddFault(Fault{0xF2, 0x01, 1, FaultKind::TimeOut, {}});
    rig.drive.AddFault(Fault{0xF2, 0x04, 1, FaultKind::TransportFailure, {}});

    EXPECT_EQ(rig.Transfer(InputsFor(region)), TransferOutcome::DoneUnconfirmed);
    EXPECT_EQ(rig.Wire().size(), 7u);
    EXPECT_EQ(rig.drive.Revision(), "1.0d");  // the drive never got its finish
}

}  // namespace
}  // namespace flashtool::testing
