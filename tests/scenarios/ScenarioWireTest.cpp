// Drives read from scenario text, reached through the transport and the emulated back-end
// as the program reaches them: each fault kind as the host sees it and as the trace line
// shows it, waits taken on the clock, and the eight rows of discovery.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "core/Diagnostics.h"
#include "core/Format.h"
#include "emulator/EmulatedBackend.h"
#include "emulator/Scenario.h"
#include "support/ScriptedBackend.h"
#include "transport/ScsiTransport.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::string kTarget =
    R"("identification": "ORIN    DVD RW QV-5500A ", "revision": "1.0d", "oemTag": "ORIN      QZ   ")";
const std::vector<uint8_t> kTestUnitReady{0, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kInquiry36{0x12, 0, 0, 0, 36, 0};
constexpr const char* kTurLine = "vdrive 0: 00 00 00 00 00 00 | none 0 crc32=00000000 | ";

// The program's path to virtual drives described by a scenario: transport, emulated
// back-end, trace lines; the drives' waits on a fake clock.
struct WireRig {
    explicit WireRig(const std::string& drivesJson) {
        const ScenarioReading reading =
            ReadScenario("t.json", R"({"drives": [)" + drivesJson + "]}");
        EXPECT_TRUE(reading.Ok()) << reading.error;
        drives = BuildDrives(reading.drives, &clock);
        transport = std::make_unique<ScsiTransport>(
            std::make_unique<EmulatedBackend>(drives, diagnostics), notifier);
        transport->LoadBackend();
        found = transport->ScanDevices();
        diagnostics.Clear();
        sleepsBefore = clock.Sleeps().size();
    }
    ExecResult Send(const std::vector<uint8_t>& cdb, DataDirection direction = DataDirection::None,
                    std::vector<uint8_t>* data = nullptr) {
        return transport
            ->Execute(cdb, direction, data ? data->data() : nullptr,
                      data ? static_cast<uint32_t>(data->size()) : 0, 15)
            .result;
    }
    // The pauses taken since discovery.
    std::vector<uint32_t> Sleeps() const {
        const auto all = clock.Sleeps();
        return {all.begin() + static_cast<ptrdiff_t>(sleepsBefore), all.end()};
    }

    FakeClock clock;
    CapturedDiagnostics diagnostics;
    testing::RecordingNotifier notifier;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    std::unique_ptr<ScsiTransport> transport;
    uint8_t found = 0;
    size_t sleepsBefore = 0;
};

struct WireCase {
    std::string name;
    std::string fields;  // of the target, after its identity
    ExecResult result;
    std::string shown;  // the trace line's result
    uint8_t senseKey;
    uint8_t asc;
    std::vector<uint32_t> sleeps;
};

TEST(ScenarioWireTest, EachFaultReachesTheHostAndTheTraceAsInjected) {
    const std::string disc = R"("disc": "present", )";
    const std::vector<WireCase> cases = {
        {"no fault, disc in", disc + R"("faults": [])", ExecResult::Ok, "ok", 0, 0, {}},
        {"no fault, empty tray", R"("faults": [])", ExecResult::Failed, "failed 2/3A", 2, 0x3A, {}},
        {"timeout waits the command's time-out",
         R"("faults": [{"opcode": "00", "result": "timeout"}])",
         ExecResult::TimedOut,
         "timedout",
         0,
         0,
         {15000}},
        {"timeout with a wait of its own",
         R"("faults": [{"opcode": "00", "result": "timeout", "delayMs": 0}])",
         ExecResult::TimedOut,
         "timedout",
         0,
         0,
         {}},
        {"failed",
         R"("faults": [{"opcode": "00", "result": "failed"}])",
         ExecResult::Failed,
         "failed 0/00",
         0,
         0,
         {}},
        {"busy",
         disc + R"("faults": [{"opcode": "00", "result": "busy"}])",
         ExecResult::Failed,
         "failed 0/00",
         0,
         0,
         {}},
        {"check-condition",
         disc + R"("faults": [{"opcode": "00", "result": "check-condition", "sense": "06/28/00"}])",
         ExecResult::Failed,
         "failed 6/28",
         6,
         0x28,
         {}},
        {"delay answers as usual afterwards",
         disc + R"("faults": [{"opcode": "00", "result": "delay", "delayMs": 1500}])",
         ExecResult::Ok,
         "ok",
         0,
         0,
         {1500}},
        {"vanish",
         disc + R"("faults": [{"opcode": "00", "result": "vanish"}])",
         ExecResult::Failed,
         "failed 0/00",
         0,
         0,
         {}},
        // Discovery's INQUIRY is the first command that matches.
        {"every opcode",
         disc + R"("faults": [{"opcode": "*", "occurrence": 2, "result": "busy"}])",
         ExecResult::Failed,
         "failed 0/00",
         0,
         0,
         {}},
        {"another opcode only",
         disc + R"("faults": [{"opcode": "1B", "result": "busy"}])",
         ExecResult::Ok,
         "ok",
         0,
         0,
         {}},
        {"latency, then the fault's wait",
         disc + R"("latencyMs": 40, "faults": [{"opcode": "00", "result": "delay", "delayMs": 7}])",
         ExecResult::Ok,
         "ok",
         0,
         0,
         {40, 7}},
    };
    for (const WireCase& c : cases) {
        WireRig rig("{" + kTarget + ", " + c.fields + "}");
        ASSERT_EQ(rig.found, 1) << c.name;
        EXPECT_EQ(rig.Send(kTestUnitReady), c.result) << c.name;
        EXPECT_EQ(rig.transport->LastSenseKey(), c.senseKey) << c.name;
        EXPECT_EQ(rig.transport->LastAsc(), c.asc) << c.name;
        EXPECT_EQ(rig.diagnostics.Text(), kTurLine + c.shown + "\n") << c.name;
        EXPECT_EQ(rig.Sleeps(), c.sleeps) << c.name;
    }
}

TEST(ScenarioWireTest, AShortAnswerIsGoodWithItsTailZeroAndTheDigestOfWhatArrived) {
    WireRig rig(
        "{" + kTarget +
        R"(, "faults": [{"opcode": "12", "occurrence": 3, "result": "short", "residual": 10}]})");
    // Discovery's INQUIRY was the first; the third is cut.
    std::vector<uint8_t> full(36, 0xEE);
    ASSERT_EQ(rig.Send(kInquiry36, DataDirection::In, &full), ExecResult::Ok);
    std::vector<uint8_t> cut(36, 0xEE);
    ASSERT_EQ(rig.Send(kInquiry36, DataDirection::In, &cut), ExecResult::Ok);
    std::vector<uint8_t> expected = full;
    std::fill(expected.end() - 10, expected.end(), 0x00);
    EXPECT_EQ(cut, expected);
    const auto crc = static_cast<uint32_t>(crc32(0, expected.data(), 36));
    EXPECT_EQ(rig.diagnostics.Text(),
              FormatText("vdrive 0: 12 00 00 00 24 00 | in 36 crc32=%08X | ok\n"
                         "vdrive 0: 12 00 00 00 24 00 | in 36 crc32=%08X | ok\n",
                         static_cast<uint32_t>(crc32(0, full.data(), 36)), crc));
}

TEST(ScenarioWireTest, AShortAnswerToADataOutCommandIsGoodThoughTheDriveTookNothing) {
    WireRig rig(
        "{" + kTarget +
        R"(, "faults": [{"opcode": "F5", "subFunction": "03", "result": "short", "residual": 4}]})");
    std::vector<uint8_t> record{0x30, 0x51, 0x5A, 0xC3};
    const std::vector<uint8_t> write{0xF5, 0x03, 0, 0xA2, 0, 0x02, 0, 4, 0, 0, 0, 0};
    EXPECT_EQ(rig.Send(write, DataDirection::Out, &record), ExecResult::Ok);
    EXPECT_EQ(rig.drives[0]->Vendor().recordWrites, 0u);
    EXPECT_THAT(rig.drives[0]->Vendor().recordAt02, ElementsAre(0x00, 0x00, 0x5A, 0xC3));
    // The next write is not hit and lands.
    EXPECT_EQ(rig.Send(write, DataDirection::Out, &record), ExecResult::Ok);
    EXPECT_THAT(rig.drives[0]->Vendor().recordAt02, ElementsAreArray(record));
}

TEST(ScenarioWireTest, AVanishedDriveFailsEveryLaterCommandAtOnceAndIsNotFoundAgain) {
    WireRig rig(
        "{" + kTarget +
        R"(, "latencyMs": 5, "faults": [{"opcode": "00", "occurrence": 2, "result": "vanish"}]})");
    EXPECT_EQ(rig.Send(kTestUnitReady), ExecResult::Failed);  // the empty tray
    EXPECT_EQ(rig.Send(kTestUnitReady), ExecResult::Failed);  // gone
    std::vector<uint8_t> reply(36);
    EXPECT_EQ(rig.Send(kInquiry36, DataDirection::In, &reply), ExecResult::Failed);
    // The digest is of the host's buffer, which nothing filled.
    EXPECT_EQ(rig.diagnostics.Text(),
              std::string(kTurLine) + "failed 2/3A\n" + kTurLine + "failed 0/00\n" +
                  FormatText("vdrive 0: 12 00 00 00 24 00 | in 36 crc32=%08X | failed 0/00\n",
                             static_cast<uint32_t>(crc32(0, reply.data(), 36))));
    EXPECT_THAT(rig.Sleeps(), ElementsAre(5u, 5u));  // a gone device answers at once
    EXPECT_EQ(rig.transport->ScanDevices(), 0);
}

TEST(ScenarioWireTest, ReadinessConditionsComeBeforeTheTraysSteadyAnswer) {
    WireRig rig("{" + kTarget + R"(, "disc": "present", "readiness": ["06/29/00", "02/04/01"]})");
    EXPECT_EQ(rig.Send(kTestUnitReady), ExecResult::Failed);
    EXPECT_EQ(rig.Send(kTestUnitReady), ExecResult::Failed);
    EXPECT_EQ(rig.Send(kTestUnitReady), ExecResult::Ok);
    EXPECT_EQ(rig.diagnostics.Text(), std::string(kTurLine) + "failed 6/29\n" + kTurLine +
                                          "failed 2/04\n" + kTurLine + "ok\n");
}

TEST(ScenarioWireTest, ScenarioSettingsShapeTheDrivesAnswers) {
    WireRig rig("{" + kTarget +
                R"(, "largeBuffer": false, "flashSize": {"device": "3140", "sizeKb": 513}})");
    std::vector<uint8_t> page(30);
    ASSERT_EQ(rig.Send({0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 30, 0}, DataDirection::In, &page),
              ExecResult::Ok);
    EXPECT_EQ((page[20] << 8) | page[21], 4096);
    std::vector<uint8_t> size(100);
    ASSERT_EQ(rig.Send({0x3C, 0x01, 0, 0, 0, 0, 0, 0, 100, 0}, DataDirection::In, &size),
              ExecResult::Ok);
    EXPECT_THAT(std::vector<uint8_t>(size.begin() + 2, size.begin() + 4), ElementsAre(0x40, 0x31));
    EXPECT_THAT(std::vector<uint8_t>(size.begin() + 10, size.begin() + 12),
                ElementsAre(0x01, 0x02));
    std::vector<uint8_t> inquiry(125);
    ASSERT_EQ(rig.Send({0x12, 0, 0, 0, 125, 0}, DataDirection::In, &inquiry), ExecResult::Ok);
    EXPECT_EQ(std::string(inquiry.begin() + 96, inquiry.begin() + 111), "ORIN      QZ   ");
}

// Nine drives QV-5500A to QV-5508A; the second one does not answer INQUIRY when told so.
std::string NineDrives(bool secondFails) {
    std::string nine;
    for (int i = 0; i < 9; ++i) {
        nine +=
            (i ? ", " : "") + std::string(R"({"identification": "ORIN    DVD RW QV-550)") +
            std::to_string(i) + R"(A ", "revision": "1.0d")" +
            (i == 1 && secondFails ? R"(, "faults": [{"opcode": "12", "result": "failed"}])" : "") +
            "}";
    }
    return nine;
}

std::string Row(ScsiTransport& transport, uint8_t row) {
    std::array<char, 50> text{};
    transport.SelectDevice(row);
    transport.DescribeSelected(text);
    return text.data();
}

TEST(ScenarioWireTest, OfNineDrivesDiscoveryListsEveryOneThatAnswersInOrder) {
    WireRig all(NineDrives(false));
    EXPECT_EQ(all.found, 9);
    EXPECT_EQ(Row(*all.transport, 8), "ORIN    DVD RW QV-5508A 1.0d");

    // When the second drive does not answer, the ones after it move up a row: no gap.
    WireRig oneSilent(NineDrives(true));
    ASSERT_EQ(oneSilent.found, 8);
    EXPECT_EQ(Row(*oneSilent.transport, 1), "ORIN    DVD RW QV-5502A 1.0d");
    EXPECT_EQ(Row(*oneSilent.transport, 7), "ORIN    DVD RW QV-5508A 1.0d");
}

}  // namespace
}  // namespace flashtool
