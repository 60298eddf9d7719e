// The history's lock: runs share it, settling takes it alone and never waits, and a run that
// finds a copy settling waits until it is done.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "history/HistoryLock.h"
#include "tests/history/HistoryFixtures.h"

namespace flashtool {
namespace {

using Mode = HistoryLock::Mode;

TEST(HistoryLockTest, RunsShareTheLockAndSettlingWaitsForNone) {
    testing::TempFolder folder;
    const HistoryPlace place{folder.path / "flashtool", false};
    HistoryLock::Taking first = HistoryLock::Take(place, Mode::Run);
    ASSERT_NE(first.lock, nullptr) << first.error;
    HistoryLock::Taking second = HistoryLock::Take(place, Mode::Run);
    ASSERT_NE(second.lock, nullptr) << second.error;

    HistoryLock::Taking settling = HistoryLock::Take(place, Mode::Settle);
    EXPECT_EQ(settling.lock, nullptr);
    EXPECT_TRUE(settling.busy);
    EXPECT_EQ(settling.error, "");
    first.lock.reset();
    EXPECT_TRUE(HistoryLock::Take(place, Mode::Settle).busy) << "one run still holds it";
    second.lock.reset();
    settling = HistoryLock::Take(place, Mode::Settle);
    EXPECT_NE(settling.lock, nullptr);
    EXPECT_TRUE(HistoryLock::Take(place, Mode::Settle).busy) << "settling is alone";
}

// Real time is what this measures: the run must still be waiting while the copy settles.
TEST(HistoryLockTest, ARunWaitsWhileACopySettles) {
    testing::TempFolder folder;
    const HistoryPlace place{folder.path, false};
    HistoryLock::Taking settling = HistoryLock::Take(place, Mode::Settle);
    ASSERT_NE(settling.lock, nullptr);
    std::atomic<bool> released{false};
    std::atomic<bool> releasedWhenTaken{false};
    std::thread run([&] {
        const HistoryLock::Taking taking = HistoryLock::Take(place, Mode::Run);
        releasedWhenTaken = released.load();
        EXPECT_NE(taking.lock, nullptr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    released = true;
    settling.lock.reset();
    run.join();
    EXPECT_TRUE(releasedWhenTaken);
}

TEST(HistoryLockTest, AFolderThatCannotBeMadeIsAnError) {
    testing::TempFolder folder;
    testing::WriteBytes(folder.path / "taken", "not a folder");
    const HistoryLock::Taking taking =
        HistoryLock::Take(HistoryPlace{folder.path / "taken", false}, Mode::Settle);
    EXPECT_EQ(taking.lock, nullptr);
    EXPECT_FALSE(taking.busy);
    EXPECT_NE(taking.error.find("taken"), std::string::npos) << taking.error;
}

}  // namespace
}  // namespace flashtool
