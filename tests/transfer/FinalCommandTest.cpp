// The command that ends a transfer (method 0's activate, method 4's segment commit, method 3's
// block finish): a drive that clearly refuses the image there fails the transfer; one that
// does not answer, or answers as a drive that just reset, leaves it done but unconfirmed.

#include <gtest/gtest.h>

#include "transfer/TransferRig.h"

namespace flashtool::testing {
namespace {

struct FinalCase {
    const char* method;
    char digit;
    uint32_t pages;
    uint8_t opcode;
    uint8_t subFunction;
};

struct AnswerCase {
    const char* answer;
    FaultKind kind;
    SenseInfo sense;
    TransferOutcome result;
};

TEST(FinalCommandTest, ARefusalFailsAndAnUnansweredEndIsUnconfirmed) {
    const FinalCase methods[] = {
        {"activate", '0', 4, 0x3B, 0x04},
        {"segment commit", '4', 4, 0x3B, 0x07},
        {"block finish", '3', 4, 0xF2, 0x04},
    };
    const AnswerCase answers[] = {
        {"illegal request", FaultKind::CheckCondition, {0x05, 0x26, 0x00}, TransferOutcome::Failed},
        {"medium error", FaultKind::CheckCondition, {0x03, 0x0C, 0x00}, TransferOutcome::Failed},
        {"hardware error", FaultKind::CheckCondition, {0x04, 0x44, 0x00}, TransferOutcome::Failed},
        {"data protect", FaultKind::CheckCondition, {0x07, 0x27, 0x00}, TransferOutcome::Failed},
        {"miscompare", FaultKind::CheckCondition, {0x0E, 0x1D, 0x00}, TransferOutcome::Failed},
        {"timed out", FaultKind::TimeOut, {}, TransferOutcome::DoneUnconfirmed},
        {"unit attention",
         FaultKind::CheckCondition,
         {0x06, 0x29, 0x00},
         TransferOutcome::DoneUnconfirmed},
        {"transport failure", FaultKind::TransportFailure, {}, TransferOutcome::DoneUnconfirmed},
        {"busy", FaultKind::Busy, {}, TransferOutcome::DoneUnconfirmed},
    };
    for (const FinalCase& m : methods) {
        const auto image = SyntheticFirmware(m.pages * kPage, "1.0e");
        const auto region = m.digit == '3'
                                ? StoredRegion(image, m.digit)
                                : StoredRegion(StoredForm(image, m.pages * kPage), m.digit);
        for (const AnswerCase& a : answers) {
            SCOPED_TRACE(std::string(m.method) + ", " + a.answer);
            TransferRig rig;
            rig.drive.SetFlashSizeReply({0x20, 0x31, static_cast<uint8_t>(m.pages * 16), 0});
            rig.drive.AddFault(Fault{m.opcode, m.subFunction, 1, a.kind, a.sense});
            EXPECT_EQ(rig.Transfer(InputsFor(region)), a.result);
            EXPECT_TRUE(rig.Wire().back().starts_with(m.opcode == 0xF2 ? "F2 04" : "3B 0"));
        }
    }
}

// Statuses no injected fault gives: a reservation held by another host means the drive never
// ran the command; a full queue, like BUSY, may mean the drive is still committing the image.
TEST(FinalCommandTest, AReservationConflictFailsAndAFullQueueIsUnconfirmed) {
    const auto answered = [](uint8_t status) {
        CommandResult command;
        command.result = ExecResult::Failed;
        command.sent = true;
        command.outcome = PassThroughOutcome::Status(status);
        return command;
    };
    EXPECT_EQ(PageTransfer::FinalCommandVerdict(answered(kStatusReservationConflict)),
              TransferOutcome::Failed);
    EXPECT_EQ(PageTransfer::FinalCommandVerdict(answered(kStatusTaskSetFull)),
              TransferOutcome::DoneUnconfirmed);
    EXPECT_EQ(PageTransfer::FinalCommandVerdict(answered(kStatusBusy)),
              TransferOutcome::DoneUnconfirmed);
}

}  // namespace
}  // namespace flashtool::testing
