// The scenario reader: every field of the format as it lands in a description, one message
// and no drives for each way a file can be wrong, the shipped files, and the demo file as
// the three drives the demo always had.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "emulator/DemoDrives.h"
#include "emulator/Scenario.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;

constexpr const char* kTarget =
    R"("identification": "ORIN    DVD RW QV-5500A ", "revision": "1.0d")";

// A file with one drive: the target, plus the given fields.
std::string OneDrive(const std::string& fields) {
    return std::string(R"({"drives": [{)") + kTarget + (fields.empty() ? "" : ", ") + fields +
           "}]}";
}

TEST(ScenarioReaderTest, EveryFieldLandsInTheDescription) {
    const ScenarioReading reading = ReadScenario("all.json", R"({
      "description": "every field",
      "drives": [{
        "identification": "ORIN    DVD RW QV-5500A ", "revision": "1.0d",
        "oemTag": "ORIN      QZ   ", "serial": " QV5A0D4G1203", "disc": "present",
        "inquiryHeader": "0580003278000010", "reader": true,
        "readiness": ["06/29/00", "02/04/01"],
        "largeBuffer": false, "checksPageSums": true,
        "flashSize": {"device": "3140", "sizeKb": 513}, "latencyMs": 25,
        "corruptReadBacks": {"first": 3, "count": 2},
        "modelRecords": {"02": "30515ac3", "24": "05005AC3"},
        "faults": [
          {"opcode": "f5", "subFunction": "01", "occurrence": 2, "result": "check-condition",
           "sense": "05/24/00"},
          {"opcode": "*", "occurrence": 0, "result": "timeout"},
          {"opcode": "3C", "result": "short", "residual": 100},
          {"opcode": "00", "result": "delay", "delayMs": 1500},
          {"opcode": "FA", "result": "vanish", "delayMs": 7},
          {"opcode": "12", "result": "busy"},
          {"opcode": "FD", "result": "failed"}
        ]
      }]})");
    ASSERT_TRUE(reading.Ok()) << reading.error;
    ASSERT_EQ(reading.drives.size(), 1u);
    const DriveDescription& drive = reading.drives[0];
    EXPECT_EQ(drive.setup,
              (VirtualDriveSetup{"ORIN    DVD RW QV-5500A ", "1.0d", "ORIN      QZ   ", true}));
    EXPECT_EQ(drive.serial, " QV5A0D4G1203");
    EXPECT_THAT(drive.inquiryHeader, ElementsAre(0x05, 0x80, 0x00, 0x32, 0x78, 0x00, 0x00, 0x10));
    EXPECT_TRUE(drive.reader);
    EXPECT_THAT(drive.readiness, ElementsAre(SenseInfo{6, 0x29, 0}, SenseInfo{2, 4, 1}));
    EXPECT_FALSE(drive.largeBuffer);
    EXPECT_TRUE(drive.checksPageSums);
    EXPECT_EQ(drive.flashSize, (FlashSizeReply{0x40, 0x31, 0x01, 0x02}));
    EXPECT_EQ(drive.latencyMs, 25u);
    EXPECT_EQ(drive.corruptReadBacks, (ReadBackCorruption{3, 2}));
    EXPECT_EQ(drive.recordAt02, (ModelRecord{0x30, 0x51, 0x5A, 0xC3}));
    EXPECT_EQ(drive.recordAt24, (ModelRecord{0x05, 0x00, 0x5A, 0xC3}));
    EXPECT_THAT(drive.faults,
                ElementsAre(Fault{0xF5, 0x01, 2, FaultKind::CheckCondition, {5, 0x24, 0}},
                            Fault{std::nullopt, std::nullopt, 0, FaultKind::TimeOut},
                            Fault{0x3C, std::nullopt, 1, FaultKind::Short, {}, 100},
                            Fault{0x00, std::nullopt, 1, FaultKind::Delay, {}, 0, 1500},
                            Fault{0xFA, std::nullopt, 1, FaultKind::Vanish, {}, 0, 7},
                            Fault{0x12, std::nullopt, 1, FaultKind::Busy},
                            Fault{0xFD, std::nullopt, 1, FaultKind::TransportFailure}));
}

