// The log window's rule and the run controls: buttons, timer, restart.

#include <gtest/gtest.h>

#include "support/DialogHarness.h"
#include "emulator/EmulatedRestart.h"

namespace flashtool::testing {
namespace {

struct LogCase {
    const char* name;
    size_t existing;  // characters already in the window
    size_t added;     // characters of the new line
    bool kept;        // whether the existing text stays
};

class AppendLogRule : public ::testing::TestWithParam<LogCase> {};

TEST_P(AppendLogRule, PrecedesEachLineWithCrLfAndStartsAgainPastTheLimit) {
    const LogCase& c = GetParam();
    DialogHarness rig;
    const std::string existing(c.existing, 'a');
    const std::string line(c.added, 'b');
    rig.window.log = existing;
    rig.dialog->AppendLog(line);

    EXPECT_EQ(rig.window.Log(), (c.kept ? existing : std::string()) + "\r\n" + line);
    EXPECT_EQ(rig.window.scrolls, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, AppendLogRule,
    ::testing::Values(LogCase{"EmptyWindow", 0, 5, true},
                      LogCase{"ExactlyTheLimit", 1980, 20, true},
                      LogCase{"PastTheLimit", 1990, 20, false},
                      // A window holding more than 1,999 characters (after a line that
                      // filled it) is not cut to 1,999 and glued to a one-blank line.
                      LogCase{"FullWindowThenOneBlank", 2000, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppendLog, ALineLongerThanTheLimitIsCutToIt) {
    DialogHarness rig;
    rig.dialog->AppendLog(std::string(2500, 'x'));
    EXPECT_EQ(rig.window.Log(), "\r\n" + std::string(2000, 'x'));
}

TEST(EnableButtons, SetsUpgradeAndExitTogether) {
    DialogHarness rig;
    rig.window.enabled[DialogButton::Upgrade] = true;
    rig.window.enabled[DialogButton::Exit] = false;
    rig.dialog->EnableButtons(false);
    EXPECT_FALSE(rig.window.enabled[DialogButton::Upgrade]);
    EXPECT_FALSE(rig.window.enabled[DialogButton::Exit]);
    rig.dialog->EnableButtons(true);
    EXPECT_TRUE(rig.window.enabled[DialogButton::Upgrade]);
    EXPECT_TRUE(rig.window.enabled[DialogButton::Exit]);
}

TEST(ProgressTimer, StepsTheBarAndStartsAgainPastTheEnd) {
    DialogHarness rig;
    rig.dialog->PrepareProgress();
    rig.dialog->SetProgressPos(98);
    std::vector<int> positions;
    for (int tick = 0; tick < 4; ++tick) {
        rig.dialog->OnProgressTimer();
        positions.push_back(rig.window.progress);
    }
    EXPECT_EQ(positions, (std::vector<int>{99, 100, 0, 1}));

    rig.dialog->StartProgressTimer();
    EXPECT_TRUE(rig.window.timerRunning);
    rig.dialog->StopProgressTimer();
    EXPECT_FALSE(rig.window.timerRunning);
}

TEST(Reboot, ARefusedRestartShowsRebootFailWithTheStopIcon) {
    DialogHarness rig;
    rig.restart.accept = false;
    rig.dialog->Reboot();
    ASSERT_EQ(rig.window.boxes.size(), 1u);
    EXPECT_EQ(rig.window.boxes[0].request,
              (MessageBoxRequest{"Reboot Fail!!", std::nullopt, BoxButtons::Ok, BoxIcon::Stop}));

    rig.restart.accept = true;
    rig.dialog->Reboot();
    EXPECT_EQ(rig.restart.requests, 2);
    EXPECT_EQ(rig.window.boxes.size(), 1u);
}

TEST(EmulatedRestart, OnlyReportsTheRequestOnStandardOutputAndInTheLog) {
    CapturedDiagnostics diagnostics;
    EmulatedRestart restart(diagnostics);
    std::vector<std::string> logged;
    restart.SetLog([&](std::string_view line) { logged.emplace_back(line); });
    EXPECT_TRUE(restart.RequestRestart());
    EXPECT_EQ(diagnostics.Text(),
              "Restart requested: the emulated build does not restart the computer.\n");
    EXPECT_EQ(logged, (std::vector<std::string>{
                          "Restart requested: the emulated build does not restart the computer."}));
}

TEST(UserNotifier, TheTransportsMessagesAreOkBoxesWithoutIconUnderTheApplicationTitle) {
    DialogHarness rig;
    rig.dialog->ShowMessage("Drive /dev/sr1 cannot be used.");
    ASSERT_EQ(rig.window.boxes.size(), 1u);
    EXPECT_EQ(rig.window.boxes[0].request,
              (MessageBoxRequest{"Drive /dev/sr1 cannot be used.", std::nullopt, BoxButtons::Ok,
                                 BoxIcon::None}));
}

}  // namespace
}  // namespace flashtool::testing
