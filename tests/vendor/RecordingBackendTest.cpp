// The recording's back-end: every command block the program can build is either on the
// read-only list and passed on, or refused without reaching the drive, a failure to the
// caller and named for the recorder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive/ReadOnlyCommands.h"
#include "drive/RecordingBackend.h"
#include "drive/VendorCdbs.h"
#include "flash/TransferCommands.h"
#include "support/ScriptedBackend.h"
#include "transport/Inquiry.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;

struct CommandCase {
    std::string name;
    std::vector<uint8_t> cdb;
    DataDirection direction;
    bool passes;
};

template <size_t N>
std::vector<uint8_t> Bytes(const std::array<uint8_t, N>& cdb) {
    return {cdb.begin(), cdb.end()};
}

std::vector<CommandCase> EveryCommandTheProgramBuilds() {
    using D = DataDirection;
    return {
        // Identification, readiness, capabilities, the checks' record reads.
        {"scan INQUIRY over SG_IO", Bytes(InquiryCdb(36)), D::In, true},
        {"scan INQUIRY, emulated", Bytes(InquiryCdb(56)), D::In, true},
        {"model check's long INQUIRY", Bytes(InquiryCdb(125)), D::In, true},
        {"TEST UNIT READY", Bytes(TestUnitReadyCdb()), D::None, true},
        {"capabilities page", Bytes(ModeSenseCapabilitiesCdb()), D::In, true},
        {"record read at 24", Bytes(ModelRecordReadCdb(kModelRecordSecondary)), D::In, true},
        {"record read at 02", Bytes(ModelRecordReadCdb(kModelRecordPrimary)), D::In, true},
        {"unit serial number page", Bytes(InquiryVpdCdb(0x80, 0xFF)), D::In, true},
        // The vendor commands that unlock, write or move something.
        {"handshake", Bytes(VendorHandshakeCdb()), D::None, false},
        {"record write at 02", Bytes(ModelRecordWriteCdb(kModelRecordPrimary, 4)), D::Out, false},
        {"record write at 24", Bytes(ModelRecordWriteCdb(kModelRecordSecondary, 4)), D::Out, false},
        {"eject", Bytes(EjectCdb()), D::None, false},
        // The transfer, the flash size query included (it opens a new image).
        {"flash size query", Bytes(FlashSizeQueryCdb()), D::In, false},
        {"buffer page write", Bytes(BufferPageWriteCdb(0x14000)), D::Out, false},
        {"buffer page read-back", Bytes(BufferPageReadCdb(0x14000)), D::In, false},
        {"activate", Bytes(ActivateCdb()), D::None, false},
        {"segment page write", Bytes(SegmentPageWriteCdb(1, 0x4000)), D::Out, false},
        {"segment page read-back", Bytes(SegmentPageReadCdb(1, 0x4000)), D::In, false},
        {"segment commit", Bytes(SegmentCommitCdb(1)), D::None, false},
        {"signed page", Bytes(SignedPageCdb(0x1234, 0xB0CF, 3, 128)), D::Out, false},
        {"summed page", Bytes(SummedPageCdb(0xB0CF, 0x847E, 0x847E, 3, 128)), D::Out, false},
        {"block start", Bytes(BlockStartCdb()), D::None, false},
        {"block write", Bytes(BlockWriteCdb(0x1000)), D::Out, false},
        {"block finish", Bytes(BlockFinishCdb(0x40000)), D::None, false},
        // A listed block with another direction, or another byte, is another command.
        {"INQUIRY sending data", Bytes(InquiryCdb(125)), D::Out, false},
        {"serial number page of another length", {0x12, 0x01, 0x80, 0, 125, 0}, D::In, false},
        {"another vital product page", Bytes(InquiryVpdCdb(0x83, 0xFF)), D::In, false},
        {"unit serial number page sending data", Bytes(InquiryVpdCdb(0x80, 0xFF)), D::Out, false},
        {"TEST UNIT READY with data in", Bytes(TestUnitReadyCdb()), D::In, false},
        {"MODE SENSE of another page", {0x5A, 0, 0x3F, 0, 0, 0, 0, 0, 30, 0}, D::In, false},
        {"MODE SENSE of saved values", {0x5A, 0, 0xEA, 0, 0, 0, 0, 0, 30, 0}, D::In, false},
        {"record read, sub-function of a write", Bytes(ModelRecordReadCdb(0x24)), D::Out, false},
        {"record read elsewhere", Bytes(ModelRecordReadCdb(0x30)), D::In, false},
        {"record read of another length",
         {0xF5, 0x01, 0, 0xA2, 0, 0x24, 0, 50, 0, 0, 0, 0},
         D::In,
         false},
        {"INQUIRY cut short", {0x12, 0, 0, 0, 125}, D::In, false},
        {"MODE SELECT(10)", {0x55, 0x10, 0, 0, 0, 0, 0, 0, 30, 0}, D::Out, false},
    };
}

