// Runs of wildcard builds for OEM families: the model records around the transfer, the
// hardware check, and the eject path of the oldest family. The regions are packed here.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Format.h"
#include "flash/FlashRun.h"
#include "support/DialogHarness.h"
#include "tools/fwpack/RegionPacker.h"
#include "tools/fwpack/SyntheticFirmware.h"

namespace flashtool::testing {
namespace {

using ::testing::ElementsAre;

constexpr std::string_view kAnyDrive = "*                       ";

std::vector<uint8_t> FirmwareFor(const std::string& family) {
    return GenerateSyntheticFirmware({"1.2b", family, 512 * 1024, 7, 200000});
}

std::vector<uint8_t> RegionFor(std::string_view target, const std::string& family) {
    BuildDescription build;
    build.key = "TARN2";
    build.target = std::string(target);
    build.revision = "1.2b";
    build.family = family;
    build.pattern = "QZ*.**";
    const PackResult packed = PackRegion(build, FirmwareFor(family), {});
    EXPECT_TRUE(packed.error.empty()) << packed.error;
    return packed.region;
}

std::vector<uint8_t> WildcardRegion(const std::string& family) {
    return RegionFor(kAnyDrive, family);
}

size_t Count(const VirtualDrive& drive, uint8_t op, std::optional<uint8_t> sub = std::nullopt) {
    size_t n = 0;
    for (const TraceEntry& entry : drive.Trace()) {
        n += entry.cdb[0] == op && (!sub || entry.cdb[1] == *sub);
    }
    return n;
}

struct OemUpgrade : ::testing::Test {
    // A drive of family KM3130 below its OEM boundary revision (1.12): once confirmed, the run
    // sets the records to 0x30 first, marks them, and writes them back at the end.
    DialogHarness rig{WildcardRegion("KM3130"), {{"KESTREL CDRW/DVD KC3130 ", "1.10", "", false}}};
};

TEST_F(OemUpgrade, TheRecordsAreMarkedForTheTransferAndWrittenBackClearAfterIt) {
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});

    EXPECT_EQ(rig.Drive().Revision(), "1.2b");
    EXPECT_TRUE(rig.Drive().Transfer().installedImage == FirmwareFor("KM3130"));
    const VendorState& vendor = rig.Drive().Vendor();
    EXPECT_EQ(vendor.recordWrites, 6u);  // two preparing, two marked, two cleared
    EXPECT_THAT(vendor.recordAt02, ElementsAre(0x30, 0x00, 0x5A, 0xC3));
    EXPECT_THAT(vendor.recordAt24, ElementsAre(0x30, 0x00, 0x5A, 0xC3));
    EXPECT_EQ(Count(rig.Drive(), 0xFA), 32u);  // expanded: 512 KB
    EXPECT_EQ(rig.LogLines().back(), "The drive now reports firmware revision 1.2b: verified.");
    EXPECT_EQ(rig.dialog->LastEnding().kind, RunEndingKind::Updated);
    EXPECT_TRUE(rig.Idle(100));
}

// A check press goes through every check an Upgrade press does, but the records the checks
// would get ready for the run stay as the drive has them.
TEST_F(OemUpgrade, ACheckOnlyPressSaysAnUpdateWouldStartAndWritesNoRecord) {
    rig.StartAndSelect(0);
    const VendorState before = rig.Drive().Vendor();
    rig.dialog->OnCheck();
    rig.dialog->WaitForRun();
    EXPECT_EQ(rig.dialog->LastEnding().kind, RunEndingKind::WouldUpdate);
    EXPECT_EQ(rig.ChangingCommands(), 0u);
    EXPECT_EQ(rig.Drive().Vendor().recordWrites, before.recordWrites);
    EXPECT_EQ(rig.Drive().Revision(), "1.10");
    EXPECT_TRUE(rig.window.boxes.empty());
    EXPECT_TRUE(rig.Idle(0));
}