TEST(ScenarioReaderTest, AnOemTagGivenAsBytesKeepsBytesThatAreNotText) {
    const ScenarioReading reading =
        ReadScenario("t.json", OneDrive(R"("oemTagBytes": "4F52494E000000000000515A000000")"));
    ASSERT_TRUE(reading.Ok()) << reading.error;
    EXPECT_EQ(reading.drives.at(0).setup.oemTag, std::string("ORIN\0\0\0\0\0\0QZ\0\0\0", 15));
    // The virtual drive answers them at INQUIRY bytes 96-110, zeros included.
    const auto drives = BuildDrives(reading.drives, nullptr);
    std::array<uint8_t, 125> reply{};
    const std::array<uint8_t, 6> cdb{0x12, 0, 0, 0, 125, 0};
    drives[0]->Handle({cdb, DataDirection::In, reply.data(), 125, 15});
    EXPECT_EQ(std::string(reply.begin() + 96, reply.begin() + 111),
              std::string("ORIN\0\0\0\0\0\0QZ\0\0\0", 15));
}

TEST(ScenarioReaderTest, ModelRecordsBecomeTheVirtualDrivesRecords) {
    const ScenarioReading reading =
        ReadScenario("t.json", OneDrive(R"("modelRecords": {"24": "30005AC3"})"));
    ASSERT_TRUE(reading.Ok()) << reading.error;
    const auto drives = BuildDrives(reading.drives, nullptr);
    EXPECT_THAT(drives[0]->Vendor().recordAt24, ElementsAre(0x30, 0x00, 0x5A, 0xC3));
    EXPECT_THAT(drives[0]->Vendor().recordAt02, ElementsAre(0x00, 0x00, 0x5A, 0xC3));
}

TEST(ScenarioReaderTest, AbsentFieldsTakeTheirDefaults) {
    const ScenarioReading reading = ReadScenario("t.json", OneDrive(""));
    ASSERT_TRUE(reading.Ok()) << reading.error;
    DriveDescription expected;
    expected.setup = {"ORIN    DVD RW QV-5500A ", "1.0d", std::string(15, ' '), false};
    EXPECT_EQ(reading.drives.at(0), expected);
    EXPECT_TRUE(expected.largeBuffer);
    EXPECT_EQ(expected.flashSize, FlashSizeReply{});

    const ScenarioReading none = ReadScenario("t.json", R"({"drives": []})");
    EXPECT_TRUE(none.Ok());
    EXPECT_TRUE(none.drives.empty());
}

struct Malformed {
    std::string text;
    std::string message;
};

