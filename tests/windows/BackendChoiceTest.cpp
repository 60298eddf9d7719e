// The choice between the two Windows back-ends, made from the system's version alone.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "support/ScriptedBackend.h"
#include "transport/windows/SptiBackend.h"
#include "transport/windows/WindowsBackend.h"
#include "windows/FakeWin32Api.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;

TEST(WindowsBackendChoiceTest, NtFamilyGetsSptiAndLoadsNothingEveryOtherSystemGetsAspi) {
    struct Case {
        const char* what;
        std::optional<Win32Version> version;
        bool spti;
    };
    const Case cases[] = {
        {"NT 4.0", Win32Version{4, 0, 1381, kPlatformWin32Nt}, true},
        {"NT 5.1", Win32Version{5, 1, 2600, kPlatformWin32Nt}, true},
        {"NT 10.0", Win32Version{10, 0, 19045, kPlatformWin32Nt}, true},
        {"Windows 4.10", Win32Version{4, 10, 2222, 1}, false},
        {"Win32s", Win32Version{3, 10, 0, 0}, false},
        {"version unreadable", std::nullopt, false},
    };
    for (const Case& c : cases) {
        const auto api = std::make_shared<testing::FakeWin32Api>();
        api->version = c.version;
        api->aspiInstalled = false;
        FakeClock clock;
        const std::unique_ptr<PassThroughBackend> backend = MakeWindowsBackend(api, clock);
        EXPECT_EQ(dynamic_cast<SptiBackend*>(backend.get()) != nullptr, c.spti) << c.what;
        // Before Start, which comes after the start-up notice, the system is only asked its
        // version.
        EXPECT_THAT(api->calls, ElementsAre("GetVersionExA")) << c.what;

        testing::RecordingNotifier notifier;
        EXPECT_EQ(backend->Start(notifier), c.spti) << c.what;
        EXPECT_EQ(backend->InquiryLength(), c.spti ? 56 : 36) << c.what;
        EXPECT_EQ(std::count(api->calls.begin(), api->calls.end(),
                             "LoadLibraryA C:\\WINDOWS\\SYSTEM\\WNASPI32.DLL"),
                  c.spti ? 0 : 1)
            << c.what;
    }
}

}  // namespace
}  // namespace flashtool