TEST(RecordingBackendTest, OnlyTheReadOnlyListReachesTheDrive) {
    size_t refused = 0;
    for (const CommandCase& c : EveryCommandTheProgramBuilds()) {
        auto inner = std::make_unique<testing::ScriptedBackend>();
        testing::ScriptedBackend& drive = *inner;
        RecordingBackend backend(std::move(inner));
        std::vector<uint8_t> data(64, 0xAA);
        const ScsiRequest request{c.cdb, c.direction,
                                  c.direction == DataDirection::None ? nullptr : data.data(),
                                  c.direction == DataDirection::None ? 0u : 64u, 15};
        const PassThroughOutcome outcome = backend.Send(DeviceAddress{1}, request);

        EXPECT_EQ(drive.requests.size(), c.passes ? 1u : 0u) << c.name;
        EXPECT_EQ(FindReadOnlyCommand(c.cdb, c.direction) != nullptr, c.passes) << c.name;
        if (c.passes) {
            EXPECT_EQ(ClassifyOutcome(outcome), ExecResult::Ok) << c.name;
            EXPECT_TRUE(backend.Refused().empty()) << c.name;
            continue;
        }
        ++refused;
        EXPECT_EQ(ClassifyOutcome(outcome), ExecResult::Failed) << c.name;
        EXPECT_EQ(outcome.kind, OutcomeKind::OsError) << c.name;  // never a drive's answer
        EXPECT_TRUE(outcome.notice.has_value()) << c.name;
        EXPECT_THAT(backend.Refused(), ElementsAre(DescribeCommand(c.cdb, c.direction))) << c.name;
        EXPECT_EQ(data, std::vector<uint8_t>(64, 0xAA)) << c.name;  // nothing read or sent
    }
    EXPECT_GT(refused, 20u);
}

TEST(RecordingBackendTest, EveryListedCommandIsADataInOrNoDataCommand) {
    for (const ReadOnlyCommand& entry : ReadOnlyCommands()) {
        EXPECT_NE(entry.direction, DataDirection::Out) << entry.name;
        // A vendor code is listed as one exact block: no byte of it left free.
        if (entry.cdb[0] >= 0xC0) {
            EXPECT_EQ(entry.freeBytes, 0u) << entry.name;
        }
    }
}

TEST(RecordingBackendTest, ARefusedCommandIsNamedAsSent) {
    EXPECT_EQ(DescribeCommand(Bytes(VendorHandshakeCdb()), DataDirection::None),
              "FD F1 54 41 52 4E 00 00 00 00 00 00 (none)");
    EXPECT_EQ(DescribeCommand(Bytes(ModelRecordWriteCdb(2, 4)), DataDirection::Out),
              "F5 03 00 A2 00 02 00 04 00 00 00 00 (out)");
}

}  // namespace
}  // namespace flashtool
