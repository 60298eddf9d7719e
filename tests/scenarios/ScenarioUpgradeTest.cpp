// The shipped scenario files in whole runs of the program without its window: what the
// operator sees and what reaches the drive. (The files whose end the safety rules decide
// are run by their own tests.)

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Format.h"
#include "e2e/UpgradeRig.h"
#include "emulator/Scenario.h"

namespace flashtool::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

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
    UpgradeRig rig(ThisBuildRegion(), Shipped("eight-drives.json", driveClock));
    rig.window.answers.push_back(BoxAnswer::Ok);
    ASSERT_TRUE(rig.dialog->OnInitDialog());

    std::vector<std::string> texts;
    std::vector<bool> grey;
    for (const TreeItem item : rig.window.Children(rig.window.RootTreeItem())) {
        texts.push_back(rig.window.Node(item).text);
        grey.push_back(rig.window.Node(item).color.has_value());
    }
    EXPECT_THAT(texts, ElementsAre("ORIN    DVD RW QV-5500A 1.0d", "ORIN    DVD RW QV-5520A 2.1b",
                                   "KESTREL DVD-ROM KD-1650 0113", "KESTREL CDRW/DVD KC3130 1.10",
                                   "PLOVER  BD-RE PB-2240   3.02", "PLOVER  CD-RW PC-4812   1.00",
                                   "WREN    DVD+-RW W-880   A104", "WREN    DVD-ROM W-160   B001"));
    EXPECT_EQ(grey, (std::vector<bool>{false, true, true, true, true, true, true, true}));
}

TEST(ShippedScenarioUpgrade, ADiscInTheTrayIsRefusedWithCodeNineBeforeAnyChange) {
    FakeClock driveClock;
    UpgradeRig rig(ThisBuildRegion(), Shipped("disc-in-tray.json", driveClock));
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
    UpgradeRig rig(ThisBuildRegion(), Shipped("hangs-on-test-unit-ready.json", driveClock));
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

}  // namespace
}  // namespace flashtool::testing
