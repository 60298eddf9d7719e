// This build's whole upgrade of its target, from the Upgrade press to the restart question,
// on a virtual drive: what the operator sees and what travels on the wire.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <map>

#include "core/Format.h"
#include "policy/Gating.h"
#include "support/DialogHarness.h"

namespace flashtool::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Payload B of this build's region, expanded: what the target must end up holding.
std::vector<uint8_t> ExpandedPayloadB(const std::vector<uint8_t>& region) {
    const auto config = *BuildConfig::FromBytes(region);
    const size_t streamAt = kDualFixedSize + config.ImageSize() + kStreamLengthSize;
    std::vector<uint8_t> image(kImageBufferSize);
    uLongf length = image.size();
    EXPECT_EQ(uncompress(image.data(), &length, region.data() + streamAt,
                         region.size() - streamAt - kRegionSumsSize),
              Z_OK);
    image.resize(length);
    return image;
}

std::vector<TraceEntry> PageCommands(const VirtualDrive& drive) {
    std::vector<TraceEntry> pages;
    for (const TraceEntry& entry : drive.Trace()) {
        if (entry.cdb[0] == 0xFA) {
            pages.push_back(entry);
        }
    }
    return pages;
}

std::vector<std::string> SuccessLog(const PayloadHeader& header) {
    return {"It will be updated from  1.0d  To  1.0e",
            " ",
            FormatText("Linear CheckSum : %04X", header.ExpectedLinear()),
            FormatText("Rotated CheckSum : %04X", header.ExpectedRotated()),
            "Check Sum match !!",
            "Start to upgrade...",
            "Don't turn off the power!!",
            " ",
            "======== SUCCEED ========",
            " ",
            "The drive now reports firmware revision 1.0e: verified."};
}

struct WholeUpgrade : ::testing::Test {
    DialogHarness rig{ThisBuildRegion(), {TargetAt("1.0d")}};
    PayloadHeader header = *PayloadHeader::FromBytes(std::span(rig.region).subspan(64));
};

TEST_F(WholeUpgrade, ExpandsPayloadBAndSendsTheWholeImageInPageCommands) {
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});

    const std::vector<uint8_t> image = ExpandedPayloadB(rig.region);
    ASSERT_EQ(image.size(), 2097152u);
    EXPECT_EQ(rig.Drive().Revision(), "1.0e");
    EXPECT_TRUE(rig.Drive().Transfer().installedImage == image);

    const auto pages = PageCommands(rig.Drive());
    ASSERT_EQ(pages.size(), 128u);
    const uint16_t linear = LinearSum(image);
    const uint16_t rotated = RotatedSum(image);
    for (size_t p = 0; p < pages.size(); ++p) {
        EXPECT_THAT(pages[p].cdb,
                    ElementsAre(0xFA, HighByte(linear), LowByte(linear), HighByte(rotated),
                                LowByte(rotated), p, 0x01, HighByte(linear), LowByte(linear),
                                HighByte(rotated), LowByte(rotated), 0x80))
            << "page " << p;
        EXPECT_EQ(pages[p].length, 16384u);
        EXPECT_EQ(pages[p].crc32, crc32(0, image.data() + p * 16384, 16384)) << "page " << p;
    }
    EXPECT_EQ(rig.ChangingCommands(), 128u);
}

TEST_F(WholeUpgrade, TellsTheOperatorEachStepAndEndsIdleAtAFullBar) {
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});

    EXPECT_THAT(rig.LogLines(), ElementsAreArray(SuccessLog(header)));
    ASSERT_EQ(rig.window.boxes.size(), 3u);
    EXPECT_EQ(rig.window.boxes[0].request,
              (MessageBoxRequest{"Do you really want to upgrade ?", std::nullopt,
                                 BoxButtons::OkCancel, BoxIcon::Exclamation}));
    // The success box comes after the drive was read back, and says what it showed.
    EXPECT_EQ(rig.window.boxes[1].request,
              (MessageBoxRequest{"\n Firmware has been updated successfully !   \n", "Information",
                                 BoxButtons::Ok, BoxIcon::Information, QuestionKind::None,
                                 "The drive now reports firmware revision 1.0e: verified."}));
    EXPECT_EQ(rig.window.boxes[2].request,
              (MessageBoxRequest{"\n Your computer needs to be rebooted.    \n", "Reboot Warning",
                                 BoxButtons::OkCancel, BoxIcon::Exclamation}));
    EXPECT_TRUE(rig.Idle(100));
    EXPECT_EQ(rig.window.timerStarts, 1);
    EXPECT_EQ(rig.restart.requests, 0);
    // The lock was held for the write and released before the restart question.
    EXPECT_EQ(rig.inhibitor.acquired, 1);
    EXPECT_THAT(rig.clock.Sleeps(), ::testing::Contains(5000u));
    EXPECT_THAT(rig.clock.Sleeps(), ::testing::Not(::testing::Contains(50000u)));
}

