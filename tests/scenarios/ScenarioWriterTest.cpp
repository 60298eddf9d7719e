// The scenario writer: what it writes reads back into the same descriptions, for every
// shipped file and for a drive that uses every field, and a file it wrote keeps the defaults
// out as the shipped files do.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "emulator/Scenario.h"

namespace flashtool {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::vector<DriveDescription> ReadBack(const std::string& text) {
    const ScenarioReading reading = ReadScenario("written.json", text);
    EXPECT_TRUE(reading.Ok()) << reading.error << "\n" << text;
    return reading.drives;
}

TEST(ScenarioWriterTest, EveryShippedFileReadsBackIntoTheSameDrives) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FLASHTOOL_SCENARIO_DIR)) {
        if (entry.path().extension() != ".json") {
            continue;
        }
        ++files;
        const ScenarioReading original = LoadScenarioFile(entry.path().string());
        ASSERT_TRUE(original.Ok()) << original.error;
        const std::string written = WriteScenario(original.drives, "again");
        EXPECT_EQ(ReadBack(written), original.drives) << entry.path();
        // Written twice, the same text: nothing depends on more than the descriptions.
        EXPECT_EQ(WriteScenario(ReadBack(written), "again"), written) << entry.path();
    }
    EXPECT_GE(files, 7u);
}

TEST(ScenarioWriterTest, ADriveUsingEveryFieldReadsBackWhole) {
    DriveDescription drive;
    drive.setup = {"ORIN    DVD RW QV-5500A ", "1.0d",
                   std::string("ORIN\0\0\0\0\0\0QZ\x7F\xFF ", 15), true};
    drive.serial = "  QV5A0D4G1203";
    drive.inquiryHeader = {0x05, 0x80, 0x00, 0x32, 0x1F, 0x00, 0x00, 0x00};
    drive.reader = true;
    drive.readiness = {{0x06, 0x29, 0x00}, {0x02, 0x04, 0x01}};
    drive.largeBuffer = false;
    drive.checksPageSums = true;
    drive.flashSize = {0x40, 0x31, 0x01, 0x02};
    drive.latencyMs = 25;
    drive.corruptReadBacks = ReadBackCorruption{3, 0};
    drive.recordAt02 = ModelRecord{0x30, 0x51, 0x00, 0xFF};
    drive.faults = {
        {0xF5, 0x01, 2, FaultKind::CheckCondition, {5, 0x24, 0}},
        {std::nullopt, std::nullopt, 0, FaultKind::TimeOut},
        {0x00, std::nullopt, 1, FaultKind::TimeOut, {}, 0, 5000},
        {0x3C, std::nullopt, 1, FaultKind::Short, {}, 100},
        {0x00, std::nullopt, 3, FaultKind::Delay, {}, 0, 1500},
        {0xFA, std::nullopt, 64, FaultKind::Vanish},
        {0x12, std::nullopt, 1, FaultKind::Busy},
        {0xFD, 0x07, 1, FaultKind::TransportFailure},
    };
    DriveDescription plain;
    plain.setup = {"KESTREL DVD-ROM KD-1650 ", "0113", std::string(15, ' '), false};
    const std::vector<DriveDescription> drives = {drive, plain};

    const std::string written = WriteScenario(drives, "every field, and \"quotes\"");
    EXPECT_EQ(ReadBack(written), drives);
    EXPECT_THAT(written, HasSubstr(R"("oemTagBytes": "4F52494E000000000000515A7FFF20")"));
    EXPECT_THAT(written, Not(HasSubstr(R"("recordAt24")")));
    EXPECT_THAT(written, HasSubstr(R"("serial": "  QV5A0D4G1203")"));
    EXPECT_THAT(written, HasSubstr(R"("inquiryHeader": "058000321F000000")"));
}

TEST(ScenarioWriterTest, DefaultsStayOutOfTheFile) {
    DriveDescription plain;
    plain.setup = {"KESTREL DVD-ROM KD-1650 ", "0113", std::string(15, ' '), false};
    const std::string written = WriteScenario({plain}, "");
    EXPECT_EQ(written, R"({
  "drives": [
    {
      "identification": "KESTREL DVD-ROM KD-1650 ",
      "revision": "0113",
      "disc": "none"
    }
  ]
}
)");
}

}  // namespace
}  // namespace flashtool
