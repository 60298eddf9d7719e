// The vendor operations against a virtual drive: what each decides from the drive's
// answers, what it writes, and what it tells the user.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drive/ModelRecord.h"
#include "vendor/DriveRig.h"

namespace flashtool {
namespace {

using testing::CountDriveChanges;
using testing::CountOpcode;
using testing::DriveRig;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RecordingNotifier;
using testing::ScriptedBackend;

using Record = std::array<uint8_t, 4>;

Fault Every(uint8_t opcode, std::optional<uint8_t> sub, FaultKind kind, SenseInfo sense = {}) {
    return Fault{opcode, sub, 0, kind, sense};
}

TEST(VendorHandshakeTest, OnlyOkIsAcceptedAndARefusalIsLogged) {
    struct Case {
        std::optional<FaultKind> fault;
        bool accepted;
    };
    const Case cases[] = {{std::nullopt, true},
                          {FaultKind::CheckCondition, false},
                          {FaultKind::TimeOut, false},
                          {FaultKind::Busy, false}};
    for (const Case& c : cases) {
        DriveRig rig;
        if (c.fault) {
            rig.Drive().AddFault(Every(0xFD, 0xF1, *c.fault, sense::kInvalidField));
        }
        EXPECT_EQ(rig.vendor->VendorHandshake(), c.accepted);
        if (c.accepted) {
            EXPECT_THAT(rig.host.log, IsEmpty());
        } else {
            EXPECT_THAT(rig.host.log, ElementsAre("This Model is not support."));
        }
        EXPECT_THAT(rig.host.results, IsEmpty());
    }
}

TEST(WaitUntilReadyTest, WaitsOnlyWhileTheDriveIsBecomingReady) {
    struct Case {
        const char* name;
        bool disc;
        std::vector<SenseInfo> queued;
        bool result;
        size_t polls;  // TEST UNIT READY commands sent
    };
    const Case cases[] = {
        {"ready at once", true, {}, false, 1},
        {"medium not present", false, {}, true, 1},
        {"becoming ready, then ready",
         true,
         {sense::kBecomingReady, sense::kBecomingReady},
         false,
         3},
        {"unit attention, then ready", true, {sense::kMediumChanged}, false, 2},
        {"power-on reset, then no medium", false, {sense::kPowerOnReset}, true, 2},
        {"other condition ends the wait", true, {sense::kInvalidField}, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DriveRig rig({VirtualDriveSetup{.discPresent = c.disc}});
        for (const SenseInfo& condition : c.queued) {
            rig.Drive().QueueReadiness(condition);
        }
        EXPECT_EQ(rig.vendor->WaitUntilReady(), c.result);
        EXPECT_EQ(CountOpcode(rig.Trace(), 0x00), c.polls);
        EXPECT_EQ(rig.clock.Sleeps(), std::vector<uint32_t>(c.polls - 1, 200));
        EXPECT_THAT(rig.host.log, IsEmpty());
    }
}

TEST(WaitUntilReadyTest, ADriveThatNeverSettlesIsGivenUpAfterAMinute) {
    DriveRig rig;
    rig.Drive().AddFault(
        Every(0x00, std::nullopt, FaultKind::CheckCondition, sense::kBecomingReady));
    EXPECT_FALSE(rig.vendor->WaitUntilReady());
    EXPECT_EQ(CountOpcode(rig.Trace(), 0x00), 301u);
    EXPECT_EQ(rig.clock.Sleeps().size(), 300u);
    EXPECT_EQ(rig.clock.TotalMs(), 60'000u);
    EXPECT_THAT(rig.host.log, ElementsAre("The drive did not become ready within 60 seconds."));
}

TEST(ReadBufferSizeTest, OnlyExactly8192KbIsTheLargeBuffer) {
    for (const auto& [kb, large] : std::vector<std::pair<uint16_t, bool>>{
             {8192, true}, {8191, false}, {8193, false}, {4096, false}, {0, false}}) {
        DriveRig rig;
        rig.Drive().Vendor().bufferSizeKb = kb;
        EXPECT_EQ(rig.vendor->ReadBufferSize(), large) << kb;
        EXPECT_EQ(rig.diagnostics.Text(), "");
    }
}

TEST(ReadBufferSizeTest, AFailedQueryIsADiagnosticOnlyAndATimeOutReadsAsZeros) {
    DriveRig failed;
    failed.Drive().AddFault(
        Every(0x5A, std::nullopt, FaultKind::CheckCondition, sense::kInvalidField));
    EXPECT_FALSE(failed.vendor->ReadBufferSize());
    EXPECT_EQ(failed.diagnostics.Text(), "Read BufferSize Command Fail!!\n");
    EXPECT_THAT(failed.host.log, IsEmpty());
    EXPECT_THAT(failed.host.results, IsEmpty());

    DriveRig timedOut;
    timedOut.Drive().AddFault(Every(0x5A, std::nullopt, FaultKind::TimeOut));
    EXPECT_FALSE(timedOut.vendor->ReadBufferSize());
    EXPECT_EQ(timedOut.diagnostics.Text(), "");
}

TEST(CheckModelTest, ReadsTheModelCodeOfTheSecondRecord) {
    const std::pair<uint8_t, uint8_t> cases[] = {
        {0x00, 0x00}, {0x05, 0x05}, {0x30, 0x30}, {0x35, 0xFF}, {0x51, 0xFF}};
    for (const auto& [stored, code] : cases) {
        DriveRig rig;
        rig.Drive().Vendor().recordAt02 = {0x05, 0, 0, 0};  // must not be the one read
        rig.Drive().Vendor().recordAt24 = {stored, 0x00, 0x12, 0x34};
        EXPECT_EQ(rig.vendor->CheckModel(), code) << int(stored);
        EXPECT_THAT(rig.host.results, IsEmpty());
        EXPECT_EQ(CountDriveChanges(rig.Trace()), 0u);
    }
}

TEST(CheckModelTest, ARefusedHandshakeReportsChecksumMismatchAndGivesZero) {
    DriveRig rig;
    rig.Drive().Vendor().recordAt24 = {0x30, 0, 0, 0};
    rig.Drive().AddFault(Every(0xFD, 0xF1, FaultKind::CheckCondition, sense::kInvalidField));
    EXPECT_EQ(rig.vendor->CheckModel(), 0x00);
    EXPECT_THAT(rig.host.results, ElementsAre(ResultCode::ChecksumMismatch));
    EXPECT_THAT(rig.host.log, ElementsAre("This Model is not support."));
    EXPECT_EQ(CountOpcode(rig.Trace(), 0xF5), 0u);
}

TEST(CheckModelTest, AReadThatFailsOrDoesNotMoveTheWholeRecordGivesUnknown) {
    // A read that timed out leaves zeros, which would read as model code 0: never guessed.
    DriveRig failed;
    failed.Drive().Vendor().recordAt24 = {0x05, 0, 0, 0};
    failed.Drive().AddFault(Every(0xF5, 0x01, FaultKind::TransportFailure));
    EXPECT_EQ(failed.vendor->CheckModel(), 0xFF);
    EXPECT_EQ(failed.diagnostics.Text(), "Check Model Command Fail!!\n");

    DriveRig timedOut;
    timedOut.Drive().Vendor().recordAt24 = {0x00, 0, 0, 0};
    timedOut.Drive().AddFault(Every(0xF5, 0x01, FaultKind::TimeOut));
    EXPECT_EQ(timedOut.vendor->CheckModel(), 0xFF);
    EXPECT_EQ(timedOut.diagnostics.Text(), "");
}

TEST(WriteModelRecordTest, RewritesCodeAndMarkAndKeepsTheDrivesBytes) {
    struct Case {
        const char* name;
        bool setMark;
        std::optional<Fault> fault;
        bool result;
        Record stored;  // the record afterwards
        const char* diagnostics;
    };
    const Record before{0x05, 0x00, 0x12, 0x34};
    const Case cases[] = {
        {"mark set", true, std::nullopt, true, {0x05, 0x51, 0x12, 0x34}, ""},
        {"mark clear", false, std::nullopt, true, {0x05, 0x00, 0x12, 0x34}, ""},
        // Bytes 2-3 were not read: nothing is written over them.
        {"timed-out read", true, Every(0xF5, 0x01, FaultKind::TimeOut), false, before,
         "Check Model Command Fail!!\n"},
        {"refused read", true, Every(0xF5, 0x01, FaultKind::CheckCondition, sense::kInvalidField),
         false, before, "Check Model Command Fail!!\n"},
        // A write the drive did not take whole is a failed write, however it failed.
        {"timed-out write", true, Every(0xF5, 0x03, FaultKind::TimeOut), false, before,
         "Check Model Command Fail!!\n"},
        {"short write", true, Fault{0xF5, 0x03, 0, FaultKind::Short, {}, 2}, false, before,
         "Check Model Command Fail!!\n"},
        {"failed read", true, Every(0xF5, 0x01, FaultKind::TransportFailure), false, before,
         "Check Model Command Fail!!\n"},
        {"failed write", true, Every(0xF5, 0x03, FaultKind::CheckCondition, sense::kInvalidField),
         false, before, "Check Model Command Fail!!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DriveRig rig;
        rig.Drive().Vendor().recordAt24 = before;
        rig.Drive().Vendor().recordAt02 = {0x30, 0x00, 0xAA, 0xBB};
        if (c.fault) {
            rig.Drive().AddFault(*c.fault);
        }
        EXPECT_EQ(rig.vendor->WriteModelRecord(0x05, 0x24, 4, c.setMark), c.result);
        EXPECT_EQ(rig.Drive().Vendor().recordAt24, c.stored);
        EXPECT_EQ(rig.Drive().Vendor().recordAt02, (Record{0x30, 0x00, 0xAA, 0xBB}));
        EXPECT_EQ(rig.diagnostics.Text(), c.diagnostics);
        if (!c.result) {
            EXPECT_EQ(CountOpcode(rig.Trace(), 0xF5), c.fault->subFunction == 0x03 ? 2u : 1u);
        }
    }
}

TEST(WriteModelRecordTest, AReadThatEndsShortWritesNothing) {
    // GOOD, but two of the record's four bytes never arrived: the zeros in their place are
    // not the drive's.
    RecordingNotifier notifier;
    testing::RecordingHost host;
    CapturedDiagnostics diagnostics;
    FakeClock clock;
    auto owned = std::make_unique<ScriptedBackend>();
    ScriptedBackend* backend = owned.get();
    backend->candidates = {DeviceAddress{7, 0, 0}};
    ScsiTransport transport(std::move(owned), notifier);
    transport.ScanDevices();
    backend->requests.clear();
    backend->reply = [](const ScsiRequest& request) {
        std::fill_n(request.data, 2, uint8_t{0x05});
    };
    backend->outcomes = {PassThroughOutcome::Good(2)};
    VendorCommands vendor(ScsiDevice(transport, 0), host, diagnostics, clock);

    EXPECT_FALSE(vendor.WriteModelRecord(0x05, 0x24, 4, true));
    ASSERT_EQ(backend->requests.size(), 1u);
    EXPECT_EQ(backend->requests[0].cdb[1], 0x01);  // the read, and nothing after it
    EXPECT_EQ(diagnostics.Text(), "Check Model Command Fail!!\n");
}

TEST(WriteModelRecordTest, AFailedReadWritesNothing) {
    DriveRig rig;
    rig.Drive().AddFault(Every(0xF5, 0x01, FaultKind::Busy));
    EXPECT_FALSE(rig.vendor->WriteModelRecord(0x05, 0x02, 4, true));
    EXPECT_EQ(CountDriveChanges(rig.Trace()), 0u);
}

TEST(CheckHardwareVariantTest, DecidesFromBufferModelCodeAndPageCount) {
    struct Case {
        const char* name;
        uint16_t bufferKb;
        uint8_t oemCode;
        uint32_t pages;
        uint8_t storedCode;
        bool result;
        size_t recordReads;
    };
    const Case cases[] = {
        {"base, 127 pages", 4096, 0x00, 127, 0x00, true, 1},
        {"base, 128 pages", 4096, 0x00, 128, 0x00, false, 0},
        {"base, 300 pages", 4096, 0x00, 300, 0x00, false, 0},
        {"large buffer, base", 8192, 0x00, 128, 0x05, true, 0},
        {"large buffer, 0x05", 8192, 0x05, 55, 0x05, false, 0},
        {"large buffer, 0x30", 8192, 0x30, 55, 0x30, false, 0},
        {"0x05 on a 0x05 drive", 4096, 0x05, 55, 0x05, true, 1},
        {"0x05 on a 0x30 drive", 4096, 0x05, 55, 0x30, false, 1},
        {"0x30 on a 0x30 drive", 4096, 0x30, 55, 0x30, true, 1},
        {"0x30 on a base drive", 4096, 0x30, 55, 0x00, false, 1},
        {"any other code", 4096, 0x07, 200, 0x00, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DriveRig rig;
        rig.Drive().Vendor().bufferSizeKb = c.bufferKb;
        rig.Drive().Vendor().recordAt24 = {c.storedCode, 0, 0, 0};
        EXPECT_EQ(rig.vendor->CheckHardwareVariant(c.pages, c.oemCode), c.result);
        EXPECT_EQ(CountOpcode(rig.Trace(), 0xF5), c.recordReads);
        EXPECT_EQ(CountDriveChanges(rig.Trace()), 0u);
    }
}

TEST(FinishModelRecordsTest, WritesBothRecordsWithTheMarkClear) {
    DriveRig rig;
    rig.Drive().Vendor().recordAt02 = {0x00, 0x51, 0x11, 0x22};
    rig.Drive().Vendor().recordAt24 = {0x00, 0x51, 0x33, 0x44};
    EXPECT_TRUE(rig.vendor->FinishModelRecords(0x105));
    EXPECT_EQ(rig.Drive().Vendor().recordAt02, (Record{0x05, 0x00, 0x11, 0x22}));
    EXPECT_EQ(rig.Drive().Vendor().recordAt24, (Record{0x05, 0x00, 0x33, 0x44}));
    EXPECT_FALSE(rig.Drive().Vendor().UpdateMarked());
}

TEST(FinishModelRecordsTest, StopsAtTheFirstFailedWrite) {
    DriveRig rig;
    rig.Drive().Vendor().recordAt24 = {0x00, 0x51, 0x33, 0x44};
    rig.Drive().AddFault(Fault{0xF5, 0x03, 1, FaultKind::TransportFailure, {}});
    EXPECT_FALSE(rig.vendor->FinishModelRecords(0x05));
    EXPECT_EQ(rig.Drive().Vendor().recordAt24, (Record{0x00, 0x51, 0x33, 0x44}));
    EXPECT_EQ(rig.Drive().Vendor().recordWrites, 0u);
}

TEST(EjectMediumTest, OpensTheTrayAndCountsOnlyOk) {
    DriveRig rig({VirtualDriveSetup{.discPresent = true}});
    EXPECT_TRUE(rig.vendor->EjectMedium());
    EXPECT_TRUE(rig.vendor->WaitUntilReady());  // medium not present now
    EXPECT_EQ(rig.Drive().Vendor().ejects, 1u);

    DriveRig refused;
    refused.Drive().AddFault(Every(0x1B, std::nullopt, FaultKind::TimeOut));
    EXPECT_FALSE(refused.vendor->EjectMedium());
}

}  // namespace
}  // namespace flashtool
