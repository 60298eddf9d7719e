// The front-ends' two calls across two starts of the program, each with a store of its own
// over the same folder: a press records its run, and the next start settles a pending one
// from what the scan found.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/RunHistory.h"
#include "history/PendingRuns.h"
#include "tests/history/HistoryFixtures.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::kTarget;

const auto kPressTime =
    std::chrono::sys_days{std::chrono::June / 1 / 2025} + std::chrono::hours(10);
const auto kNextStart = kPressTime + std::chrono::hours(1);

RunFacts Press(RunEnding ending, std::string after) {
    return {"0.1", "1.0e", kTarget, "/dev/sg1", "1.0d", std::move(after), ending};
}

RunEnding Updated(RevisionAfterRun after) {
    RunEnding ending = RunEnding::Of(RunEndingKind::Updated);
    ending.after = after;
    return ending;
}

class RunHistoryTest : public ::testing::Test {
protected:
    HistoryStore Store() const { return HistoryStore(HistoryPlace{folder.path, false}); }

    // The first start: the press. The second: a scan that found `drives`.
    std::vector<std::string> TwoStarts(const RunFacts& press, std::vector<PresentDrive> drives) {
        EXPECT_EQ(RecordRun(Store(), press, kPressTime), std::nullopt);
        return ResolvePending(Store(), drives, "0.2", kNextStart);
    }

    testing::TempFolder folder;
};

TEST_F(RunHistoryTest, APendingRunIsVerifiedWhenTheDriveNowReportsTheNewRevision) {
    const std::vector<std::string> lines = TwoStarts(Press(Updated(RevisionAfterRun::Old), "1.0d"),
                                                     {{kTarget, {"/dev/sg1", "/dev/sr0"}, "1.0e"}});
    EXPECT_THAT(lines,
                ElementsAre("History: drive \"ORIN    DVD RW QV-5500A \" (/dev/sg1), updated "
                            "on 2025-06-01T10:00:00Z from 1.0d to 1.0e: it now reports "
                            "1.0e: verified."));
    const HistoryContents contents = Store().ReadAll();
    ASSERT_EQ(contents.records.size(), 2u);
    const HistoryRecord& resolution = contents.records[1];
    EXPECT_EQ(resolution.kind, HistoryRecordKind::Resolution);
    EXPECT_EQ(resolution.time, "2025-06-01T11:00:00Z");
    EXPECT_EQ(resolution.programVersion, "0.2");
    EXPECT_EQ(resolution.after, RevisionAfterRun::New);
    EXPECT_EQ(resolution.revisionAfter, "1.0e");
    EXPECT_EQ(resolution.ending, RunEndingKind::Updated);
    // Settled once: a third start has nothing to say.
    EXPECT_THAT(ResolvePending(Store(), std::vector<PresentDrive>{{kTarget, {"/dev/sg1"}, "1.0e"}},
                               "0.2", kNextStart),
                ElementsAre());
}

TEST_F(RunHistoryTest, AnUnconfirmedRunFailedWhenTheDriveStillReportsTheOldRevision) {
    const std::vector<std::string> lines =
        TwoStarts(Press(RunEnding::Of(RunEndingKind::NotConfirmed), "1.0d"),
                  {{kTarget, {"/dev/sg1"}, "1.0d"}});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], HasSubstr("not confirmed on 2025-06-01T10:00:00Z from 1.0d to 1.0e: it "
                                    "still reports 1.0d: the update FAILED"));
    const HistoryContents contents = Store().ReadAll();
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[1].after, RevisionAfterRun::Old);
    EXPECT_TRUE(PendingRuns(contents.records).empty());
}

// The drive that ran is not there, or only another drive of its model is (at another node):
// nothing is settled, and the run waits for a start that finds it.
TEST_F(RunHistoryTest, ARunWhoseDriveIsNotFoundStaysPending) {
    const std::vector<std::string> lines = TwoStarts(
        Press(Updated(RevisionAfterRun::Unreadable), "1.0d"),
        {{kTarget, {"/dev/sg2"}, "1.0d"}, {"ORIN    DVD RW QV-5520A ", {"/dev/sg1"}, "2.1b"}});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], HasSubstr("not here to check; it stays pending."));
    const HistoryContents contents = Store().ReadAll();
    ASSERT_EQ(contents.records.size(), 1u);
    EXPECT_EQ(contents.records[0].revisionAfter, "") << "the drive did not answer: nothing read";
    EXPECT_EQ(PendingRuns(contents.records).size(), 1u);
}

// Windows has no node names: the drive is known by its identification, when only one has it.
TEST_F(RunHistoryTest, WithoutNodesOnlyTheOneDriveOfThatModelIsTaken) {
    RunFacts press = Press(Updated(RevisionAfterRun::Old), "1.0d");
    press.node = "";
    ASSERT_EQ(RecordRun(Store(), press, kPressTime), std::nullopt);
    const std::vector<PresentDrive> two{{kTarget, {}, "1.0d"}, {kTarget, {}, "1.0e"}};
    EXPECT_THAT(ResolvePending(Store(), two, "0.1", kNextStart)[0], HasSubstr("stays pending"));
    const std::vector<PresentDrive> one{{kTarget, {}, "1.0e"}};
    EXPECT_THAT(ResolvePending(Store(), one, "0.1", kNextStart)[0], HasSubstr("verified"));
}

TEST_F(RunHistoryTest, OnlyAPressThatSentADriveChangingCommandIsRecorded) {
    RunEnding failed = RunEnding::Failure(ResultCode::UpdateFailed);
    failed.after = RevisionAfterRun::Old;
    for (const RunEnding& ending :
         {RunEnding::Of(RunEndingKind::NothingSent), RunEnding::Refusal(ResultCode::DiscPresent),
          RunEnding::Of(RunEndingKind::UpToDate), failed, Updated(RevisionAfterRun::New)}) {
        EXPECT_EQ(RecordRun(Store(), Press(ending, "1.0d"), kPressTime), std::nullopt);
    }
    const HistoryContents contents = Store().ReadAll();
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[0].ending, RunEndingKind::Failed);
    EXPECT_EQ(contents.records[0].code, ResultCode::UpdateFailed);
    EXPECT_EQ(contents.records[1].ending, RunEndingKind::Updated);
    // Neither is pending: a start with the drive present says nothing.
    EXPECT_THAT(ResolvePending(Store(), std::vector<PresentDrive>{{kTarget, {"/dev/sg1"}, "1.0d"}},
                               "0.1", kNextStart),
                ElementsAre());
}

TEST_F(RunHistoryTest, AHistoryThatCannotBeWrittenIsSaidAndDoesNotStopThePress) {
    testing::WriteBytes(folder.path / "blocked", "");
    const HistoryStore blocked(HistoryPlace{folder.path / "blocked", false});
    const std::optional<std::string> line =
        RecordRun(blocked, Press(Updated(RevisionAfterRun::New), "1.0e"), kPressTime);
    ASSERT_TRUE(line.has_value());
    EXPECT_THAT(*line, HasSubstr("could not be added to the history"));
}

}  // namespace
}  // namespace flashtool
