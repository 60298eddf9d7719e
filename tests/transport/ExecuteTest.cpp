// The Execute contract of ScsiTransport, through a scripted back-end.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/ScriptedBackend.h"
#include "transport/ScsiTransport.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;
using testing::RecordingNotifier;
using testing::ScriptedBackend;

struct TransportFixture : ::testing::Test {
    RecordingNotifier notifier;
    ScriptedBackend* backend = nullptr;
    std::unique_ptr<ScsiTransport> transport;

    void SetUp() override {
        auto owned = std::make_unique<ScriptedBackend>();
        backend = owned.get();
        backend->candidates = {DeviceAddress{11, 0, 0}, DeviceAddress{12, 0, 0}};
        transport = std::make_unique<ScsiTransport>(std::move(owned), notifier);
        ASSERT_TRUE(transport->LoadBackend());
        ASSERT_EQ(transport->ScanDevices(), 2);
        backend->requests.clear();
    }

    ExecResult Send(std::vector<uint8_t> cdb, DataDirection direction = DataDirection::None) {
        std::array<uint8_t, 64> buffer{};
        return transport
            ->Execute(cdb, direction, buffer.data(), direction == DataDirection::None ? 0 : 64,
                      kShortCommandTimeout)
            .result;
    }
};

TEST(CdbLengthTest, FollowsTheOperationCodeGroup) {
    struct Case {
        uint8_t opcode;
        size_t length;
    };
    const Case cases[] = {{0x00, 6},  {0x12, 6},  {0x1F, 6},  {0x28, 10}, {0x3B, 10}, {0x5A, 10},
                          {0x5F, 10}, {0x60, 12}, {0x7F, 12}, {0x88, 16}, {0x9F, 16}, {0xA8, 12},
                          {0xC0, 12}, {0xF2, 12}, {0xF5, 12}, {0xFA, 12}, {0xFD, 12}, {0xFF, 12}};
    for (const Case& c : cases) {
        EXPECT_EQ(CdbLength(c.opcode), c.length) << "opcode " << int(c.opcode);
    }
}

TEST_F(TransportFixture, SendsExactlyTheLengthOfTheGroupFromALongerBuffer) {
    std::array<uint8_t, 16> cdb{};
    cdb.fill(0xEE);
    for (const uint8_t opcode : {0x00, 0x5A, 0xFD, 0x88}) {
        cdb[0] = opcode;
        transport->Execute(cdb, DataDirection::None, nullptr, 0, 15);
        EXPECT_EQ(backend->requests.back().cdb.size(), CdbLength(opcode));
    }
}

TEST_F(TransportFixture, ACdbShorterThanItsGroupIsNotSent) {
    EXPECT_EQ(Send({0xFD, 0xF1, 0x54}), ExecResult::Failed);
    EXPECT_EQ(Send({}), ExecResult::Failed);
    EXPECT_TRUE(backend->requests.empty());
}

TEST_F(TransportFixture, PassesDirectionBufferLengthAndTimeout) {
    std::array<uint8_t, 8> buffer{};
    const std::array<uint8_t, 6> cdb{0x12, 0, 0, 0, 8, 0};
    struct Case {
        DataDirection given;
        DataDirection sent;
        bool hasBuffer;
        uint32_t length;
    };
    const Case cases[] = {{DataDirection::In, DataDirection::In, true, 8},
                          {DataDirection::Out, DataDirection::Out, true, 8},
                          {DataDirection::None, DataDirection::None, false, 0},
                          {static_cast<DataDirection>(7), DataDirection::None, false, 0}};
    for (const Case& c : cases) {
        transport->Execute(cdb, c.given, buffer.data(), 8, 200);
        const auto& sent = backend->requests.back();
        EXPECT_EQ(sent.direction, c.sent);
        EXPECT_EQ(sent.hasBuffer, c.hasBuffer);
        EXPECT_EQ(sent.length, c.length);
        EXPECT_EQ(sent.timeoutSeconds, 200u);
        EXPECT_EQ(sent.device.handle, 11);
    }
}

TEST_F(TransportFixture, MapsOutcomesToTheContractAndCapturesSense) {
    struct Case {
        PassThroughOutcome outcome;
        ExecResult result;
        uint8_t key;
        uint8_t asc;
    };
    const Case cases[] = {
        {PassThroughOutcome::Good(), ExecResult::Ok, 0, 0},
        {PassThroughOutcome::Status(kStatusConditionMet), ExecResult::Ok, 0, 0},
        {PassThroughOutcome::CheckCondition({0x02, 0x3A, 0}), ExecResult::Failed, 2, 0x3A},
        {PassThroughOutcome::CheckCondition({0xF6, 0x29, 0}), ExecResult::Failed, 6, 0x29},
        // BUSY and its kind mean the drive did not carry the command out.
        {PassThroughOutcome::Status(kStatusBusy), ExecResult::Failed, 0, 0},
        {PassThroughOutcome::Status(kStatusReservationConflict), ExecResult::Failed, 0, 0},
        {PassThroughOutcome::TimedOut(), ExecResult::TimedOut, 0, 0},
        {PassThroughOutcome::TransportFailure(), ExecResult::Failed, 0, 0},
        {PassThroughOutcome::OsFailure(1), ExecResult::Failed, 0, 0},
    };
    for (const Case& c : cases) {
        backend->outcomes.push_back(c.outcome);
        EXPECT_EQ(Send({0x00, 0, 0, 0, 0, 0}), c.result);
        EXPECT_EQ(transport->LastSenseKey(), c.key);
        EXPECT_EQ(transport->LastAsc(), c.asc);
    }
}

