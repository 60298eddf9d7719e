// The ASPI back-end, through the transport and a fake ASPI library.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Bytes.h"
#include "transport/windows/AspiBlocks.h"
#include "windows/WindowsRig.h"

namespace flashtool {
namespace {

using testing::AspiAnswer;
using testing::AspiRig;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using testing::FakeAdapter;
using testing::FakeTarget;
using ::testing::IsEmpty;

const char kDrive[] = "KESTREL DVD-RW KR-2280  1.07";
const char kLibraryPath[] = "LoadLibraryA C:\\WINDOWS\\SYSTEM\\WNASPI32.DLL";
const std::string kCantLoad = "Can't load WNASPI32.DLL!!";

// The target ids probed on each adapter, in order.
std::map<uint8_t, std::vector<uint8_t>> ProbedTargets(const AspiRig& rig) {
    std::map<uint8_t, std::vector<uint8_t>> probed;
    for (const auto& block : rig.api->requestBlocks) {
        if (block[kSrbCmdOffset] == kScGetDevType) {
            probed[block[kSrbHaIdOffset]].push_back(block[kGdevTargetOffset]);
        }
    }
    return probed;
}

TEST(AspiLoadTest, SupportInfoStatusDecidesWhetherTheLibraryIsUsable) {
    struct Case {
        uint32_t supportInfo;
        bool loads;
        int32_t adapters;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {0x0102, true, 2, {}},  // SS_COMP, two adapters
        {0xE800, true, 0, {}},  // SS_NO_ADAPTERS
        {0x0401, false, 0, {"Unexpected ASPI Failure", kCantLoad}},
        {0xE900, false, 0, {"Unexpected ASPI Failure", kCantLoad}},
    };
    for (const Case& c : cases) {
        AspiRig rig;
        rig.api->supportInfo = c.supportInfo;
        EXPECT_EQ(rig.Load(), c.loads) << std::hex << c.supportInfo;
        EXPECT_EQ(rig.notifier.messages, c.messages);
        EXPECT_EQ(rig.backend->AdapterCount(), c.adapters);
        EXPECT_THAT(rig.CallsTo("LoadLibraryA"), ElementsAre(kLibraryPath));
        if (c.loads) {
            // The fake's adapters do not answer: one inquiry each, then nothing more.
            EXPECT_EQ(rig.transport->ScanDevices(), 0);
            EXPECT_EQ(rig.api->requestBlocks.size(), static_cast<size_t>(c.adapters));
        }
        rig.transport->Release();
        EXPECT_FALSE(rig.api->libraryLoaded);
    }
}

TEST(AspiLoadTest, LoadsOnlyFromTheSystemFolderAndFreesWhatItLoaded) {
    struct Case {
        const char* what;
        bool installed;
        std::string systemDirectory;
        std::set<std::string> exports;
        std::vector<std::string> loads;
    };
    const Case cases[] = {
        {"library missing",
         false,
         "C:\\WINDOWS\\SYSTEM",
         {"GetASPI32SupportInfo", "SendASPI32Command"},
         {kLibraryPath}},
        {"entry point missing",
         true,
         "C:\\WINDOWS\\SYSTEM",
         {"GetASPI32SupportInfo"},
         {kLibraryPath}},
        {"system folder unknown", true, "", {"GetASPI32SupportInfo", "SendASPI32Command"}, {}},
    };
    for (const Case& c : cases) {
        AspiRig rig;
        rig.api->supportInfo = 0x0101;
        rig.api->aspiInstalled = c.installed;
        rig.api->systemDirectory = c.systemDirectory;
        rig.api->exports = c.exports;
        EXPECT_FALSE(rig.Load()) << c.what;
        EXPECT_THAT(rig.notifier.messages, ElementsAre(kCantLoad)) << c.what;
        EXPECT_EQ(rig.CallsTo("LoadLibraryA"), c.loads) << c.what;
        EXPECT_THAT(rig.CallsTo("GetASPI32SupportInfo"), IsEmpty()) << c.what;
        rig.transport->Release();
        EXPECT_FALSE(rig.api->libraryLoaded) << c.what;
        EXPECT_EQ(rig.CallsTo("FreeLibrary").size(), c.installed && !c.loads.empty() ? 1u : 0u)
            << c.what;
    }
}

TEST(AspiScanTest, ProbesTheTargetsEachAdapterReportsAndKeepsCdDevices) {
    AspiRig rig;
    rig.api->supportInfo = 0x0104;
    rig.api->adapters = {
        FakeAdapter{true, 16, {{3, FakeTarget{0, kDrive}}, {12, FakeTarget{5, kDrive}}}},
        FakeAdapter{true, 0, {{5, FakeTarget{5, kDrive}}, {6, FakeTarget{5, ""}}}},
        FakeAdapter{true, 7, {{9, FakeTarget{5, kDrive}}}},   // beyond the 8 targets probed
        FakeAdapter{false, 8, {{0, FakeTarget{5, kDrive}}}},  // does not answer
    };
    ASSERT_TRUE(rig.Load());

    ASSERT_EQ(rig.transport->ScanDevices(), 2);
    EXPECT_EQ(rig.transport->Device(0).hostAdapter, 0);
    EXPECT_EQ(rig.transport->Device(0).target, 12);
    EXPECT_EQ(rig.transport->Device(1).hostAdapter, 1);
    EXPECT_EQ(rig.transport->Device(1).target, 5);
    EXPECT_EQ(rig.Describe(1), kDrive);

    const std::vector<uint8_t> upTo16 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const std::vector<uint8_t> upTo8 = {0, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(ProbedTargets(rig),
              (std::map<uint8_t, std::vector<uint8_t>>{{0, upTo16}, {1, upTo8}, {2, upTo8}}));

    // Three INQUIRYs of 36 bytes: adapter 0 target 12, adapter 1 targets 5 and 6.
    std::vector<std::vector<uint8_t>> inquiries;
    for (const auto& block : rig.api->requestBlocks) {
        if (block[kSrbCmdOffset] == kScExecScsiCmd) {
            inquiries.push_back(block);
        }
    }
    ASSERT_EQ(inquiries.size(), 3u);
    const auto& first = inquiries[0];
    EXPECT_EQ(LittleEndian32At(first, kExecBufLenOffset), 36u);
    EXPECT_THAT(std::vector<uint8_t>(first.begin() + kNativeAspiExecLayout.cdbOffset,
                                     first.begin() + kNativeAspiExecLayout.cdbOffset + 6),
                ElementsAre(0x12, 0, 0, 0, 36, 0));
}

// The data buffer an SRB_ExecSCSICmd block points at.
const uint8_t* BufferOf(const std::vector<uint8_t>& block) {
    uint64_t address = 0;
    for (size_t i = 0; i < kNativeAspiExecLayout.pointerSize; ++i) {
        address |= uint64_t{block[kExecBufPointerOffset + i]} << (8 * i);
    }
    return reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(address));
}

// A rig with one CD/DVD device at adapter 1, target 3, already scanned.
struct AspiFixture : ::testing::Test {
    AspiRig rig;
    std::array<uint8_t, 64> buffer{};
    const std::array<uint8_t, 12> cdb = {0xF5, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x00, 0x00, 0x00, 0x01};