TEST(ScenarioReaderTest, AMalformedFileGivesOneMessageAndNoDrives) {
    const std::string good = std::string("{") + kTarget + "}";
    const std::string fault = R"("faults": [{"opcode": "00", )";
    const std::vector<Malformed> cases = {
        {R"({"drives": [)",
         "t.json: line 1, column 13: not valid JSON: syntax error while parsing value - "
         "unexpected end of input; expected '[', '{', or a literal"},
        {"",
         "t.json: line 1, column 1: not valid JSON: syntax error while parsing value - "
         "unexpected end of input; expected '[', '{', or a literal"},
        {R"([])", "t.json: must hold one JSON object"},
        {R"({})", "t.json: drives: missing"},
        {R"({"drives": {}})", "t.json: drives: must be an array"},
        {R"({"drives": [], "drive": []})", "t.json: drive: unknown key"},
        {R"({"description": 5, "drives": []})", "t.json: description: must be a string"},
        {R"({"drives": [], "drives": []})", "t.json: drives: given twice"},
        {R"({"drives": [7]})", "t.json: drive 0: must be an object"},
        // The second drive is wrong: the first is not kept either.
        {R"({"drives": [)" + good + R"(, {"revision": "1.0d"}]})",
         "t.json: drive 1: identification: missing"},
        {R"({"drives": [{"identification": "ORIN    DVD RW QV-5500A", "revision": "1.0d"}]})",
         "t.json: drive 0: identification: must be 24 characters, not 23"},
        {R"({"drives": [{"identification": "ORIN    DVD RW QV-5500\u00c4 ", "revision": "1.0d"}]})",
         "t.json: drive 0: identification: must hold printable ASCII characters only"},
        {R"({"drives": [{"identification": "ORIN    DVD RW QV-5500A "}]})",
         "t.json: drive 0: revision: missing"},
        {OneDrive(R"("revision": "1.0e")"), "t.json: drive 0: revision: given twice"},
        {OneDrive(R"("oemTag": "ORIN      QZ")"),
         "t.json: drive 0: oemTag: must be 15 characters, not 12"},
        {OneDrive(R"("oemTag": "ORIN      QZ   ", "oemTagBytes": "00")"),
         "t.json: drive 0: oemTagBytes: cannot go with oemTag"},
        {OneDrive(R"("oemTagBytes": "4F52494E00")"),
         "t.json: drive 0: oemTagBytes: must be 30 hex digits"},
        {OneDrive(R"("serial": "")"),
         "t.json: drive 0: serial: must be 1 to 251 characters, not 0"},
        {OneDrive(R"("serial": ")" + std::string(252, '7') + "\""),
         "t.json: drive 0: serial: must be 1 to 251 characters, not 252"},
        {OneDrive(R"("serial": "QV5A\u0000")"),
         "t.json: drive 0: serial: must hold printable ASCII characters only"},
        {OneDrive(R"("serial": 1203)"), "t.json: drive 0: serial: must be a string"},
        {OneDrive(R"("inquiryHeader": "05800502780000")"),
         "t.json: drive 0: inquiryHeader: must be 16 hex digits"},
        {OneDrive(R"("reader": "DVD-ROM")"), "t.json: drive 0: reader: must be true or false"},
        {OneDrive(R"("modelRecords": {"02": "00005AC"})"),
         "t.json: drive 0: modelRecords.02: must be 8 hex digits"},
        {OneDrive(R"("modelRecords": {"2": "00005AC3"})"),
         "t.json: drive 0: modelRecords.2: unknown key"},
        {OneDrive(R"("modelRecords": ["00005AC3"])"),
         "t.json: drive 0: modelRecords: must be an object"},
        {OneDrive(R"("latency": 5)"), "t.json: drive 0: latency: unknown key"},
        {OneDrive(R"("disc": "maybe")"),
         "t.json: drive 0: disc: \"maybe\" is not one of: none, present"},
        {OneDrive(R"("disc": true)"), "t.json: drive 0: disc: must be one of: none, present"},
        {OneDrive(R"("readiness": ["06/29/00", "2/3A/00"])"),
         "t.json: drive 0: readiness[1]: must be a sense triple KK/AA/QQ in hex (key 00 to 0F), "
         "such as 02/3A/00"},
        {OneDrive(R"("readiness": "06/29/00")"),
         "t.json: drive 0: readiness: must be an array of sense triples such as \"06/29/00\""},
        {OneDrive(R"("largeBuffer": "yes")"),
         "t.json: drive 0: largeBuffer: must be true or false"},
        {OneDrive(R"("latencyMs": -1)"),
         "t.json: drive 0: latencyMs: must be a whole number from 0 to 600000"},
        {OneDrive(R"("latencyMs": 1.5)"),
         "t.json: drive 0: latencyMs: must be a whole number from 0 to 600000"},
        {OneDrive(R"("latencyMs": 1e999)"), "t.json: drive 0: latencyMs: number out of range"},
        {R"({"drives": [)" + good + R"(, {"readiness": [-1e400]}]})",
         "t.json: drive 1: readiness[0]: number out of range"},
        {OneDrive(R"("latencyMs": 600001)"),
         "t.json: drive 0: latencyMs: must be a whole number from 0 to 600000"},
        {OneDrive(R"("flashSize": {"device": "318"})"),
         "t.json: drive 0: flashSize.device: must be four hex digits, such as 3180"},
        {OneDrive(R"("flashSize": {"sizeKb": 512})"), "t.json: drive 0: flashSize.device: missing"},
        {OneDrive(R"("flashSize": {"device": "3180", "sizeKb": 65536})"),
         "t.json: drive 0: flashSize.sizeKb: must be a whole number from 0 to 65535"},
        {OneDrive(R"("corruptReadBacks": {"first": 0, "count": 1})"),
         "t.json: drive 0: corruptReadBacks.first: must be a whole number from 1 to 4294967295"},
        {OneDrive(R"("corruptReadBacks": {"first": 1})"),
         "t.json: drive 0: corruptReadBacks.count: missing"},
        {OneDrive(R"("faults": {})"), "t.json: drive 0: faults: must be an array"},
        {OneDrive(R"("faults": ["timeout"])"), "t.json: drive 0: faults[0]: must be an object"},
        {OneDrive(fault + R"("result": "explode"}])"),
         "t.json: drive 0: faults[0].result: \"explode\" is not one of: timeout, failed, busy, "
         "check-condition, short, delay, vanish"},
        {OneDrive(fault + R"("occurrence": 1}])"), "t.json: drive 0: faults[0].result: missing"},
        {OneDrive(R"("faults": [{"result": "busy"}])"),
         "t.json: drive 0: faults[0].opcode: missing"},
        {OneDrive(R"("faults": [{"opcode": "F", "result": "busy"}])"),
         "t.json: drive 0: faults[0].opcode: must be \"*\" or two hex digits, such as F5"},
        {OneDrive(R"("faults": [{"opcode": 245, "result": "busy"}])"),
         "t.json: drive 0: faults[0].opcode: must be \"*\" or two hex digits, such as F5"},
        {OneDrive(fault + R"("subFunction": "1G", "result": "busy"}])"),
         "t.json: drive 0: faults[0].subFunction: must be two hex digits, such as F5"},
        {OneDrive(fault + R"("occurrence": -1, "result": "busy"}])"),
         "t.json: drive 0: faults[0].occurrence: must be a whole number from 0 to 4294967295"},
        {OneDrive(fault + R"("result": "check-condition"}])"),
         "t.json: drive 0: faults[0].sense: missing"},
        {OneDrive(fault + R"("result": "check-condition", "sense": "10/00/00"}])"),
         "t.json: drive 0: faults[0].sense: must be a sense triple KK/AA/QQ in hex (key 00 to "
         "0F), such as 02/3A/00"},
        {OneDrive(fault + R"("result": "timeout", "sense": "02/3A/00"}])"),
         "t.json: drive 0: faults[0].sense: only a \"check-condition\" result takes it"},
        {OneDrive(fault + R"("result": "short"}])"),
         "t.json: drive 0: faults[0].residual: missing"},
        {OneDrive(fault + R"("result": "short", "residual": 0}])"),
         "t.json: drive 0: faults[0].residual: must be a whole number from 1 to 4294967295"},
        {OneDrive(fault + R"("result": "busy", "residual": 4}])"),
         "t.json: drive 0: faults[0].residual: only a \"short\" result takes it"},
        {OneDrive(fault + R"("result": "delay"}])"), "t.json: drive 0: faults[0].delayMs: missing"},
        {OneDrive(fault + R"("result": "busy", "result": "timeout"}])"),
         "t.json: drive 0: faults[0].result: given twice"},
        {OneDrive(fault + R"("result": "busy", "when": 3}])"),
         "t.json: drive 0: faults[0].when: unknown key"},
        {std::string(kMaxScenarioFileBytes + 1, ' '), "t.json: larger than 1048576 bytes"},
    };
    for (const Malformed& c : cases) {
        const ScenarioReading reading = ReadScenario("t.json", c.text);
        EXPECT_EQ(reading.error, c.message) << c.text.substr(0, 200);
        EXPECT_TRUE(reading.drives.empty()) << c.text.substr(0, 200);
    }
}

