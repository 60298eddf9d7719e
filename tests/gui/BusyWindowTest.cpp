// The real window while the worker waits on a drive: it appears at once, answers, shows that
// it is busy and keeps a close request for the moment no command is outstanding; and the
// hand-off that carries the worker's calls to the user-interface thread.

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QProgressBar>
#include <atomic>
#include <thread>

#include "GuiRig.h"
#include "app/qt/UiThread.h"
#include "support/GateClock.h"

namespace flashtool::testing {
namespace {

constexpr int kWaitMs = 20000;

// The demo's drives, the target held at the gate on every command.
std::vector<std::shared_ptr<VirtualDrive>> GatedDemoDrives(GateClock& gate) {
    auto drives = MakeDemoDrives();
    drives[0]->SetClock(&gate);
    drives[0]->SetLatencyMs(1);
    return drives;
}

const QProgressBar* ShownBusyBar(const QtDialogWindow& window) {
    for (const QProgressBar* bar : window.findChildren<QProgressBar*>()) {
        if (bar->isVisible() && bar->minimum() == 0 && bar->maximum() == 0) {
            return bar;
        }
    }
    return nullptr;
}

// Shows busy: wait cursor, busy bar in the progress bar's place, buttons and tree greyed.
void ExpectBusy(QtDialogWindow& window) {
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    EXPECT_NE(ShownBusyBar(window), nullptr);
    EXPECT_FALSE(window.Control(ControlId::Progress)->isVisible());
    for (const ControlId id : {ControlId::Exit, ControlId::DriveTree, ControlId::Upgrade}) {
        EXPECT_FALSE(window.Control(id)->isEnabled()) << static_cast<int>(id);
    }
}

TEST(BusyWindow, TheWindowAppearsDuringTheScanAndACloseThenEndsItOnceTheDriveAnswered) {
    GateClock gate;
    gate.Close();
    GuiRig rig(GatedDemoDrives(gate));
    QtDialogWindow& window = rig.Window();
    ASSERT_TRUE(rig.Dialog().OnInitDialog());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.Holding(); }, kWaitMs));

    ExpectBusy(window);
    EXPECT_EQ(window.Tree()->topLevelItemCount(), 0);
    // The dialog's own state of Exit is kept for when the scan ends.
    EXPECT_TRUE(window.IsButtonEnabled(DialogButton::Exit));

    QTest::keyClick(&window, Qt::Key_Escape);
    window.close();
    EXPECT_TRUE(window.isVisible());
    gate.Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.Dialog().Busy(); }, kWaitMs));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), kDialogCancel);
    EXPECT_EQ(window.Tree()->topLevelItemCount(), 0);
}

TEST(BusyWindow, DuringTheChecksTheWindowIsBusyAndAfterThemTheRunGoesOnAsBefore) {
    GateClock gate;
    GuiRig rig(GatedDemoDrives(gate));
    QtDialogWindow& window = rig.Window();
    ASSERT_TRUE(rig.StartShown());
    rig.SelectDrive(0);
    rig.boxes.clear();
    rig.answers = {BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel};
    gate.Close();

    QTest::mouseClick(window.Control(ControlId::Upgrade), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.Holding(); }, kWaitMs));
    ExpectBusy(window);
    EXPECT_TRUE(window.IsButtonEnabled(DialogButton::Upgrade));
    EXPECT_TRUE(rig.boxes.empty());

    gate.Open();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return rig.boxes.size() == 3 && !rig.Dialog().RunInProgress(); }, 60000));
    rig.Dialog().WaitForRun();
    EXPECT_EQ(rig.boxes[0].text, "Do you really want to upgrade ?");
    EXPECT_EQ(rig.boxes[1].text, "\n Firmware has been updated successfully !   \n");
    EXPECT_NE(window.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(ShownBusyBar(window), nullptr);
    EXPECT_TRUE(window.Control(ControlId::Progress)->isVisible());
    EXPECT_TRUE(window.Control(ControlId::Upgrade)->isEnabled());
    EXPECT_TRUE(window.Control(ControlId::Exit)->isEnabled());
    EXPECT_TRUE(window.Tree()->isEnabled());
}

// A call from a worker is served while the user-interface thread is inside a nested event
// loop (a message box's, in the program) that an earlier call of another worker runs.
TEST(UiThreadHandOff, ServesAWorkerInsideANestedEventLoopAndReturnsItsValue) {
    UiThreadCalls calls;
    const std::thread::id ui = std::this_thread::get_id();
    std::atomic<bool> secondServed{false};
    std::atomic<bool> firstReturned{false};
    std::thread::id firstRanOn, secondRanOn;
    int value = 0;
    std::thread second;
    std::thread first([&] {
        OnOwnerThread(calls, [&] {
            firstRanOn = std::this_thread::get_id();
            second = std::thread([&] {
                value = OnOwnerThread(calls, [&] {
                    secondRanOn = std::this_thread::get_id();
                    return 42;
                });
                secondServed = true;
            });
            // The nested loop.
            static_cast<void>(QTest::qWaitFor([&] { return secondServed.load(); }, kWaitMs));
        });
        firstReturned = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return firstReturned.load(); }, kWaitMs));
    first.join();
    second.join();
    EXPECT_TRUE(secondServed);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(firstRanOn, ui);
    EXPECT_EQ(secondRanOn, ui);
}

}  // namespace
}  // namespace flashtool::testing
