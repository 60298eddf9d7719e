// The worker's way to the window's thread: a call sent from another thread runs on the
// window's thread, in order, and returns its value; the sender waits for it while the
// window's thread is inside a message loop of its own (a message box's, in the program).

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "app/win32/WindowThreadCall.h"

namespace flashtool::win32 {
namespace {

LRESULT CALLBACK ServeCalls(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunOnWindowThreadMessage) {
        RunSentCall(lParam);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window on the test's thread, standing for the dialog.
class WindowThreadCallTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ServeCalls;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"WindowThreadCallTest";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, L"WindowThreadCallTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        windowThread = GetCurrentThreadId();
    }
    void TearDown() override { DestroyWindow(window); }

    // The window's thread serves messages until `done`, as a modal loop would.
    void ServeUntil(const std::atomic<bool>& done) {
        MSG message;
        while (!done.load()) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    HWND window = nullptr;
    DWORD windowThread = 0;
};

TEST_F(WindowThreadCallTest, CallsFromAWorkerRunOnTheWindowThreadInOrderWithTheirResults) {
    std::vector<DWORD> ranOn;
    std::vector<int> results;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            results.push_back(OnWindowThread(window, windowThread, [&ranOn, i] {
                ranOn.push_back(GetCurrentThreadId());
                return i * 3;
            }));
        }
        OnWindowThread(window, windowThread, [&ranOn] { ranOn.push_back(GetCurrentThreadId()); });
        done = true;
    });
    ServeUntil(done);
    worker.join();
    ASSERT_EQ(ranOn.size(), 21u);
    for (DWORD thread : ranOn) {
        EXPECT_EQ(thread, windowThread);
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(results[static_cast<size_t>(i)], i * 3);
    }
}

TEST_F(WindowThreadCallTest, ACallOnTheWindowThreadRunsAtOnceWithoutAMessage) {
    // No message loop runs here: a sent message to itself would also run at once, but a
    // posted one never would; the call must not depend on either.
    EXPECT_EQ(OnWindowThread(window, windowThread, [] { return 7; }), 7);
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, window, 0, 0, PM_NOREMOVE));
}

TEST_F(WindowThreadCallTest, BeforeTheWindowExistsACallRunsOnTheCallersThread) {
    DWORD caller = 0;
    DWORD ranOn = 0;
    std::thread other([&] {
        caller = GetCurrentThreadId();
        OnWindowThread(nullptr, windowThread, [&] { ranOn = GetCurrentThreadId(); });
    });
    other.join();
    EXPECT_NE(caller, windowThread);
    EXPECT_EQ(ranOn, caller);
}

}  // namespace
}  // namespace flashtool::win32
