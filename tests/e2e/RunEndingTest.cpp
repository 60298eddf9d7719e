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

// A drive that already had the build's revision shows it after a reinstall whatever the run
// did: the revision never turns a run the drive did not confirm into an update, and a
// confirmed reinstall is told as such, not as verified.
TEST(RunEnding, AReinstallIsNeverVerifiedByTheRevisionItAlreadyHad) {
    struct Case {
        const char* name;
        std::optional<Fault> fault;
        RunEndingKind kind;
        char method = '3';  // the blocks end with a command that confirms them
    };
    const auto finish = [](FaultKind kind, SenseInfo sense = {}) {
        return Fault{0xF2, 0x04, 1, kind, sense};
    };
    const Case cases[] = {
        {"confirmed", std::nullopt, RunEndingKind::Updated, '2'},
        {"block finish timed out", finish(FaultKind::TimeOut), RunEndingKind::NotConfirmed},
        {"block finish busy", finish(FaultKind::Busy), RunEndingKind::NotConfirmed},
        {"block finish miscompare", finish(FaultKind::CheckCondition, {0x0E, 0x1D, 0x00}),
         RunEndingKind::Failed},
        {"block finish data protect", finish(FaultKind::CheckCondition, {0x07, 0x27, 0x00}),
         RunEndingKind::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogHarness rig{RegionWithMethod(c.method), {TargetAt("1.0e")}};
        if (c.fault) {
            rig.Drive().AddFault(*c.fault);
        }
        rig.StartAndSelect(0);
        // Install it again?, the confirmation, then the restart question.
        rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
        const RunEnding ending = rig.dialog->LastEnding();
        EXPECT_EQ(ending.kind, c.kind) << ::testing::PrintToString(rig.LogLines());
        EXPECT_FALSE(ending.Verified());
        if (c.kind != RunEndingKind::Failed) {
            EXPECT_EQ(ending.after, RevisionAfterRun::Same);
            EXPECT_EQ(rig.LogLines().back(),
                      "The drive reports firmware revision 1.0e, as it did before: a reinstall "
                      "cannot be verified by its revision.");
        }
    }
}

// The drive's identification read after the run is what says what it now reports: when that
// read gets no answer the run says so, never the revision the table held from before, and the
// boxes that follow the run come after it and tell the same.
TEST(RunEnding, AReadBackThatGetsNoAnswerIsToldAsSuchAndTheBoxesComeAfterIt) {
    const auto inquiries = [](const VirtualDrive& drive) {
        return static_cast<uint32_t>(std::count_if(
            drive.Trace().begin(), drive.Trace().end(),
            [](const TraceEntry& entry) { return !entry.cdb.empty() && entry.cdb[0] == 0x12; }));
    };
    // The read-back is the last INQUIRY of a whole press, the scan's counted in.
    uint32_t readBack = 0;
    {
        DialogHarness dry{ThisBuildRegion(), {TargetAt("1.0d")}};
        dry.window.answers.push_back(BoxAnswer::Ok);
        ASSERT_TRUE(dry.dialog->OnInitDialog());
        dry.dialog->WaitForRun();
        dry.Select(0);
        dry.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
        readBack = inquiries(dry.Drive());
        ASSERT_GT(readBack, 1u);
    }
    const std::string noAnswer =
        "The drive did not answer when its identification was read after the run.";
    for (const FaultKind kind : {FaultKind::TimeOut, FaultKind::Busy, FaultKind::Vanish}) {
        SCOPED_TRACE(static_cast<int>(kind));
        DialogHarness rig{ThisBuildRegion(), {TargetAt("1.0d")}};
        rig.Drive().AddFault(Fault{0x12, std::nullopt, readBack, kind});
        rig.StartAndSelect(0);
        rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
        const RunEnding ending = rig.dialog->LastEnding();
        EXPECT_EQ(ending.kind, RunEndingKind::Updated);
        EXPECT_EQ(ending.after, RevisionAfterRun::Unreadable);
        EXPECT_FALSE(ending.Verified());
        // The success box and the restart question: after the read-back, saying what it showed.
        ASSERT_EQ(rig.window.boxes.size(), 3u);
        for (size_t n = 1; n < 3; ++n) {
            EXPECT_NE(rig.window.boxes[n].logWhenShown.find(noAnswer), std::string::npos);
        }
        EXPECT_EQ(rig.window.boxes[1].request.detail, noAnswer);
        EXPECT_EQ(rig.window.boxes[2].request.question, QuestionKind::Restart);
    }
}

// A close asked for while the drive is written (the title bar, the end of the session) does
// not end the window under the run: it is kept, and honoured once the run's ending has been
// shown and recorded, without the restart question.
TEST(RunEnding, ACloseDuringARunEndsTheWindowOnceTheRunHasEnded) {
    DialogHarness rig{ThisBuildRegion(), {TargetAt("1.0d")}};
    rig.StartAndSelect(0);
    std::optional<int> endedAtConfirmation;
    rig.window.onBox = [&](const MessageBoxRequest& request) {
        if (request.question == QuestionKind::Confirmation) {
            rig.dialog->OnCloseRequest();
            endedAtConfirmation = rig.window.endResult;
        }
    };
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok});
    EXPECT_FALSE(endedAtConfirmation.has_value());
    EXPECT_EQ(rig.dialog->LastEnding().kind, RunEndingKind::Updated);
    EXPECT_EQ(rig.window.endResult, kDialogCancel);
    EXPECT_TRUE(Has(rig.LogLines(), "The window closes once the update has ended."));
    EXPECT_TRUE(std::none_of(
        rig.window.boxes.begin(), rig.window.boxes.end(),
        [](const ShownBox& box) { return box.request.question == QuestionKind::Restart; }));
    EXPECT_EQ(rig.restart.requests, 0);
}

}  // namespace
}  // namespace flashtool::testing
