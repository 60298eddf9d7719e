// The console events the system hands the command line's interrupt guard, called as the
// system calls the handler (on a thread of its own): what the console programs do with a
// closed console, a logoff or a shutdown, which wine cannot deliver to a process without a
// console window (wine-cli.sh sends the real Ctrl+C). Events that end the program (exit 130)
// are left to wine-cli.sh, which sees the process end.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "app/cli/InterruptGuard.h"

namespace flashtool {
namespace {

// A guard over a write window a run has opened, its lines captured.
class ConsoleEventTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.StayOpenOnceOpened();
        window.Open();
    }

    CapturedDiagnostics err;
    WriteWindow window;
    InterruptGuard guard{err, "flashtool-emulated", window};
};

constexpr const char* kRefusal = "The firmware is being written; it cannot be interrupted now.\n";

TEST_F(ConsoleEventTest, KeysInsideTheWindowAreRefusedWithTheLinuxLine) {
    for (const DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT}) {
        err.Clear();
        EXPECT_TRUE(guard.ConsoleEvent(event)) << event;
        EXPECT_EQ(err.Text(), kRefusal) << event;
    }
}

TEST_F(ConsoleEventTest, OtherEventsAreLeftToTheSystem) {
    EXPECT_FALSE(guard.ConsoleEvent(42));
    EXPECT_EQ(err.Text(), "");
}

// Windows ends the process once a close, logoff or shutdown handler returns: inside the
// write window the handler refuses and never returns, so the run keeps the process.
TEST_F(ConsoleEventTest, ClosingInsideTheWindowIsRefusedAndHeld) {
    for (const DWORD event : {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
        err.Clear();
        auto returned = std::make_shared<std::atomic<bool>>(false);
        // Detached: it never ends, and the test process's end takes it along.
        std::thread([this, event, returned] {
            guard.ConsoleEvent(event);
            returned->store(true);
        }).detach();
        while (err.Text().empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(err.Text(), kRefusal) << event;
        // The refusal is written right before the handler would return: a handler that
        // returns does so well within this.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_FALSE(returned->load()) << event;
    }
}

}  // namespace
}  // namespace flashtool