TEST(ScenarioReaderTest, AFileThatCannotBeOpenedIsNamedWithTheReason) {
    const ScenarioReading reading = LoadScenarioFile("/nonexistent/scenario.json");
    EXPECT_EQ(reading.error,
              "/nonexistent/scenario.json: cannot be opened: No such file or directory");
    EXPECT_TRUE(reading.drives.empty());
}

TEST(ShippedScenarioTest, EveryShippedFileReadsAndTheReadmeListsIt) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FLASHTOOL_SCENARIO_DIR)) {
        if (entry.path().extension() == ".json") {
            const ScenarioReading reading = LoadScenarioFile(entry.path().string());
            EXPECT_TRUE(reading.Ok()) << reading.error;
            EXPECT_FALSE(reading.drives.empty()) << entry.path();
            // A serial number tells one drive from another, two of one model included.
            std::set<std::string> serials;
            for (const DriveDescription& drive : reading.drives) {
                EXPECT_TRUE(drive.serial.empty() || serials.insert(drive.serial).second)
                    << entry.path() << ": " << drive.serial;
            }
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_THAT(names, ElementsAre("demo.json", "disc-in-tray.json", "eight-drives.json",
                                   "hangs-on-test-unit-ready.json", "record-read-times-out.json",
                                   "refuses-image-at-end.json", "unidentified-drive.json",
                                   "vanishes-mid-transfer.json"));
    EXPECT_EQ(
        LoadScenarioFile(std::string(FLASHTOOL_SCENARIO_DIR) + "/eight-drives.json").drives.size(),
        8u);
}

// The demo's drives before they became a file.
const std::vector<VirtualDriveSetup> kDemoBefore = {
    {"ORIN    DVD RW QV-5500A ", "1.0d", "ORIN      QZ", false},
    {"ORIN    DVD RW QV-5520A ", "2.1b", "QX-5520UL QZ", false},
    {"KESTREL DVD-ROM KD-1650 ", "0113", "", false},
};

std::vector<uint8_t> Answer(VirtualDrive& drive, std::vector<uint8_t> cdb, uint32_t length) {
    std::vector<uint8_t> reply(length, 0xEE);
    ScsiRequest request{cdb, DataDirection::In, reply.data(), length, 15};
    drive.Handle(request);
    return reply;
}

TEST(DemoScenarioTest, TheDemoFileIsTheThreeDrivesTheDemoAlwaysHad) {
    const ScenarioReading reading =
        LoadScenarioFile(std::string(FLASHTOOL_SCENARIO_DIR) + "/demo.json");
    ASSERT_TRUE(reading.Ok()) << reading.error;
    ASSERT_EQ(reading.drives.size(), kDemoBefore.size());
    const auto demo = MakeDemoDrives();
    ASSERT_EQ(demo.size(), kDemoBefore.size());
    for (size_t i = 0; i < kDemoBefore.size(); ++i) {
        // Nothing but the identity, a serial number and the reader mark, and every setting
        // at its default.
        DriveDescription plain;
        plain.setup = reading.drives[i].setup;
        plain.serial = reading.drives[i].serial;
        plain.reader = reading.drives[i].reader;
        EXPECT_FALSE(plain.serial.empty()) << i;
        EXPECT_EQ(reading.drives[i], plain) << i;
        // What the drives answer: the long INQUIRY (identity and OEM tag), the disc check,
        // the capabilities page and the flash size query.
        VirtualDrive before(kDemoBefore[i]);
        before.SetReader(i == 2);  // the DVD-ROM drive claims no writing since it is marked
        for (const auto& [cdb, length] : std::vector<std::pair<std::vector<uint8_t>, uint32_t>>{
                 {{0x12, 0, 0, 0, 125, 0}, 125},
                 {{0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 30, 0}, 30},
                 {{0x3C, 0x01, 0, 0, 0, 0, 0, 0, 100, 0}, 100}}) {
            EXPECT_EQ(Answer(*demo[i], cdb, length), Answer(before, cdb, length)) << i;
        }
        std::vector<uint8_t> none;
        EXPECT_EQ(Answer(*demo[i], {0, 0, 0, 0, 0, 0}, 0), none);
        EXPECT_EQ(demo[i]->Trace().back().sense, sense::kMediumNotPresent);
    }
    // The program carries the file itself, byte for byte.
    std::ifstream file(std::string(FLASHTOOL_SCENARIO_DIR) + "/demo.json", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const auto embedded = DemoScenarioText();
    EXPECT_EQ(std::string(embedded.begin(), embedded.end()), text);
}

}  // namespace
}  // namespace flashtool