// The records the drive needs before its transfer are writes: they wait for the operator's
// yes. Answered No, the drive is left as it was found and the ending says so truthfully.
TEST_F(OemUpgrade, NothingIsWrittenBeforeTheConfirmationAndACancelLeavesTheRecordsAsTheyWere) {
    rig.StartAndSelect(0);
    const VendorState before = rig.Drive().Vendor();
    rig.Upgrade({BoxAnswer::Cancel});
    EXPECT_EQ(rig.ChangingCommands(), 0u);
    EXPECT_EQ(rig.Drive().Vendor().recordWrites, before.recordWrites);
    EXPECT_EQ(rig.Drive().Vendor().recordAt02, before.recordAt02);
    EXPECT_EQ(rig.Drive().Vendor().recordAt24, before.recordAt24);
    RunEnding cancelled = RunEnding::Refusal(ResultCode::UserCancelled);
    cancelled.declined = QuestionKind::Confirmation;
    EXPECT_EQ(rig.dialog->LastEnding(), cancelled);
    EXPECT_EQ(rig.inhibitor.acquired.load(), 0);  // no write window, no mark in a history
}

// Confirmed, the drive receives exactly what it did when the records were prepared by the
// checks: the two preparing writes first, then the readiness wait, the handshake and the rest.
TEST_F(OemUpgrade, AConfirmedRunSendsThePreparingWritesFirstAndInsideTheWriteWindow) {
    rig.StartAndSelect(0);
    int acquiredBeforeFirstWrite = -1;
    rig.window.onBox = [&](const MessageBoxRequest& request) {
        if (request.question == QuestionKind::Confirmation) {
            acquiredBeforeFirstWrite = rig.inhibitor.acquired.load();
            EXPECT_EQ(rig.ChangingCommands(), 0u);
        }
    };
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
    EXPECT_EQ(acquiredBeforeFirstWrite, 0);
    const auto& trace = rig.Drive().Trace();
    const auto firstWrite = std::find_if(trace.begin(), trace.end(), [](const TraceEntry& e) {
        return e.cdb[0] == 0xF5 && e.cdb[1] == 0x03;
    });
    ASSERT_NE(firstWrite, trace.begin());
    std::vector<std::string> around;
    for (auto entry = firstWrite - 1; entry != trace.end() && around.size() < 5; ++entry) {
        around.push_back(FormatText("%02X %02X", entry->cdb[0], entry->cdb[1]));
    }
    // Each preparing write reads its record first; the readiness wait follows them.
    EXPECT_THAT(around, ElementsAre("F5 01", "F5 03", "F5 01", "F5 03", "00 00"));
    EXPECT_EQ(rig.dialog->LastEnding().kind, RunEndingKind::Updated);
}

TEST_F(OemUpgrade, AFailedMarkedWriteEndsWithCheckFailedBeforeAnyPage) {
    // The run prepares with two writes; the fourth write is its second, marked one.
    rig.Drive().AddFault(Fault{0xF5, 0x03, 4, FaultKind::TransportFailure, {}});
    rig.StartAndSelect(0);
    rig.Upgrade();
    EXPECT_THAT(rig.BoxTexts(), ElementsAre("Do you really want to upgrade ?",
                                            "The drive is not allowed to be updated."));
    EXPECT_TRUE(rig.Drive().Vendor().UpdateMarked());  // the first record already carries it
    const auto& trace = rig.Drive().Trace();
    EXPECT_EQ(trace[trace.size() - 2].cdb[1], 0x03);  // then only the identification is asked
    EXPECT_EQ(trace.back().cdb[0], 0x12);
    EXPECT_EQ(rig.ChangingCommands(), 4u);
    EXPECT_TRUE(rig.Idle(0));
}

