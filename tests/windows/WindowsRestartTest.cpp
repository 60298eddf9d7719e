// The Windows restart, through a fake of its Win32 calls: nothing here restarts anything.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/windows/WindowsRestart.h"
#include "windows/FakeRestartApi.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;
using testing::FakeRestartApi;

const std::vector<std::string> kWithPrivilege = {
    "GetVersionExA",
    "OpenProcessToken 28",
    "LookupPrivilegeValueA SeShutdownPrivilege",
    "AdjustTokenPrivileges 44 19:0 2",
    "CloseHandle 44",
    "ExitWindowsEx 2 0",
};
const std::vector<std::string> kWithoutPrivilege = {"GetVersionExA", "ExitWindowsEx 2 0"};

TEST(WindowsRestartTest, EnablesTheShutdownPrivilegeWhereTheSystemHasOneThenRestarts) {
    struct Case {
        const char* what;
        std::optional<Win32Version> version;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"NT 4", Win32Version{4, 0, 1381, 2}, kWithPrivilege},
        {"XP", Win32Version{5, 1, 2600, 2}, kWithPrivilege},
        {"98", Win32Version{4, 10, 2222, 1}, kWithoutPrivilege},
        {"major 5 on another platform", Win32Version{5, 0, 0, 1}, kWithPrivilege},
        {"version unknown", std::nullopt, kWithoutPrivilege},
    };
    for (const Case& c : cases) {
        auto api = std::make_shared<FakeRestartApi>();
        api->version = c.version;
        WindowsRestart restart(api);
        EXPECT_TRUE(restart.RequestRestart()) << c.what;
        EXPECT_EQ(api->calls, c.calls) << c.what;
    }
}

TEST(WindowsRestartTest, RestartIsStillAskedForWhenThePrivilegeCannotBeHad) {
    auto api = std::make_shared<FakeRestartApi>();
    api->tokenOpens = false;
    EXPECT_TRUE(WindowsRestart(api).RequestRestart());
    EXPECT_THAT(api->calls,
                ElementsAre("GetVersionExA", "OpenProcessToken 28", "ExitWindowsEx 2 0"));

    api->calls.clear();
    api->tokenOpens = true;
    api->privilegeKnown = false;
    EXPECT_TRUE(WindowsRestart(api).RequestRestart());
    EXPECT_THAT(api->calls, ElementsAre("GetVersionExA", "OpenProcessToken 28",
                                        "LookupPrivilegeValueA SeShutdownPrivilege",
                                        "CloseHandle 44", "ExitWindowsEx 2 0"));
}

TEST(WindowsRestartTest, RefusedRestartIsReportedAsFailure) {
    auto api = std::make_shared<FakeRestartApi>();
    api->restartAccepted = false;
    EXPECT_FALSE(WindowsRestart(api).RequestRestart());
    EXPECT_EQ(api->calls, kWithPrivilege);
}

}  // namespace
}  // namespace flashtool