TEST_F(TransportFixture, SenseIsClearedByTheNextCommand) {
    backend->outcomes.push_back(PassThroughOutcome::CheckCondition({0x05, 0x24, 0}));
    EXPECT_EQ(Send({0x00, 0, 0, 0, 0, 0}), ExecResult::Failed);
    EXPECT_EQ(transport->LastSenseKey(), 5);
    EXPECT_EQ(Send({0x00, 0, 0, 0, 0, 0}), ExecResult::Ok);
    EXPECT_EQ(transport->LastSenseKey(), 0);
    EXPECT_EQ(transport->LastAsc(), 0);
}

TEST_F(TransportFixture, AShortReplyLeavesTheRestOfTheBufferZero) {
    std::array<uint8_t, 16> buffer{};
    backend->reply = [](const ScsiRequest& request) {
        std::fill(request.data, request.data + request.length, 0xAB);
    };
    backend->outcomes.push_back(PassThroughOutcome::Good(6));
    const std::array<uint8_t, 6> cdb{0x12, 0, 0, 0, 16, 0};
    EXPECT_EQ(transport->Execute(cdb, DataDirection::In, buffer.data(), 16, 15), ExecResult::Ok);
    EXPECT_THAT(std::vector<uint8_t>(buffer.begin() + 8, buffer.end()),
                ElementsAre(0xAB, 0xAB, 0, 0, 0, 0, 0, 0));
}

TEST(TransportWithoutSelection, FailsAndSendsNothingKeepingTheOldSense) {
    RecordingNotifier notifier;
    auto owned = std::make_unique<ScriptedBackend>();
    ScriptedBackend* backend = owned.get();
    ScsiTransport transport(std::move(owned), notifier);
    const std::array<uint8_t, 6> tur{};
    EXPECT_EQ(transport.Execute(tur, DataDirection::None, nullptr, 0, 15), ExecResult::Failed);
    EXPECT_EQ(transport.ScanDevices(), 0);
    EXPECT_EQ(transport.Selected(), ScsiTransport::kNoSelection);
    EXPECT_EQ(transport.Execute(tur, DataDirection::None, nullptr, 0, 15), ExecResult::Failed);
    EXPECT_TRUE(backend->requests.empty());
}

TEST_F(TransportFixture, SelectDeviceStaysWithinTheFilledRows) {
    EXPECT_TRUE(transport->SelectDevice(1));
    EXPECT_FALSE(transport->SelectDevice(2));  // equal to deviceCount
    EXPECT_FALSE(transport->SelectDevice(255));
    EXPECT_EQ(transport->Selected(), 1);
    Send({0x00, 0, 0, 0, 0, 0});
    EXPECT_EQ(backend->requests.back().device.handle, 12);
}

TEST(TransportLifecycle, StartsEmptyAndDescribesNothing) {
    RecordingNotifier notifier;
    ScsiTransport transport(std::make_unique<ScriptedBackend>(), notifier);
    EXPECT_EQ(transport.DeviceCount(), 0);
    EXPECT_EQ(transport.Selected(), 255);
    EXPECT_EQ(transport.LastSenseKey(), 0);
    EXPECT_EQ(transport.LastAsc(), 0);
    EXPECT_FALSE(transport.SelectDevice(0));
    std::array<char, 50> text;
    text.fill('x');
    EXPECT_FALSE(transport.DescribeSelected(text));
    EXPECT_EQ(text[0], 'x');  // nothing written
}

TEST(TransportLifecycle, AFailedLoadShowsTheBackendsMessage) {
    RecordingNotifier notifier;
    auto owned = std::make_unique<ScriptedBackend>();
    owned->loadResult = false;
    ScsiTransport transport(std::move(owned), notifier);
    EXPECT_FALSE(transport.LoadBackend());
    EXPECT_THAT(notifier.messages, ElementsAre("load failed"));
}

TEST(TransportLifecycle, ReleaseClosesEveryOpenHandleOnceAndUnloads) {
    RecordingNotifier notifier;
    auto owned = std::make_unique<ScriptedBackend>();
    ScriptedBackend* backend = owned.get();
    backend->candidates = {DeviceAddress{21, 0, 0}, DeviceAddress{22, 0, 0}};
    {
        ScsiTransport transport(std::move(owned), notifier);
        transport.ScanDevices();
        EXPECT_TRUE(transport.Release());
        EXPECT_TRUE(transport.Release());
        EXPECT_THAT(backend->closed, ElementsAre(21, 22));
        EXPECT_TRUE(backend->unloaded);
        backend = nullptr;  // owned by the transport, gone with it
    }
}

}  // namespace
}  // namespace flashtool