TEST_F(OemUpgrade, ARecordReadThatDidNotCompleteWritesNothingAndEndsWithCheckFailed) {
    // The checks read twice; the third read is the run's first, before the marked write.
    const struct {
        const char* name;
        Fault fault;
    } cases[] = {
        {"timed out", Fault{0xF5, 0x01, 3, FaultKind::TimeOut, {}}},
        {"check condition", Fault{0xF5, 0x01, 3, FaultKind::CheckCondition, sense::kInvalidField}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DialogHarness fresh{WildcardRegion("KM3130"),
                            {{"KESTREL CDRW/DVD KC3130 ", "1.10", "", false}}};
        fresh.Drive().AddFault(c.fault);
        fresh.StartAndSelect(0);
        fresh.Upgrade();
        EXPECT_THAT(fresh.BoxTexts(), ElementsAre("Do you really want to upgrade ?",
                                                  "The drive is not allowed to be updated."));
        EXPECT_FALSE(fresh.Drive().Vendor().UpdateMarked());
        EXPECT_EQ(fresh.Drive().Vendor().recordWrites, 2u);  // the checks' two only
        EXPECT_EQ(Count(fresh.Drive(), 0xFA), 0u);
    }
}

TEST_F(OemUpgrade, AFailedWriteBackStillReportsSuccessButAsksNothingMore) {
    rig.Drive().AddFault(Fault{0xF5, 0x03, 5, FaultKind::TransportFailure, {}});
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok});
    EXPECT_EQ(rig.Drive().Revision(), "1.2b");
    EXPECT_THAT(rig.BoxTexts(), ElementsAre("Do you really want to upgrade ?"));
    const auto log = rig.LogLines();
    EXPECT_THAT(
        std::vector<std::string>(log.end() - 5, log.end()),
        ElementsAre(" ", "======== SUCCEED ========", " ", std::string(kRecordsNotRestoredLine),
                    "The drive now reports firmware revision 1.2b."));
    EXPECT_EQ(rig.restart.requests, 0);
    // The records are not back: whatever the drive shows, the run failed.
    EXPECT_EQ(rig.dialog->LastEnding().kind, RunEndingKind::Failed);
    EXPECT_EQ(rig.dialog->LastEnding().code, ResultCode::UpdateFailed);
    EXPECT_TRUE(rig.Idle(100));
}

TEST(OemUpgradeAhead, ADriveAheadOfItsBoundaryWithTheLargeBufferIsNotAllowed) {
    // Revision 1.13 is past the boundary 1.12: the run checks the hardware, and a drive with
    // the large buffer does not take the 0x30 variant's image.
    DialogHarness rig{WildcardRegion("KM3130"), {{"KESTREL CDRW/DVD KC3130 ", "1.13", "", false}}};
    rig.StartAndSelect(0);
    rig.Upgrade();
    EXPECT_THAT(rig.BoxTexts(), ElementsAre("Do you really want to upgrade ?",
                                            "The drive is not allowed to be updated."));
    const auto& trace = rig.Drive().Trace();
    EXPECT_EQ(trace[trace.size() - 2].cdb[0], 0x5A);
    EXPECT_EQ(trace.back().cdb[0], 0x12);  // the identification asked again after the run
    EXPECT_EQ(Count(rig.Drive(), 0xFA), 0u);
    EXPECT_TRUE(rig.Idle(0));
}

TEST(OemUpgradeEject, TheOldestFamilyIsEjectedInsteadOfTheHandshakeAndWaitsLonger) {
    DialogHarness rig{WildcardRegion("KM2100"), {{"KESTREL CD-RW KC-2100   ", "1.10", "", false}}};
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
    EXPECT_EQ(Count(rig.Drive(), 0x1B), 1u);
    EXPECT_EQ(Count(rig.Drive(), 0xFD, 0xF1), 0u);
    EXPECT_EQ(Count(rig.Drive(), 0x5A), 0u);  // no decompression on this path
    EXPECT_EQ(rig.Drive().Revision(), "1.2b");
    EXPECT_THAT(rig.clock.Sleeps(), ::testing::IsSupersetOf({50000u, 5000u}));
    EXPECT_TRUE(rig.Idle(100));
}

TEST(FamilyUpgrade, AKm3180DriveIsNeverAskedForItsBufferAndGetsTheStoredPages) {
    constexpr std::string_view kDrive = "PALLAS  CD-RW PC-2100   ";
    DialogHarness rig{RegionFor(kDrive, "KM3180"), {{std::string(kDrive), "1.10", "", false}}};
    rig.StartAndSelect(0);
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
    EXPECT_EQ(Count(rig.Drive(), 0x5A), 0u);
    EXPECT_EQ(Count(rig.Drive(), 0xFD, 0xF1), 1u);
    EXPECT_EQ(Count(rig.Drive(), 0xFA), *LittleEndian32At(rig.region, 60) / 16384);
    EXPECT_EQ(rig.Drive().Revision(), "1.2b");
    EXPECT_TRUE(rig.Idle(100));
}

}  // namespace
}  // namespace flashtool::testing
