// The scan at start-up and the checks of an Upgrade press run off the window's thread: the
// handlers return while a drive is still answering, a second press meanwhile starts
// nothing, and a close asked for then is honoured once no command is outstanding.

#include <gtest/gtest.h>

#include "support/DialogHarness.h"
#include "support/GateClock.h"

namespace flashtool::testing {
namespace {

// This build's target, held at the gate on every command, and two drives it cannot update.
struct GatedRig {
    GatedRig()
        : rig(ThisBuildRegion(), {TargetAt("1.0d"),
                                  {"ORIN    DVD RW QV-5520A ", "2.1b", "QX-5520UL QZ", false},
                                  {"KESTREL DVD-ROM KD-1650 ", "0113", "", false}}) {
        rig.Drive(0).SetClock(&gate);
        rig.Drive(0).SetLatencyMs(1);
    }
    GateClock gate;
    DialogHarness rig;
};

TEST(BusyPhases, ACloseDuringTheScanEndsItBeforeTheNextDriveWithNothingFilledIn) {
    GatedRig gated;
    DialogHarness& rig = gated.rig;
    gated.gate.Close();
    rig.window.answers.push_back(BoxAnswer::Ok);
    ASSERT_TRUE(rig.dialog->OnInitDialog());  // returns while the target's INQUIRY waits
    gated.gate.AwaitHeld();
    EXPECT_TRUE(rig.dialog->Busy());
    EXPECT_TRUE(rig.window.busy);
    EXPECT_TRUE(rig.window.computer.empty());

    EXPECT_FALSE(rig.dialog->OnCancel());  // not under the worker
    EXPECT_FALSE(rig.window.endResult.has_value());
    gated.gate.Open();
    rig.dialog->WaitForRun();

    EXPECT_EQ(rig.window.endResult, kDialogCancel);
    EXPECT_FALSE(rig.dialog->Busy());
    EXPECT_FALSE(rig.window.busy);
    EXPECT_EQ(rig.Drive(0).Trace().size(), 1u);
    EXPECT_TRUE(rig.Drive(1).Trace().empty());
    EXPECT_TRUE(rig.Drive(2).Trace().empty());
    EXPECT_TRUE(rig.window.computer.empty());
    EXPECT_EQ(rig.window.boxes.size(), 1u);  // the notice only
}

TEST(BusyPhases, ACloseDuringTheChecksStartsNoRunAndASecondPressStartsNothing) {
    GatedRig gated;
    DialogHarness& rig = gated.rig;
    rig.StartAndSelect(0);
    gated.gate.Close();
    rig.window.answers = {BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel};
    rig.dialog->OnUpgrade();  // returns while the first check waits on the drive
    gated.gate.AwaitHeld();
    EXPECT_TRUE(rig.dialog->Busy());
    EXPECT_TRUE(rig.window.busy);
    // The dialog's own view of the buttons is what it was; greying is the window's.
    EXPECT_TRUE(rig.window.enabled.at(DialogButton::Upgrade));

    rig.dialog->OnUpgrade();
    EXPECT_FALSE(rig.dialog->OnCancel());
    EXPECT_FALSE(rig.window.endResult.has_value());
    gated.gate.Open();
    rig.dialog->WaitForRun();

    EXPECT_EQ(rig.window.endResult, kDialogCancel);
    EXPECT_EQ(rig.window.busyPhases, 2);  // the scan and one press's checks
    EXPECT_TRUE(rig.BoxTexts().empty());  // the checks passed; no run was offered
    EXPECT_EQ(rig.ChangingCommands(), 0u);
    EXPECT_FALSE(rig.LogLines().empty());  // the checks' lines stay
    EXPECT_TRUE(rig.Idle(0));
    EXPECT_EQ(rig.inhibitor.acquired, 0);
}

}  // namespace
}  // namespace flashtool::testing