TEST_F(WholeUpgrade, WithoutTheLargeBufferSendsTheStoredPagesAndTheDriveExpandsThem) {
    rig.Drive().Vendor().bufferSizeKb = 4096;
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});

    EXPECT_EQ(rig.Drive().Revision(), "1.0e");
    EXPECT_TRUE(rig.Drive().Transfer().installedImage == ExpandedPayloadB(rig.region));
    const auto pages = PageCommands(rig.Drive());
    ASSERT_EQ(pages.size(), 56u);
    const auto config = *BuildConfig::FromBytes(rig.region);
    const uint8_t* stored = rig.region.data() + kDualFixedSize + config.ImageSize();
    for (size_t p = 0; p < pages.size(); ++p) {
        EXPECT_EQ(pages[p].cdb[5], p);
        EXPECT_EQ(pages[p].cdb[11], 56);
        EXPECT_EQ(BigEndian16(pages[p].cdb[1], pages[p].cdb[2]), header.ExpectedLinear());
        EXPECT_EQ(BigEndian16(pages[p].cdb[9], pages[p].cdb[10]), header.ExpectedRotated());
        EXPECT_EQ(pages[p].crc32, crc32(0, stored + p * 16384, 16384)) << "page " << p;
    }
    EXPECT_THAT(rig.LogLines(), ElementsAreArray(SuccessLog(header)));
}

TEST_F(WholeUpgrade, ARestartAcceptedIsLoggedAndAskedOfTheSystem) {
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok});
    // Asked once the run is read back and recorded: the restart is the last thing it does.
    const auto log = rig.LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "The drive now reports firmware revision 1.0e: verified.");
    EXPECT_EQ(log.back(), "Restart the computer");
    EXPECT_EQ(rig.restart.requests, 1);

    rig.restart.accept = false;
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok});
    EXPECT_EQ(rig.restart.requests, 2);
    EXPECT_EQ(rig.BoxTexts().back(), "Reboot Fail!!");
    EXPECT_EQ(rig.window.boxes.back().request.icon, BoxIcon::Stop);
}

TEST_F(WholeUpgrade, ASecondRunOnTheSameSelectionSeesTheRevisionTheDriveNowReports) {
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
    ASSERT_EQ(rig.Drive().Revision(), "1.0e");
    // The tree and the device table were brought up to date when the run ended.
    EXPECT_EQ(rig.window.drives.at(0).text, "ORIN    DVD RW QV-5500A 1.0e");

    rig.Drive().ClearTrace();
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
    EXPECT_EQ(rig.BoxTexts().front(), std::string(kSameRevisionWarning));
    EXPECT_EQ(rig.BoxTexts()[1], "Do you really want to upgrade ?");
    EXPECT_EQ(PageCommands(rig.Drive()).size(), 128u);
    EXPECT_EQ(rig.Drive().Transfer().installs, 2u);
    EXPECT_TRUE(rig.Idle(100));
}

TEST_F(WholeUpgrade, HoldsTheKeepAwakeLockWhileTheDriveIsWrittenAndNotWhileAsking) {
    std::map<std::string, int> heldAt;
    rig.Drive().AddFault(Fault{0xFA, std::nullopt, 100, FaultKind::TransportFailure, {}});
    rig.StartAndSelect(0);
    rig.window.onBox = [&](const MessageBoxRequest& box) {
        heldAt[box.text.substr(0, 20)] = rig.inhibitor.held;
    };
    rig.Upgrade({BoxAnswer::Ok});
    EXPECT_EQ(heldAt["Do you really want "], 0);
    EXPECT_EQ(heldAt["Updating incomplete "], 1);  // reported while the drive is still held

    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
    EXPECT_EQ(heldAt["\n Firmware has been "], 0);
    EXPECT_EQ(heldAt["\n Your computer need"], 0);
    EXPECT_EQ(rig.inhibitor.acquired, 2);
    EXPECT_EQ(rig.inhibitor.held, 0);
}

TEST_F(WholeUpgrade, ALockTheSystemRefusesIsToldAndTheRunGoesOn) {
    rig.inhibitor.refuse = true;
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
    const auto log = rig.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "The computer could not be kept awake during the update: do not let it "
                        "sleep or shut down."),
              log.end());
    EXPECT_EQ(rig.Drive().Revision(), "1.0e");
}

TEST_F(WholeUpgrade, WithTheRootSelectedNothingIsSent) {
    rig.StartAndSelect(0);
    rig.window.selection = TreeSelection::Computer();
    rig.dialog->OnSelectionChanged();
    rig.Upgrade();
    EXPECT_THAT(rig.BoxTexts(), ElementsAre("No drive selected.Please select a drive to flash!"));
    EXPECT_TRUE(rig.Drive().Trace().empty());
}

}  // namespace
}  // namespace flashtool::testing
