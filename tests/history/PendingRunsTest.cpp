// Which runs are pending, and what settles them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "history/PendingRuns.h"
#include "history/RecordedDrive.h"
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

// Which two records are of one drive: by serial number where both have one, else by place
// where both have one, else (records written before either was kept) by node.
TEST(PendingRunsTest, TheSameDriveIsKnownBySerialThenPlaceThenNode) {
    const auto drive = [](std::string node, std::string serial, std::string place) {
        HistoryRecord record = UpdatedRun(std::move(node), RevisionAfterRun::Old);
        record.serial = std::move(serial);
        record.place = std::move(place);
        return record;
    };
    struct Case {
        const char* what;
        HistoryRecord a;
        HistoryRecord b;
        bool same;
    };
    const Case cases[] = {
        {"one serial number, moved to another port and node", drive("/dev/sg1", "A1", "ata1"),
         drive("/dev/sg4", "A1", "ata3"), true},
        {"two serial numbers at the same node after a restart", drive("/dev/sg1", "A1", "ata1"),
         drive("/dev/sg1", "B2", "ata1"), false},
        {"no serial number: one place", drive("/dev/sg1", "", "ata1"),
         drive("/dev/sg2", "", "ata1"), true},
        {"no serial number: two places at one node", drive("/dev/sg1", "", "ata1"),
         drive("/dev/sg1", "", "ata2"), false},
        {"a serial number on one side only: the places", drive("", "A1", "vdrive 0"),
         drive("", "", "vdrive 0"), true},
        {"no node and two serial numbers", drive("", "A1", ""), drive("", "B2", ""), false},
        {"an older record: the node", drive("/dev/sg1", "", ""), drive("/dev/sg1", "A1", "ata1"),
         true},
        {"an older record: another node", drive("/dev/sg1", "", ""),
         drive("/dev/sg2", "A1", "ata1"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SameRecordedDrive(c.a, c.b), c.same) << c.what;
        EXPECT_EQ(SameRecordedDrive(c.b, c.a), c.same) << c.what;
    }
    HistoryRecord otherModel = drive("/dev/sg1", "A1", "ata1");
    otherModel.identification = "ORIN    DVD RW QV-5520A ";
    EXPECT_FALSE(SameRecordedDrive(otherModel, drive("/dev/sg1", "A1", "ata1")));
}

// --all on two drives of one model where the system names no node: both marks, then both
// runs' records. Each drive's records settle only its own: the first drive's unconfirmed run
// stays pending, the second's mark is ended by its own run's record.
TEST(PendingRunsTest, TwoDrivesOfOneModelWithoutNodesKeepTheirOwnRuns) {
    const auto of = [](HistoryRecord record, std::string serial, HistoryRecordKind kind) {
        record.serial = std::move(serial);
        record.kind = kind;
        return record;
    };
    HistoryRecord unconfirmed = UpdatedRun("", RevisionAfterRun::Old);
    unconfirmed.ending = RunEndingKind::NotConfirmed;
    const HistoryRecord verified = UpdatedRun("", RevisionAfterRun::New);
    HistoryRecord mark = UpdatedRun("", RevisionAfterRun::NotRead);
    mark.ending = RunEndingKind::NothingSent;
    mark.revisionAfter = "";
    const std::vector<HistoryRecord> records{
        of(mark, "A1", HistoryRecordKind::Begun), of(mark, "B2", HistoryRecordKind::Begun),
        of(unconfirmed, "A1", HistoryRecordKind::Run), of(verified, "B2", HistoryRecordKind::Run)};
    PendingTracker tracker;
    for (const HistoryRecord& record : records) {
        tracker.Add(record);
    }
    EXPECT_EQ(tracker.Pending(), std::vector<HistoryRecord>{records[2]});
    EXPECT_FALSE(tracker.IsUnendedMark(0));
    EXPECT_FALSE(tracker.IsUnendedMark(1));
    EXPECT_TRUE(tracker.IsPending(2));
    EXPECT_FALSE(tracker.IsPending(3));
}

}  // namespace
}  // namespace flashtool