    void SetUp() override {
        rig.api->supportInfo = 0x0102;
        rig.api->adapters = {FakeAdapter{true, 8, {}},
                             FakeAdapter{true, 8, {{3, FakeTarget{5, kDrive}}}}};
        ASSERT_TRUE(rig.Load());
        ASSERT_EQ(rig.transport->ScanDevices(), 1);
        rig.api->requestBlocks.clear();
        rig.api->calls.clear();
    }
    ExecResult Send(DataDirection direction = DataDirection::In, uint32_t timeout = 15) {
        return rig.transport->Execute(cdb, direction, buffer.data(), 64, timeout).result;
    }
};

TEST_F(AspiFixture, RequestCarriesTheFlagsWithAndWithoutAnEvent) {
    struct Case {
        DataDirection direction;
        bool event;
        uint8_t flags;
    };
    const Case cases[] = {{DataDirection::In, true, 0x48},   {DataDirection::Out, true, 0x50},
                          {DataDirection::None, true, 0x40}, {DataDirection::In, false, 0x08},
                          {DataDirection::Out, false, 0x10}, {DataDirection::None, false, 0x00}};
    const AspiExecLayout& layout = kNativeAspiExecLayout;
    for (const Case& c : cases) {
        rig.api->eventsAvailable = c.event;
        rig.api->requestBlocks.clear();
        ASSERT_EQ(Send(c.direction), ExecResult::Ok);
        ASSERT_EQ(rig.api->requestBlocks.size(), 1u);
        const auto& block = rig.api->requestBlocks[0];
        const std::string where = "flags " + std::to_string(c.flags);
        EXPECT_EQ(block[kSrbFlagsOffset], c.flags) << where;
        EXPECT_EQ(block[kSrbHaIdOffset], 1) << where;
        EXPECT_EQ(block[kExecTargetOffset], 3) << where;
        EXPECT_EQ(block[layout.senseLenOffset], 14) << where;
        EXPECT_EQ(block[layout.cdbLenOffset], 12) << where;
        EXPECT_EQ(block[layout.cdbOffset], 0xF5) << where;
        EXPECT_EQ(block[layout.cdbOffset + 11], 0x01) << where;
        const bool data = c.direction != DataDirection::None;
        EXPECT_EQ(LittleEndian32At(block, kExecBufLenOffset), data ? 64u : 0u) << where;
        const uint64_t postProc =
            block[layout.postProcOffset] | (uint64_t{block[layout.postProcOffset + 1]} << 8);
        EXPECT_EQ(postProc != 0, c.event) << where;
        EXPECT_THAT(rig.api->openHandles, IsEmpty()) << "the event is closed: " << where;
    }
}

TEST_F(AspiFixture, PendingRequestWithAnEventIsAwaitedOnIt) {
    rig.api->aspiAnswers = {AspiAnswer::Pending(true)};
    EXPECT_EQ(Send(DataDirection::In, 200), ExecResult::Ok);
    // The caller's 200 s and 15 s more.
    EXPECT_THAT(rig.CallsTo("WaitForSingleObject"), ElementsAre(EndsWith(" 215000")));
    EXPECT_THAT(rig.clock.record.Sleeps(), IsEmpty());
    EXPECT_THAT(rig.api->openHandles, IsEmpty());
}

TEST_F(AspiFixture, PendingRequestWithoutAnEventIsPolledWithPausesUntilComplete) {
    rig.api->eventsAvailable = false;
    rig.api->aspiAnswers = {AspiAnswer::Pending(true)};
    rig.clock.onSleep = [this](size_t sleeps) {
        if (sleeps == 3) {
            rig.api->CompletePending();
        }
    };
    EXPECT_EQ(Send(), ExecResult::Ok);
    EXPECT_THAT(rig.clock.record.Sleeps(), ElementsAre(10, 10, 10));
}

TEST_F(AspiFixture, RequestTheLayerNeverCompletesTimesOutAndHoldsItsBlockUntilReleased) {
    for (const bool event : {true, false}) {
        rig.api->eventsAvailable = event;
        rig.api->aspiAnswers = {AspiAnswer::Pending(false)};
        const uint64_t pausedBefore = rig.clock.record.TotalMs();
        EXPECT_EQ(Send(DataDirection::In, 15), ExecResult::TimedOut);
        // Polled for the caller's 15 s and 15 s more.
        EXPECT_EQ(rig.clock.record.TotalMs() - pausedBefore, event ? 0u : 30000u);

        const size_t sent = rig.api->requestBlocks.size();
        EXPECT_EQ(Send(), ExecResult::Failed) << "the block still belongs to the layer";
        EXPECT_EQ(rig.api->requestBlocks.size(), sent);

        rig.api->CompletePending();
        EXPECT_EQ(Send(), ExecResult::Ok);
        EXPECT_THAT(rig.api->openHandles, IsEmpty()) << "the old event is closed too";
    }
}

TEST_F(AspiFixture, DataReachesTheCallerThroughTheRequestsOwnBuffer) {
    buffer.fill(0x3E);
    ASSERT_EQ(Send(DataDirection::Out), ExecResult::Ok);
    const uint8_t* sent = BufferOf(rig.api->requestBlocks.back());
    EXPECT_NE(sent, buffer.data());
    EXPECT_EQ(std::count(sent, sent + 64, 0x3E), 64) << "the caller's data went out";

    AspiAnswer answer;
    answer.dataIn.assign(64, 0x5C);
    rig.api->aspiAnswers = {answer};
    ASSERT_EQ(Send(DataDirection::In), ExecResult::Ok);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x5C), 64);
}

