// The shipped scenario files in whole runs of the program without its window: what the
// operator sees and what reaches the drive, including the files whose end the safety rules
// decide: nothing is written over bytes the drive owns, and a drive that refuses its image or
// goes away is never reported as updated.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Format.h"
#include "emulator/Scenario.h"
#include "support/DialogHarness.h"
#include "support/WildcardBuild.h"

namespace flashtool::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// The drives of a shipped file, taking their waits on `clock`.
std::vector<std::shared_ptr<VirtualDrive>> Shipped(const std::string& name, FakeClock& clock) {
    const ScenarioReading reading =
        LoadScenarioFile(std::string(FLASHTOOL_SCENARIO_DIR) + "/" + name);
    EXPECT_TRUE(reading.Ok()) << reading.error;
    return BuildDrives(reading.drives, &clock);
}

std::vector<std::string> TraceLines(const CapturedDiagnostics& diagnostics) {
    std::vector<std::string> lines;
    const std::string text = diagnostics.Text();
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

TEST(ShippedScenarioUpgrade, EightDrivesAreListedWithOnlyTheTargetInBlack) {
    FakeClock driveClock;
    DialogHarness rig(ThisBuildRegion(), Shipped("eight-drives.json", driveClock));
    rig.window.answers.push_back(BoxAnswer::Ok);
    ASSERT_TRUE(rig.dialog->OnInitDialog());
    rig.dialog->WaitForRun();  // the scan

    std::vector<std::string> texts;
    std::vector<bool> grey;
    for (const DriveItem& drive : rig.window.drives) {
        texts.push_back(drive.text);
        grey.push_back(drive.greyed);
    }
    EXPECT_THAT(texts, ElementsAre("ORIN    DVD RW QV-5500A 1.0d", "ORIN    DVD RW QV-5520A 2.1b",
                                   "KESTREL DVD-ROM KD-1650 0113", "KESTREL CDRW/DVD KC3130 1.10",
                                   "PLOVER  BD-RE PB-2240   3.02", "PLOVER  CD-RW PC-4812   1.00",
                                   "WREN    DVD+-RW W-880   A104", "WREN    DVD-ROM W-160   B001"));
    EXPECT_EQ(grey, (std::vector<bool>{false, true, true, true, true, true, true, true}));
}

TEST(ShippedScenarioUpgrade, ADiscInTheTrayIsRefusedWithCodeNineBeforeAnyChange) {
    FakeClock driveClock;
    DialogHarness rig(ThisBuildRegion(), Shipped("disc-in-tray.json", driveClock));
    rig.StartAndSelect(0);
    rig.diagnostics.Clear();
    rig.Upgrade();

    const std::string box =
        "The update cannot proceed because there is a disc in the selected drive. Remove the "
        "disc and retry the operation.";
    EXPECT_THAT(rig.LogLines(), ElementsAre(box));
    EXPECT_THAT(rig.BoxTexts(), ElementsAre(box));
    EXPECT_THAT(TraceLines(rig.diagnostics),
                ElementsAre("vdrive 0: 00 00 00 00 00 00 | none 0 crc32=00000000 | ok"));
    EXPECT_EQ(rig.ChangingCommands(), 0u);
    EXPECT_EQ(rig.Drive().Revision(), "1.0d");
    EXPECT_TRUE(rig.Idle(0));
}

TEST(ShippedScenarioUpgrade, ADriveThatHangsOnTestUnitReadyIsGivenUpAfterAMinute) {
    FakeClock driveClock;
    DialogHarness rig(ThisBuildRegion(), Shipped("hangs-on-test-unit-ready.json", driveClock));
    rig.StartAndSelect(0);
    rig.diagnostics.Clear();
    rig.Upgrade();

    EXPECT_THAT(rig.LogLines(), ElementsAre("The drive did not answer the disc check within 60 "
                                            "seconds.",
                                            "On Command Fail !!"));
    EXPECT_THAT(rig.BoxTexts(), ElementsAre("Command Fail."));
    const std::string hung = "vdrive 0: 00 00 00 00 00 00 | none 0 crc32=00000000 | timedout";
    EXPECT_THAT(TraceLines(rig.diagnostics), ElementsAre(hung, hung, hung, hung));
    // Each TEST UNIT READY took its whole time-out on the drive's side.
    EXPECT_THAT(driveClock.Sleeps(), ElementsAre(15000u, 15000u, 15000u, 15000u));
    EXPECT_EQ(rig.ChangingCommands(), 0u);
    EXPECT_TRUE(rig.Idle(0));
}

// The trace split into the page commands and everything else.
struct SplitTrace {
    std::vector<std::string> pages;
    std::vector<std::string> others;
};
SplitTrace Split(const std::vector<std::string>& lines) {
    SplitTrace split;
    for (const std::string& line : lines) {
        (line.starts_with("vdrive 0: FA ") ? split.pages : split.others).push_back(line);
    }
    return split;
}

const std::string kNotAllowed = "The drive is not allowed to be updated.";
const std::string kFailBoxStart = "Updating incomplete or interrupted! \n\nPlease retry";

// The checks and the run of this build's target up to its first page, and the identification
// asked again after the run.
const std::vector<std::string> kTargetChecksAndRunStart = {
    "vdrive 0: 00 00 00 00 00 00 | none 0 crc32=00000000 | failed 2/3A",
    "vdrive 0: 12 00 00 00 7D 00 | in 125 crc32=E97E6C2A | ok",
    "vdrive 0: 00 00 00 00 00 00 | none 0 crc32=00000000 | failed 2/3A",
    "vdrive 0: FD F1 54 41 52 4E 00 00 00 00 00 00 | none 0 crc32=00000000 | ok",
    "vdrive 0: 5A 00 2A 00 00 00 00 00 1E 00 | in 16384 crc32=229B3EB4 | ok",
};
const std::vector<std::string> kTargetLog = {"It will be updated from  1.0d  To  1.0e",
                                             " ",
                                             "Linear CheckSum : B0CF",
                                             "Rotated CheckSum : 847E",
                                             "Check Sum match !!",
                                             "Start to upgrade...",
                                             "Don't turn off the power!!",
                                             " ",
                                             "======== FAIL ========",
                                             " "};

TEST(ShippedScenarioUpgrade, ARecordReadThatTimesOutRefusesTheDriveWithCodeSevenWritingNothing) {
    // A KC3105 with the small buffer under a KM3100 build: only records of the base kind
    // would let it through. The read that would show them times out, so the drive stays a
    // KM3105 and is refused by the checks; no run starts, so the identification is not
    // asked again and the timed-out read is the last command.
    FakeClock driveClock;
    DialogHarness rig(WildcardKm3100Region(), Shipped("record-read-times-out.json", driveClock));
    rig.StartAndSelect(0);
    EXPECT_TRUE(rig.window.drives.at(0).greyed);                // listed in grey
    ASSERT_TRUE(rig.window.enabled.at(DialogButton::Upgrade));  // a grey drive may be tried
    rig.diagnostics.Clear();
    rig.Upgrade();

    EXPECT_THAT(rig.LogLines(),
                ElementsAre("It will be updated from  1.08  To  1.2b", " ", kNotAllowed));
    EXPECT_THAT(rig.BoxTexts(), ElementsAre(kNotAllowed));
    EXPECT_THAT(
        TraceLines(rig.diagnostics),
        ElementsAre("vdrive 0: 00 00 00 00 00 00 | none 0 crc32=00000000 | failed 2/3A",
                    "vdrive 0: 5A 00 2A 00 00 00 00 00 1E 00 | in 16384 crc32=CF417B91 | ok",
                    "vdrive 0: FD F1 54 41 52 4E 00 00 00 00 00 00 | none 0 crc32=00000000 | ok",
                    "vdrive 0: F5 01 00 A2 00 24 00 04 00 00 00 00 | in 4 crc32=2144DF1C | "
                    "timedout"));
    EXPECT_THAT(driveClock.Sleeps(), ElementsAre(5000u));
    EXPECT_EQ(rig.ChangingCommands(), 0u);
    EXPECT_EQ(rig.Drive().Vendor().recordWrites, 0u);
    EXPECT_EQ(rig.Drive().Revision(), "1.08");
    // The refusal greys Upgrade for this drive; nothing else of a run was started.
    EXPECT_FALSE(rig.window.enabled.at(DialogButton::Upgrade));
    EXPECT_TRUE(rig.window.enabled.at(DialogButton::Exit));
    EXPECT_FALSE(rig.dialog->RunInProgress());
    EXPECT_EQ(rig.window.timerStarts, 0);
    EXPECT_EQ(rig.inhibitor.acquired, 0);
    EXPECT_EQ(rig.window.progress, 0);
}

std::vector<std::string> Then(std::vector<std::string> lines, const std::string& line) {
    lines.push_back(line);
    return lines;
}

TEST(ShippedScenarioUpgrade, ADriveThatRefusesItsImageAtTheEndFailsWithCodeFive) {
    FakeClock driveClock;
    DialogHarness rig(ThisBuildRegion(), Shipped("refuses-image-at-end.json", driveClock));
    rig.StartAndSelect(0);
    rig.diagnostics.Clear();
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok});

    EXPECT_THAT(
        rig.LogLines(),
        ElementsAreArray(Then(kTargetLog, "The drive still reports firmware revision 1.0d.")));
    ASSERT_EQ(rig.BoxTexts().size(), 2u);
    EXPECT_EQ(rig.BoxTexts()[0], "Do you really want to upgrade ?");
    EXPECT_THAT(rig.BoxTexts()[1], StartsWith(kFailBoxStart));
    // Every page went out; the last one was refused, and only the identification followed.
    const std::vector<std::string> lines = TraceLines(rig.diagnostics);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              "vdrive 0: FA A2 5D A3 70 7F 01 A2 5D A3 70 80 | out 16384 crc32=690B37D3 | "
              "failed 5/26");
    EXPECT_EQ(lines.back(), "vdrive 0: 12 00 00 00 38 00 | in 56 crc32=6303652D | ok");
    const SplitTrace split = Split(lines);
    EXPECT_EQ(split.pages.size(), 128u);
    std::vector<std::string> others = kTargetChecksAndRunStart;
    others.push_back(lines.back());
    EXPECT_THAT(split.others, ElementsAreArray(others));
    EXPECT_EQ(rig.ChangingCommands(), 128u);
    EXPECT_EQ(rig.Drive().Revision(), "1.0d");
    EXPECT_EQ(rig.restart.requests, 0);
    EXPECT_TRUE(rig.Idle(0));
}

