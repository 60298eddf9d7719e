// The front-ends' two calls across two starts of the program, each with a store of its own
// over the same folder: a press records its run, and the next start settles a pending one
// from what the scan found.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/RunHistory.h"
#include "history/PendingRuns.h"
#include "support/ScriptedBackend.h"
#include "tests/history/HistoryFixtures.h"
#include "transport/Inquiry.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
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
    std::vector<std::string> TwoStarts(RunFacts press, std::vector<PresentDrive> drives) {
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
        RunFacts press = Press(ending, "1.0d");
        EXPECT_EQ(RecordRun(Store(), press, kPressTime), std::nullopt);
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
    RunFacts press = Press(Updated(RevisionAfterRun::New), "1.0e");
    const std::optional<std::string> line = RecordRun(blocked, press, kPressTime);
    ASSERT_TRUE(line.has_value());
    EXPECT_THAT(*line, HasSubstr("could not be added to the history"));
}

// A vital product data reply: the page's header, then its bytes.
void VpdReply(const ScsiRequest& request, uint8_t page, std::string_view body) {
    std::vector<uint8_t> reply{0x05, page, 0x00, static_cast<uint8_t>(body.size())};
    reply.insert(reply.end(), body.begin(), body.end());
    std::copy_n(reply.begin(), std::min<size_t>(reply.size(), request.length), request.data);
}

// The mark is where a run says which drive it writes: the serial number is asked of the
// drive there, page list first, and the place comes from the back-end; the run holds the
// history's lock from its mark to its record.
TEST_F(RunHistoryTest, TheMarkKeepsTheDrivesSerialNumberAndPlaceAndTheRunHoldsTheLock) {
    const std::string listed("\x00\x80", 2);
    struct Case {
        const char* what;
        std::string pages;   // the page list the drive answers
        std::string serial;  // its serial number page's field
        size_t commands;
        const char* kept;
    };
    const Case cases[] = {
        {"blanks around it", listed, "   QV55A0001  ", 2, "QV55A0001"},
        {"only blanks", listed, "        ", 2, ""},
        {"no serial number page", std::string(1, '\0'), "", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TempFolder own;
        const HistoryStore store(HistoryPlace{own.path, false});
        testing::RecordingNotifier notifier;
        auto backend = std::make_unique<testing::ScriptedBackend>();
        testing::ScriptedBackend& scripted = *backend;
        scripted.candidates = {DeviceAddress{7, 0, 0}};
        scripted.places[7] = "pci0000:00/0000:00:1f.2/ata2 0:0:0";
        ScsiTransport transport(std::move(backend), notifier);
        ASSERT_EQ(transport.ScanDevices(), 1);
        scripted.requests.clear();
        scripted.reply = [&](const ScsiRequest& request) {
            const uint8_t page = request.cdb[2];
            VpdReply(request, page, page == kVpdSupportedPages ? c.pages : c.serial);
        };
        RunFacts press = Press(RunEnding::Of(RunEndingKind::NotConfirmed), "1.0d");
        ASSERT_EQ(RecordBegun(store, press, *transport.DeviceAt(0), kPressTime), std::nullopt);
        ASSERT_EQ(scripted.requests.size(), c.commands);
        EXPECT_EQ(scripted.requests[0].cdb,
                  (std::vector<uint8_t>{0x12, 0x01, 0x00, 0x00, 0xFF, 0x00}));
        if (c.commands == 2) {
            EXPECT_EQ(scripted.requests[1].cdb,
                      (std::vector<uint8_t>{0x12, 0x01, 0x80, 0x00, 0xFF, 0x00}));
        }
        EXPECT_TRUE(HistoryLock::Take(store.Place(), HistoryLock::Mode::Settle).busy);
        ASSERT_EQ(RecordRun(store, press, kPressTime, true), std::nullopt);
        EXPECT_FALSE(HistoryLock::Take(store.Place(), HistoryLock::Mode::Settle).busy);
        const HistoryContents contents = store.ReadAll();
        ASSERT_EQ(contents.records.size(), 2u);
        for (const HistoryRecord& record : contents.records) {
            EXPECT_EQ(record.serial, c.kept);
            EXPECT_EQ(record.place, "pci0000:00/0000:00:1f.2/ata2 0:0:0");
        }
    }
}

// Two drives of one model with no node names; the run of the second was not confirmed. At
// the next start they come in the other order: its serial number, not its position, says
// which drive it is (their places are not even asked), and the other is not asked for its
// revision again.
TEST_F(RunHistoryTest, TwoDrivesOfOneModelAreToldApartByTheirSerialNumbers) {
    RunFacts press = Press(RunEnding::Of(RunEndingKind::NotConfirmed), "1.0d");
    press.node = "";
    press.serial = "B2";
    press.place = "vdrive 1";
    ASSERT_EQ(RecordRun(Store(), press, kPressTime), std::nullopt);
    std::vector<std::string> asked;
    const auto drive = [&](std::string serial, std::string revision, std::string place) {
        PresentDrive present{kTarget, {}, revision};
        present.readPlace = [&asked, place] {
            asked.push_back("place " + place);
            return place;
        };
        present.readSerial = [&asked, serial] {
            asked.push_back("serial of " + serial);
            return serial;
        };
        present.readRevision = [&asked, serial, revision]() -> std::optional<std::string> {
            asked.push_back("revision of " + serial);
            return revision;
        };
        return present;
    };
    PresentDrive otherModel{"ORIN    DVD RW QV-5520A ", {}, "2.1b"};
    otherModel.readSerial = [&asked] {
        asked.push_back("serial of the other model");
        return std::string("C3");
    };
    const std::vector<PresentDrive> swapped{drive("B2", "1.0e", "vdrive 0"),
                                            drive("A1", "1.0d", "vdrive 1"), otherModel};
    EXPECT_THAT(ResolvePending(Store(), swapped, "0.2", kNextStart),
                ElementsAre("History: drive \"ORIN    DVD RW QV-5500A \" (serial number B2), not "
                            "confirmed on 2025-06-01T10:00:00Z from 1.0d to 1.0e: it now reports "
                            "1.0e: verified."));
    EXPECT_THAT(asked, ElementsAre("serial of B2", "serial of A1", "revision of B2"));
    const HistoryContents contents = Store().ReadAll();
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[1].serial, "B2");
    EXPECT_THAT(PendingRuns(contents.records), IsEmpty());
}

