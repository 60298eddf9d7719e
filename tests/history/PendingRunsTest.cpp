// Which runs are pending, and what settles them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "history/PendingRuns.h"
#include "tests/history/HistoryFixtures.h"

namespace flashtool {
namespace {

using testing::UpdatedRun;

TEST(PendingRunsTest, OnlyARunTheDriveCouldNotShowYetIsPending) {
    using After = RevisionAfterRun;
    struct Case {
        RunEndingKind ending;
        After after;
        bool pending;
    };
    const Case cases[] = {
        {RunEndingKind::Updated, After::Old, true},
        {RunEndingKind::Updated, After::Unreadable, true},  // gone until the restart
        {RunEndingKind::Updated, After::New, false},
        {RunEndingKind::Updated, After::Other, false},
        {RunEndingKind::NotConfirmed, After::Old, true},
        {RunEndingKind::NotConfirmed, After::Unreadable, true},
        {RunEndingKind::NotConfirmed, After::Other, true},
        {RunEndingKind::Failed, After::Old, false},
        {RunEndingKind::Failed, After::Unreadable, false},
    };
    for (const Case& c : cases) {
        HistoryRecord run = UpdatedRun("/dev/sg1", c.after);
        run.ending = c.ending;
        EXPECT_EQ(IsPendingRun(run), c.pending)
            << EndingName(c.ending) << " " << AfterFileName(c.after);
        run.kind = HistoryRecordKind::Resolution;
        EXPECT_FALSE(IsPendingRun(run));
    }
}

TEST(PendingRunsTest, ALaterRecordOfTheSameDriveSettlesARun) {
    const HistoryRecord sg1 = UpdatedRun("/dev/sg1", RevisionAfterRun::Old, "2025-06-01T10:00:00Z");
    const HistoryRecord sg2 = UpdatedRun("/dev/sg2", RevisionAfterRun::Old, "2025-06-01T10:00:01Z");
    HistoryRecord otherModel = sg1;
    otherModel.identification = "ORIN    DVD RW QV-5520A ";
    HistoryRecord resolution = sg1;
    resolution.kind = HistoryRecordKind::Resolution;
    resolution.after = RevisionAfterRun::New;
    const HistoryRecord sg1Again =
        UpdatedRun("/dev/sg1", RevisionAfterRun::New, "2025-06-02T00:00:00Z");
    const HistoryRecord sg1Pending =
        UpdatedRun("/dev/sg1", RevisionAfterRun::Old, "2025-06-03T00:00:00Z");

    using Records = std::vector<HistoryRecord>;
    EXPECT_EQ(PendingRuns(Records{sg1, sg2, otherModel}), (Records{sg1, sg2, otherModel}));
    EXPECT_EQ(PendingRuns(Records{sg1, sg2, resolution}), (Records{sg2}));
    EXPECT_EQ(PendingRuns(Records{sg1, sg1Again, sg2}), (Records{sg2}));
    EXPECT_EQ(PendingRuns(Records{sg1, resolution, sg1Pending}), (Records{sg1Pending}));
}

// A run's mark is pending until the run's own record follows it (which then says whether the
// run is pending) or a resolution settles it; another drive's records leave it alone.
TEST(PendingRunsTest, ARunsMarkIsPendingUntilItsRunOrAResolutionFollows) {
    HistoryRecord mark = UpdatedRun("/dev/sg1", RevisionAfterRun::NotRead);
    mark.kind = HistoryRecordKind::Begun;
    mark.ending = RunEndingKind::NothingSent;
    mark.revisionAfter = "";
    const HistoryRecord verified = UpdatedRun("/dev/sg1", RevisionAfterRun::New);
    const HistoryRecord unverified = UpdatedRun("/dev/sg1", RevisionAfterRun::Old);
    HistoryRecord refused = UpdatedRun("/dev/sg1", RevisionAfterRun::NotRead);
    refused.ending = RunEndingKind::Refused;
    HistoryRecord resolution = mark;
    resolution.kind = HistoryRecordKind::Resolution;
    const HistoryRecord otherDrive = UpdatedRun("/dev/sg2", RevisionAfterRun::New);

    using Records = std::vector<HistoryRecord>;
    EXPECT_TRUE(IsPendingRun(mark));
    EXPECT_EQ(PendingRuns(Records{mark}), (Records{mark}));
    EXPECT_EQ(PendingRuns(Records{mark, verified}), Records{});
    EXPECT_EQ(PendingRuns(Records{mark, unverified}), (Records{unverified}));
    EXPECT_EQ(PendingRuns(Records{mark, refused}), Records{});
    EXPECT_EQ(PendingRuns(Records{mark, resolution}), Records{});
    EXPECT_EQ(PendingRuns(Records{mark, otherDrive}), (Records{mark}));
}

}  // namespace
}  // namespace flashtool