TEST(ShippedScenarioUpgrade, ADriveThatVanishesMidTransferFailsWithCodeFive) {
    FakeClock driveClock;
    DialogHarness rig(ThisBuildRegion(), Shipped("vanishes-mid-transfer.json", driveClock));
    rig.StartAndSelect(0);
    rig.diagnostics.Clear();
    rig.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok});

    EXPECT_THAT(rig.LogLines(), ElementsAreArray(Then(kTargetLog,
                                                      "The drive did not answer when its "
                                                      "identification was read after the run.")));
    ASSERT_EQ(rig.BoxTexts().size(), 2u);
    EXPECT_EQ(rig.BoxTexts()[0], "Do you really want to upgrade ?");
    EXPECT_THAT(rig.BoxTexts()[1], StartsWith(kFailBoxStart));
    // The 64th page met the unplugged device; no page followed it, and the identification
    // asked after the run failed as well.
    const std::vector<std::string> lines = TraceLines(rig.diagnostics);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              "vdrive 0: FA A2 5D A3 70 3F 01 A2 5D A3 70 80 | out 16384 crc32=6F526FE5 | "
              "failed 0/00");
    EXPECT_EQ(lines.back(), "vdrive 0: 12 00 00 00 38 00 | in 56 crc32=D3C8A549 | failed 0/00");
    const SplitTrace split = Split(lines);
    EXPECT_EQ(split.pages.size(), 64u);
    std::vector<std::string> others = kTargetChecksAndRunStart;
    others.push_back(lines.back());
    EXPECT_THAT(split.others, ElementsAreArray(others));
    EXPECT_EQ(rig.ChangingCommands(), 64u);
    EXPECT_EQ(rig.Drive().Revision(), "1.0d");
    EXPECT_EQ(rig.restart.requests, 0);
    EXPECT_TRUE(rig.Idle(0));
}

}  // namespace
}  // namespace flashtool::testing
