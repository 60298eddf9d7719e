// Every way a run of this build can end early: what the operator is told, what the window
// shows afterwards, and that nothing reaches the drive after the failure.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Format.h"
#include "flash/FlashRun.h"
#include "support/DialogHarness.h"

namespace flashtool::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// The opcodes (and vendor sub-functions) the drive received, in order.
std::vector<std::string> Wire(const VirtualDrive& drive) {
    std::vector<std::string> ops;
    for (const TraceEntry& entry : drive.Trace()) {
        std::string op = FormatText("%02X", entry.cdb[0]);
        if (entry.cdb[0] == 0xFD || entry.cdb[0] == 0xF5) {
            op += FormatText(" %02X", entry.cdb[1]);
        }
        ops.push_back(op);
    }
    return ops;
}

// The checks of the Upgrade press: the disc check and the long INQUIRY.
const std::vector<std::string> kChecks = {"00", "12"};
// However a run ends, the drive is then asked for its identification again.
const std::vector<std::string> kRefresh = {"12"};

std::vector<std::string> Then(std::vector<std::string> first,
                              const std::vector<std::string>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

struct RunFailure : ::testing::Test {
    DialogHarness rig{ThisBuildRegion(), {TargetAt("1.0d")}};
    PayloadHeader header = *PayloadHeader::FromBytes(std::span(rig.region).subspan(64));

    std::vector<std::string> SumLines() const {
        return {FormatText("Linear CheckSum : %04X", header.ExpectedLinear()),
                FormatText("Rotated CheckSum : %04X", header.ExpectedRotated())};
    }
    std::vector<std::string> Log(std::vector<std::string> after) const {
        std::vector<std::string> lines = {"It will be updated from  1.0d  To  1.0e", " "};
        const auto sums = SumLines();
        lines.insert(lines.end(), sums.begin(), sums.end());
        lines.insert(lines.end(), after.begin(), after.end());
        return lines;
    }
};

TEST_F(RunFailure, APayloadThatDiffersFromItsSumsEndsBeforeAnyCommand) {
    // One byte of payload B's zero fill changed; the region's own sums still hold.
    const auto config = *BuildConfig::FromBytes(rig.region);
    rig.region[kDualFixedSize + config.ImageSize() + header.ImageSize() - 1] ^= 0x01;
    ResealRegion(rig.region, kVariantOrin7250);
    rig.StartAndSelect(0);
    rig.Upgrade();

    EXPECT_THAT(rig.LogLines(), ElementsAreArray(Log({"Check Sum not match !!"})));
    ASSERT_EQ(rig.window.boxes.size(), 1u);
    EXPECT_EQ(rig.window.boxes[0].request,
              (MessageBoxRequest{"CheckSum not match !!", "Warning", BoxButtons::Ok,
                                 BoxIcon::Exclamation}));
    EXPECT_THAT(Wire(rig.Drive()), ElementsAreArray(Then(kChecks, kRefresh)));
    EXPECT_TRUE(rig.Idle(0));
    EXPECT_EQ(rig.window.timerStarts, 0);
}

TEST_F(RunFailure, CancelAtTheConfirmationSendsNothingMoreThanTheReadinessWait) {
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Cancel});
    EXPECT_THAT(rig.LogLines(), ElementsAreArray(Log({"Check Sum match !!", "User cancelled."})));
    EXPECT_THAT(rig.BoxTexts(), ElementsAre("Do you really want to upgrade ?", "User cancelled."));
    EXPECT_EQ(rig.window.boxes[1].request.caption, std::nullopt);
    EXPECT_THAT(Wire(rig.Drive()), ElementsAreArray(Then(Then(kChecks, {"00"}), kRefresh)));
    EXPECT_EQ(rig.window.timerStarts, 0);
    EXPECT_TRUE(rig.Idle(0));
}

TEST_F(RunFailure, ARefusedHandshakeEndsWithCommandFailed) {
    rig.Drive().AddFault(Fault{0xFD, 0xF1, 1, FaultKind::CheckCondition, sense::kInvalidField});
    rig.StartAndSelect(0);
    rig.Upgrade();
    EXPECT_THAT(rig.LogLines(),
                ElementsAreArray(
                    Log({"Check Sum match !!", "This Model is not support.", "On Command Fail !!",
                         "The drive still reports firmware revision 1.0d."})));
    EXPECT_THAT(rig.BoxTexts(), ElementsAre("Do you really want to upgrade ?", "Command Fail."));
    EXPECT_THAT(Wire(rig.Drive()),
                ElementsAreArray(Then(Then(kChecks, {"00", "FD F1"}), kRefresh)));
    EXPECT_TRUE(rig.Idle(0));
    EXPECT_EQ(rig.inhibitor.acquired, 1);
}