TEST_F(AspiFixture, ARequestThatCompletesAfterItsTimeOutNeverWritesTheCallersBuffer) {
    for (const bool event : {true, false}) {
        rig.api->eventsAvailable = event;
        buffer.fill(0xAA);
        AspiAnswer late = AspiAnswer::Pending(false);
        late.dataIn.assign(64, 0x5C);
        rig.api->aspiAnswers = {late};
        ASSERT_EQ(Send(), ExecResult::TimedOut);
        const uint8_t* owned = BufferOf(rig.api->requestBlocks.back());
        ASSERT_NE(owned, buffer.data());

        // The caller has its buffer back; the layer completes the request only now.
        rig.api->CompletePending();
        EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xAA), 64) << "event " << event;
        EXPECT_EQ(std::count(owned, owned + 64, 0x5C), 64) << "event " << event;

        AspiAnswer next;
        next.dataIn.assign(64, 0x61);
        rig.api->aspiAnswers = {next};
        EXPECT_EQ(Send(), ExecResult::Ok);
        EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x61), 64) << "event " << event;
    }
}

TEST_F(AspiFixture, LibraryStaysLoadedWhileARequestIsInFlight) {
    rig.api->aspiAnswers = {AspiAnswer::Pending(false)};
    EXPECT_EQ(Send(), ExecResult::TimedOut);
    rig.transport->Release();
    EXPECT_TRUE(rig.api->libraryLoaded);
    EXPECT_THAT(rig.CallsTo("FreeLibrary"), IsEmpty());
    rig.api->CompletePending();
}

