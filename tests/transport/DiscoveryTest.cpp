// Device discovery on virtual drives.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <system_error>

#include "core/Diagnostics.h"
#include "emulator/EmulatedBackend.h"
#include "support/ScriptedBackend.h"
#include "transport/ScsiTransport.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;

struct Rig {
    CapturedDiagnostics diagnostics;
    testing::RecordingNotifier notifier;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    EmulatedBackend* backend = nullptr;
    std::unique_ptr<ScsiTransport> transport;

    explicit Rig(std::vector<VirtualDriveSetup> setups) {
        for (auto& setup : setups) {
            drives.push_back(std::make_shared<VirtualDrive>(setup));
        }
    }
    void Build() {
        auto owned = std::make_unique<EmulatedBackend>(drives, diagnostics);
        backend = owned.get();
        transport = std::make_unique<ScsiTransport>(std::move(owned), notifier);
        transport->LoadBackend();
    }
    std::string Describe(uint8_t row) {
        std::array<char, 50> text{};
        transport->SelectDevice(row);
        EXPECT_TRUE(transport->DescribeSelected(text));
        return text.data();
    }
};

VirtualDriveSetup Drive(std::string id, std::string revision) {
    return VirtualDriveSetup{std::move(id), std::move(revision), "", false};
}

TEST(DiscoveryTest, NoDriveLeavesNothingSelected) {
    Rig rig({});
    rig.Build();
    EXPECT_EQ(rig.transport->ScanDevices(), 0);
    EXPECT_EQ(rig.transport->Selected(), 255);
    std::array<char, 50> text{};
    EXPECT_FALSE(rig.transport->DescribeSelected(text));
}

TEST(DiscoveryTest, ThreeDrivesFillRowsInOrderAndSelectTheFirst) {
    Rig rig({Drive("ORIN    DVD RW QV-5500A ", "1.0d"), Drive("KESTREL DVD-ROM KD-1650 ", "0113"),
             Drive("ORIN    DVD RW QV-5520A ", "2.1b")});
    rig.Build();
    EXPECT_EQ(rig.transport->ScanDevices(), 3);
    EXPECT_EQ(rig.transport->Selected(), 0);
    EXPECT_EQ(rig.Describe(0), "ORIN    DVD RW QV-5500A 1.0d");
    EXPECT_EQ(rig.Describe(1), "KESTREL DVD-ROM KD-1650 0113");
    EXPECT_EQ(rig.Describe(2), "ORIN    DVD RW QV-5520A 2.1b");
}

TEST(DiscoveryTest, SendsTheInquiryExactlyAsGiven) {
    Rig rig({Drive("ORIN    DVD RW QV-5500A ", "1.0d")});
    rig.Build();
    rig.transport->ScanDevices();
    const auto& trace = rig.drives[0]->Trace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_THAT(trace[0].cdb, ElementsAre(0x12, 0, 0, 0, 56, 0));
    EXPECT_EQ(trace[0].direction, DataDirection::In);
    EXPECT_EQ(trace[0].length, 56u);
    EXPECT_THAT(rig.diagnostics.Text(),
                ::testing::StartsWith("vdrive 0: 12 00 00 00 38 00 | in 56 crc32="));
}

TEST(DiscoveryTest, ADriveWhoseInquiryFailsLeavesNoRowAndIsClosed) {
    Rig rig({Drive("ORIN    DVD RW QV-5500A ", "1.0d"), Drive("KESTREL DVD-ROM KD-1650 ", "0113"),
             Drive("ORIN    DVD RW QV-5520A ", "2.1b")});
    rig.drives[1]->AddFault(Fault{0x12, std::nullopt, 1, FaultKind::TimeOut, {}});
    rig.Build();
    EXPECT_EQ(rig.transport->ScanDevices(), 2);
    EXPECT_EQ(rig.Describe(1), "ORIN    DVD RW QV-5520A 2.1b");
    EXPECT_EQ(rig.backend->OpenDevices(), 2u);
    EXPECT_EQ(rig.transport->Device(2).handle, 0);
}