TEST_F(RunFailure, AFailedPageEndsTheTransferAndNothingFollowsIt) {
    rig.Drive().AddFault(Fault{0xFA, std::nullopt, 5, FaultKind::TimeOut, {}});
    rig.StartAndSelect(0);
    rig.Upgrade();
    EXPECT_THAT(rig.LogLines(), ElementsAreArray(Log({"Check Sum match !!", "Start to upgrade...",
                                                      "Don't turn off the power!!", " ",
                                                      "======== FAIL ========", " ",
                                                      "The drive still reports firmware "
                                                      "revision 1.0d."})));
    ASSERT_EQ(rig.window.boxes.size(), 2u);
    EXPECT_THAT(rig.window.boxes[1].request.text,
                ::testing::StartsWith("Updating incomplete or interrupted! \n\nPlease retry"));
    const auto wire = Wire(rig.Drive());
    // checks; wait, handshake, buffer size; 5 pages; the identification asked again
    ASSERT_EQ(wire.size(), 2u + 3u + 5u + 1u);
    EXPECT_EQ(wire[wire.size() - 2], "FA");
    EXPECT_EQ(wire.back(), "12");
    EXPECT_EQ(rig.Drive().Trace()[wire.size() - 2].result, ExecResult::TimedOut);
    EXPECT_EQ(rig.Drive().Revision(), "1.0d");
    EXPECT_TRUE(rig.Idle(0));
}

TEST_F(RunFailure, AStreamThatCannotBeExpandedEndsSilentlyWithTheHeartbeatStopped) {
    // A damaged stream whose sums were written to match it: only the expansion finds out.
    const auto config = *BuildConfig::FromBytes(rig.region);
    const size_t payloadB = kDualFixedSize + config.ImageSize();
    rig.region[payloadB + 4 + 1000] ^= 0xFF;
    PayloadHeader damaged = header;
    auto headerBytes = damaged.Bytes();
    const std::span<const uint8_t> staged(rig.region.data() + payloadB, header.ImageSize());
    StoreLittleEndian16(headerBytes, 6, LinearSum(staged));
    StoreLittleEndian16(headerBytes, 8, RotatedSum(staged));
    std::copy(headerBytes.begin(), headerBytes.end(), rig.region.begin() + 64);
    ResealRegion(rig.region, kVariantOrin7250);
    header = PayloadHeader(headerBytes);

    rig.StartAndSelect(0);
    rig.Upgrade();
    EXPECT_THAT(rig.LogLines(),
                ElementsAreArray(Log({"Check Sum match !!", std::string(kInflateFailedLine),
                                      "The drive still reports firmware revision 1.0d."})));
    EXPECT_THAT(rig.BoxTexts(), ElementsAre("Do you really want to upgrade ?"));
    EXPECT_THAT(Wire(rig.Drive()),
                ElementsAreArray(Then(Then(kChecks, {"00", "FD F1", "5A"}), kRefresh)));
    EXPECT_EQ(rig.ChangingCommands(), 0u);
    EXPECT_TRUE(rig.Idle(0));
}

TEST_F(RunFailure, ABuildKeyWithoutATransferMethodEndsRightAfterThePayloadCheck) {
    // The dialog copies the configuration when it is made: a build of its own.
    std::vector<uint8_t> region = ThisBuildRegion();
    region[4] = '5';
    ResealRegion(region, kVariantOrin7250);
    DialogHarness rig{region, {TargetAt("1.0d")}};
    rig.StartAndSelect(0);
    rig.Upgrade();
    EXPECT_THAT(rig.LogLines(), ElementsAreArray(Log({"Check Sum match !!"})));
    EXPECT_TRUE(rig.window.boxes.empty());
    EXPECT_EQ(rig.window.timerStarts, 0);
    EXPECT_THAT(Wire(rig.Drive()), ElementsAreArray(Then(kChecks, kRefresh)));
    EXPECT_TRUE(rig.Idle(0));
}

}  // namespace
}  // namespace flashtool::testing