TEST_F(AspiFixture, IncompleteRequestsMapToResultsWithTheirSenseArea) {
    std::vector<uint8_t> unitAttention(14, 0);
    unitAttention[0] = 0x70;
    unitAttention[2] = 0x06;
    unitAttention[12] = 0x29;
    std::vector<uint8_t> mediumError = unitAttention;
    mediumError[2] = 0x03;
    mediumError[12] = 0x11;
    std::vector<uint8_t> stale(14, 0);  // no valid response code: read as it stands
    stale[2] = 0xF4;
    stale[12] = 0x3A;
    struct Case {
        const char* what;
        AspiAnswer answer;
        ExecResult result;
        uint8_t senseKey;
        uint8_t asc;
    };
    const Case cases[] = {
        {"complete", AspiAnswer{}, ExecResult::Ok, 0, 0},
        {"adapter time-out", AspiAnswer::Error(0x09, 0, unitAttention), ExecResult::TimedOut, 6,
         0x29},
        {"check condition", AspiAnswer::Error(0, 0x02, mediumError), ExecResult::Failed, 3, 0x11},
        {"selection time-out", AspiAnswer::Error(0x11, 0), ExecResult::Failed, 0, 0},
        {"data overrun", AspiAnswer::Error(0x12, 0, stale), ExecResult::Failed, 4, 0x3A},
        {"refused at once", AspiAnswer::RefusedAtOnce(0x80), ExecResult::Failed, 0, 0},
    };
    for (const Case& c : cases) {
        rig.api->aspiAnswers = {c.answer};
        EXPECT_EQ(Send(), c.result) << c.what;
        EXPECT_EQ(rig.transport->LastSenseKey(), c.senseKey) << c.what;
        EXPECT_EQ(rig.transport->LastAsc(), c.asc) << c.what;
    }
    EXPECT_THAT(rig.clock.record.Sleeps(), IsEmpty());
}

}  // namespace
}  // namespace flashtool
