// The whole upgrade in the real window, pressed as an operator would, with the message
// boxes answered by a script: the worker's calls reach the window on its own thread, and the
// user-interface thread keeps serving events while the drive is written.

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <iostream>

#include "GuiRig.h"
#include "app/controls/CTreeCtrlEx.h"

namespace flashtool::testing {
namespace {

TEST(UpgradeInWindow, RunsToAFullBarWithBothButtonsBackAndTheUiThreadServing) {
    GuiRig rig;
    ASSERT_TRUE(rig.StartShown());
    QtDialogWindow& window = rig.Window();
    rig.SelectDrive(0);
    rig.boxes.clear();
    rig.boxThreads.clear();
    rig.answers = {BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel};

    // A probe on the user-interface thread: the longest time between two of its ticks is
    // the longest the window went without serving events during the run.
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> ticks;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&ticks] { ticks.push_back(Clock::now()); });
    probe.start();

    QWidget* upgrade = window.Control(ControlId::Upgrade);
    ASSERT_TRUE(upgrade->isEnabled());
    QTest::mouseClick(upgrade, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return rig.boxes.size() == 3 && !rig.Dialog().RunInProgress(); }, 60000));
    probe.stop();
    rig.Dialog().WaitForRun();

    EXPECT_EQ(rig.boxes[0].text, "Do you really want to upgrade ?");
    EXPECT_EQ(rig.boxes[1].text, "\n Firmware has been updated successfully !   \n");
    EXPECT_EQ(rig.boxes[2].text, "\n Your computer needs to be rebooted.    \n");
    // Every box of the run was shown on the user-interface thread, asked for by the worker.
    for (const std::thread::id id : rig.boxThreads) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }
    auto* bar = static_cast<QProgressBar*>(window.Control(ControlId::Progress));
    EXPECT_EQ(bar->value(), 100);
    EXPECT_TRUE(upgrade->isEnabled());
    EXPECT_TRUE(window.Control(ControlId::Exit)->isEnabled());
    EXPECT_NE(window.LogText().find("======== SUCCEED ========"),
              std::string::npos);

    ASSERT_GE(ticks.size(), 2u);
    Clock::duration longest{};
    for (size_t i = 1; i < ticks.size(); ++i) {
        longest = std::max(longest, ticks[i] - ticks[i - 1]);
    }
    const auto longestMs = std::chrono::duration_cast<std::chrono::milliseconds>(longest).count();
    const auto runMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(ticks.back() - ticks.front()).count();
    std::cout << "upgrade in the window: " << runMs << " ms, " << ticks.size()
              << " probe ticks, longest gap " << longestMs << " ms\n";
    // Generous for loaded and sanitized builds; a blocked UI thread would show the whole run.
    EXPECT_LT(longestMs, 1000);
}

}  // namespace
}  // namespace flashtool::testing
