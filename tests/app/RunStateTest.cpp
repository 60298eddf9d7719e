// The run-in-progress flag: one run at a time, buttons back only when the worker ends, and
// no closing of the dialog under a running worker.

#include <gtest/gtest.h>

#include "support/DialogHarness.h"

namespace flashtool::testing {
namespace {

TEST(RunState, OnlyOneRunAtATime) {
    DialogHarness rig;
    EXPECT_TRUE(rig.dialog->BeginRun());
    EXPECT_FALSE(rig.dialog->BeginRun());
    rig.dialog->EndRun();
    EXPECT_TRUE(rig.dialog->BeginRun());
}

TEST(RunState, ReportsFromInsideARunLeaveTheButtonsDisabledUntilTheWorkerEnds) {
    DialogHarness rig;
    rig.Started();
    rig.Select(0);
    ASSERT_TRUE(rig.dialog->BeginRun());
    rig.dialog->EnableButtons(false);

    rig.dialog->ReportResult(ResultCode::CommandFailed);
    rig.dialog->EnableButtons(true);
    rig.dialog->SetUpgradeEnabled(true);
    EXPECT_FALSE(rig.window.enabled[DialogButton::Upgrade]);
    EXPECT_FALSE(rig.window.enabled[DialogButton::Exit]);
    // The reset itself still happens.
    EXPECT_EQ(rig.window.boxes.back().request.text, "Command Fail.");

    rig.dialog->EndRun();
    EXPECT_TRUE(rig.window.enabled[DialogButton::Upgrade]);
    EXPECT_TRUE(rig.window.enabled[DialogButton::Exit]);
}

TEST(RunState, TheDialogRefusesToEndWhileARunIsInProgressOrCloseIsGreyed) {
    DialogHarness rig;
    rig.Started();

    ASSERT_TRUE(rig.dialog->BeginRun());
    EXPECT_FALSE(rig.dialog->OnCancel());
    rig.dialog->EndRun();

    rig.dialog->SetCloseEnabled(false);
    EXPECT_FALSE(rig.window.closeEnabled);
    EXPECT_FALSE(rig.dialog->OnCancel());
    rig.dialog->SetCloseEnabled(true);

    rig.window.enabled[DialogButton::Exit] = false;
    EXPECT_FALSE(rig.dialog->OnCancel());
    EXPECT_FALSE(rig.window.endResult.has_value());

    rig.window.enabled[DialogButton::Exit] = true;
    EXPECT_TRUE(rig.dialog->OnCancel());
    EXPECT_EQ(rig.window.endResult, kDialogCancel);
}

TEST(RunState, UpgradePressedDuringARunSendsNothing) {
    DialogHarness rig;
    rig.Started();
    rig.Select(0);
    const int commands = rig.counts.commands;
    ASSERT_TRUE(rig.dialog->BeginRun());
    rig.dialog->OnUpgrade();
    EXPECT_EQ(rig.counts.commands, commands);
    EXPECT_EQ(rig.window.boxes.size(), 1u);  // the notice only
}

}  // namespace
}  // namespace flashtool::testing
