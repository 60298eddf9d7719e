// How a press ends, as every front-end reads it: the typed ending, what the drive reports
// afterwards, and the window's lines for it. The ending says "updated" only when the drive
// confirmed the transfer; a closing command left unanswered is "not confirmed", never success.

#include <gtest/gtest.h>

#include <algorithm>

#include "flash/FlashRun.h"
#include "support/DialogHarness.h"

namespace flashtool::testing {
namespace {

bool Has(const std::vector<std::string>& lines, std::string_view line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<uint8_t> RegionWithMethod(char digit) {
    std::vector<uint8_t> region = ThisBuildRegion();
    region[4] = static_cast<uint8_t>(digit);
    ResealRegion(region, kVariantOrin7250);
    return region;
}

TEST(RunEnding, EachEndOfATransferIsTypedAndToldAsItIs) {
    struct Case {
        const char* name;
        char method;
        std::optional<Fault> fault;
        RunEnding ending;
        const char* revisionAfter;
        bool succeedLine;  // the window's success lines (and the restart question)
        const char* lastLine;
    };
    const auto ending = [](RunEndingKind kind, RevisionAfterRun after,
                           std::optional<ResultCode> code = std::nullopt) {
        RunEnding e{kind, code};
        e.after = after;
        return e;
    };
    const auto finish = [](FaultKind kind, SenseInfo sense = {}) {
        return Fault{0xF2, 0x04, 1, kind, sense};
    };
    const Case cases[] = {
        {"whole upgrade", '2', std::nullopt, ending(RunEndingKind::Updated, RevisionAfterRun::New),
         "1.0e", true, "The drive now reports firmware revision 1.0e: verified."},
        {"a page not taken whole", '2', Fault{0xFA, std::nullopt, 56, FaultKind::Short, {}, 100},
         ending(RunEndingKind::Failed, RevisionAfterRun::Old, ResultCode::UpdateFailed), "1.0d",
         false, "The drive still reports firmware revision 1.0d."},
        {"block finish timed out", '3', finish(FaultKind::TimeOut),
         ending(RunEndingKind::NotConfirmed, RevisionAfterRun::Old), "1.0d", false,
         "The drive still reports firmware revision 1.0d."},
        {"block finish busy", '3', finish(FaultKind::Busy),
         ending(RunEndingKind::NotConfirmed, RevisionAfterRun::Old), "1.0d", false,
         "The drive still reports firmware revision 1.0d."},
        {"drive vanished at the block finish", '3', finish(FaultKind::Vanish),
         ending(RunEndingKind::NotConfirmed, RevisionAfterRun::Unreadable), "1.0d", false,
         "The drive did not answer when its identification was read after the run."},
        {"block finish refused", '3', finish(FaultKind::CheckCondition, {0x05, 0x26, 0x00}),
         ending(RunEndingKind::Failed, RevisionAfterRun::Old, ResultCode::UpdateFailed), "1.0d",
         false, "The drive still reports firmware revision 1.0d."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogHarness rig{RegionWithMethod(c.method), {TargetAt("1.0d")}};
        if (c.fault) {
            rig.Drive().AddFault(*c.fault);
        }
        rig.StartAndSelect(0);
        rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
        EXPECT_EQ(rig.dialog->LastEnding(), c.ending);
        EXPECT_EQ(rig.Drive().Revision(), c.revisionAfter);
        const auto log = rig.LogLines();
        EXPECT_EQ(Has(log, "======== SUCCEED ========"), c.succeedLine);
        const bool askedRestart = std::any_of(
            rig.window.boxes.begin(), rig.window.boxes.end(),
            [](const ShownBox& box) { return box.request.question == QuestionKind::Restart; });
        EXPECT_EQ(askedRestart, c.succeedLine);
        EXPECT_EQ(Has(log, kUnconfirmedLine), c.ending.kind == RunEndingKind::NotConfirmed);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), c.lastLine);
        EXPECT_TRUE(rig.Idle(c.succeedLine ? 100 : 0));
    }
}

// Refusals before anything that changes the drive: the code, the question that was declined,
// and the drive that already has this build's revision told apart from a cancel.
TEST(RunEnding, RefusalsCarryTheirCodeAndTheQuestionDeclined) {
    struct Case {
        const char* name;
        std::string revision;
        std::vector<BoxAnswer> answers;
        RunEnding ending;
    };
    const auto refusal = [](ResultCode code, QuestionKind declined) {
        RunEnding e = RunEnding::Refusal(code);
        e.declined = declined;
        return e;
    };
    RunEnding upToDate = refusal(ResultCode::UserCancelled, QuestionKind::SameRevision);
    upToDate.kind = RunEndingKind::UpToDate;
    const Case cases[] = {
        {"confirmation cancelled",
         "1.0d",
         {BoxAnswer::Cancel},
         refusal(ResultCode::UserCancelled, QuestionKind::Confirmation)},
        {"same revision declined", "1.0e", {BoxAnswer::Cancel}, upToDate},
        {"newer drive declined",
         "1.0f",
         {BoxAnswer::Cancel},
         refusal(ResultCode::UserCancelled, QuestionKind::DriveNewer)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogHarness rig{ThisBuildRegion(), {TargetAt(c.revision)}};
        rig.StartAndSelect(0);
        rig.Upgrade(c.answers);
        EXPECT_EQ(rig.dialog->LastEnding(), c.ending);
        EXPECT_EQ(rig.ChangingCommands(), 0u);
        EXPECT_EQ(rig.Drive().Revision(), c.revision);
    }
}

}  // namespace
}  // namespace flashtool::testing