// Another copy is between a run's mark and its record: nothing is settled, whatever the
// drive shows now, until that run has ended.
TEST_F(RunHistoryTest, NothingIsSettledWhileAnotherCopyHoldsARun) {
    RunFacts press = Press(Updated(RevisionAfterRun::Old), "1.0d");
    ASSERT_EQ(RecordRun(Store(), press, kPressTime), std::nullopt);
    HistoryLock::Taking running = HistoryLock::Take(Store().Place(), HistoryLock::Mode::Run);
    ASSERT_NE(running.lock, nullptr);
    bool asked = false;
    PresentDrive present{kTarget, {"/dev/sg1"}, "1.0d"};
    present.readRevision = [&asked]() -> std::optional<std::string> {
        asked = true;
        return "1.0d";
    };
    EXPECT_THAT(ResolvePending(Store(), std::vector<PresentDrive>{present}, "0.2", kNextStart),
                ElementsAre(HasSubstr("another copy of the program is updating a drive now")));
    EXPECT_FALSE(asked) << "no drive is asked anything while the history cannot be settled";
    EXPECT_EQ(Store().ReadAll().records.size(), 1u);
    running.lock.reset();
    // The scan's revision is older than the run's end: the drive is read again.
    present.readRevision = []() -> std::optional<std::string> { return "1.0e"; };
    EXPECT_THAT(ResolvePending(Store(), std::vector<PresentDrive>{present}, "0.2", kNextStart),
                ElementsAre(HasSubstr("it now reports 1.0e: verified.")));
}

}  // namespace
}  // namespace flashtool
