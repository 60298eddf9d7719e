// The write window every front-end shares: what may end the program asks it first.

#include "core/WriteWindow.h"

#include <gtest/gtest.h>

namespace flashtool {
namespace {

TEST(WriteWindow, NothingEndsTheProgramWhileAnyRunIsInItsWindow) {
    WriteWindow window;
    int closings = 0;
    window.WhenAllClosed([&closings] { ++closings; });
    EXPECT_FALSE(window.AnyOpened());
    window.Open();
    window.Open();  // two drives of --all
    bool ended = false;
    EXPECT_FALSE(window.EndNowUnlessOpen([&](bool) { ended = true; }));
    EXPECT_FALSE(window.TryEnd());
    window.Close();
    EXPECT_TRUE(window.IsOpen());
    EXPECT_EQ(closings, 0);
    window.Close();
    EXPECT_EQ(closings, 1);  // the held-off suspension runs once the last one closes
    bool anyOpened = false;
    EXPECT_TRUE(window.EndNowUnlessOpen([&](bool any) {
        ended = true;
        anyOpened = any;
    }));
    EXPECT_TRUE(ended);
    EXPECT_TRUE(anyOpened);
}

// The command line: once a drive has been written, the closing lines, the document and the
// exit status are the run's too.
TEST(WriteWindow, KeptOpenAfterTheRunsCloseTheirs) {
    WriteWindow window;
    window.StayOpenOnceOpened();
    window.Open();
    window.Close();
    EXPECT_TRUE(window.IsOpen());
    EXPECT_FALSE(window.EndNowUnlessOpen([](bool) {}));
}

TEST(WriteWindow, FinishingRefusesTheEndWithoutAnyWindowOpen) {
    WriteWindow window;
    window.Finishing();
    EXPECT_TRUE(window.IsFinishing());
    EXPECT_FALSE(window.IsOpen());
    EXPECT_FALSE(window.EndNowUnlessOpen([](bool) { FAIL() << "ended while finishing"; }));
}

}  // namespace
}  // namespace flashtool