TEST(DiscoveryTest, EachDriveThatDoesNotAnswerIsKeptWithItsNameAndWhatFailed) {
    testing::RecordingNotifier notifier;
    auto owned = std::make_unique<testing::ScriptedBackend>();
    auto* backend = owned.get();
    // A drive with nodes, one known by adapter and target, one by its handle alone; each
    // of the drives between them answers.
    backend->candidates = {DeviceAddress{1, 0, 0}, DeviceAddress{2, 0, 0}, DeviceAddress{0, 1, 3},
                           DeviceAddress{4, 0, 0}, DeviceAddress{5, 0, 0}, DeviceAddress{6, 0, 0},
                           DeviceAddress{7, 0, 0}};
    backend->nodeNames[1] = {"/dev/sg4", "/dev/sr1"};
    backend->outcomes = {PassThroughOutcome::CheckCondition({0x05, 0x24, 0x00}),
                         PassThroughOutcome::Good(),
                         PassThroughOutcome::TimedOut(),
                         PassThroughOutcome::Good(),
                         PassThroughOutcome::TransportFailure(),
                         PassThroughOutcome::OsFailure(13),
                         PassThroughOutcome::Status(kStatusReservationConflict)};
    ScsiTransport transport(std::move(owned), notifier);
    EXPECT_EQ(transport.ScanDevices(), 2);
    EXPECT_TRUE(transport.ScanMissedDrives());
    EXPECT_THAT(
        transport.UnansweredDrives(),
        ElementsAre(
            UnansweredDrive{"/dev/sg4", "it ended with CHECK CONDITION, sense 05/24/00"},
            UnansweredDrive{"host adapter 1, target 3", "it timed out"},
            UnansweredDrive{"drive 4 of the scan", "the host adapter or its driver failed it"},
            // The system names its own error, in its own words on each platform.
            UnansweredDrive{"drive 5 of the scan", "the system refused to pass it on: " +
                                                       std::system_category().message(13) +
                                                       " (error 13)"},
            UnansweredDrive{"drive 6 of the scan", "it ended with SCSI status 18h"}));
    // Nobody was told: the window's tree simply leaves them out, as before.
    EXPECT_TRUE(notifier.messages.empty());

    // A later scan in which every drive answers has nothing missing.
    EXPECT_EQ(transport.ScanDevices(), 7);
    EXPECT_TRUE(transport.UnansweredDrives().empty());
    EXPECT_FALSE(transport.ScanMissedDrives());
}

TEST(DiscoveryTest, AZeroByteInsideTheIdentificationEndsTheDescription) {
    Rig rig({Drive(std::string("ORIN\0   DVD RW QV-5500A ", 24), "1.0d")});
    rig.Build();
    rig.transport->ScanDevices();
    EXPECT_EQ(rig.Describe(0), "ORIN1.0d");
}

// Rows are numbered in 8 bits: a system with more drives gets the first 255, and is told
// that the others were left alone (nothing sent to them); with exactly 255 nothing is said.
TEST(DiscoveryTest, MoreDrivesThanTheRowsTakeAreLeftAloneAndTheUserIsTold) {
    for (const size_t count : {size_t{255}, size_t{258}}) {
        SCOPED_TRACE(count);
        std::vector<VirtualDriveSetup> setups;
        for (size_t i = 0; i < count; ++i) {
            setups.push_back(Drive("KESTREL DVD-ROM KD-1650 ", std::to_string(1000 + i)));
        }
        Rig rig(setups);
        rig.Build();
        EXPECT_EQ(rig.transport->ScanDevices(), 255);
        EXPECT_EQ(rig.Describe(254), "KESTREL DVD-ROM KD-1650 1254");
        EXPECT_EQ(rig.backend->OpenDevices(), 255u);
        for (size_t i = 255; i < count; ++i) {
            EXPECT_TRUE(rig.drives[i]->Trace().empty()) << i;
        }
        const bool more = count > 255;
        EXPECT_EQ(rig.transport->DrivesLeftOut(), more);
        EXPECT_EQ(rig.transport->ScanMissedDrives(), more);
        ASSERT_EQ(rig.notifier.messages.size(), more ? 1u : 0u);
        if (more) {
            EXPECT_THAT(rig.notifier.messages[0],
                        ::testing::StartsWith("More drives were found than the 255 this program "
                                              "can use at once"));
        }
        // The rows past the last hold nothing, and nothing is sent to them.
        EXPECT_EQ(rig.transport->Device(255).handle, 0);
        EXPECT_FALSE(rig.transport->DeviceAt(255).has_value());
    }
}

TEST(DiscoveryTest, ASecondScanClosesTheHandlesOfTheFirst) {
    testing::RecordingNotifier notifier;
    auto owned = std::make_unique<testing::ScriptedBackend>();
    auto* backend = owned.get();
    backend->candidates = {DeviceAddress{5, 0, 0}};
    ScsiTransport transport(std::move(owned), notifier);
    transport.ScanDevices();
    transport.ScanDevices();
    EXPECT_THAT(backend->closed, ElementsAre(5));
}

}  // namespace
}  // namespace flashtool
