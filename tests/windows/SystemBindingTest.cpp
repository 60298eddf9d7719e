// The real Win32 bindings of a Windows build, run under Windows or wine. Only calls that
// touch no drive and change nothing: no volume is opened, nothing is restarted.

#include <gtest/gtest.h>

#include "app/windows/RestartApi.h"
#include "support/ScriptedBackend.h"
#include "transport/windows/SptiBackend.h"

namespace flashtool {
namespace {

TEST(SystemWin32ApiTest, AnswersTheCallsTheBackEndMakes) {
    const std::shared_ptr<Win32Api> api = MakeSystemWin32Api();
    Win32Version version;
    ASSERT_TRUE(api->GetVersionExA(version));
    EXPECT_EQ(version.platformId, kPlatformWin32Nt);

    const std::string folder = api->GetSystemDirectoryA();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(api->LoadLibraryA(folder + "\\no-such-library-here.dll"), 0);
    const Win32Module kernel = api->LoadLibraryA(folder + "\\kernel32.dll");
    ASSERT_NE(kernel, 0);
    EXPECT_NE(api->GetProcAddress(kernel, "GetVersionExA"), nullptr);
    EXPECT_EQ(api->GetProcAddress(kernel, "NoSuchEntryPoint"), nullptr);
    EXPECT_TRUE(api->FreeLibrary(kernel));

    const Win32Handle event = api->CreateEventA(true, false);
    ASSERT_NE(event, 0);
    EXPECT_EQ(api->WaitForSingleObject(event, 0), kWaitTimeout);
    EXPECT_TRUE(api->CloseHandle(event));

    uint32_t returned = 0;
    std::array<uint8_t, 8> block{};
    EXPECT_FALSE(api->DeviceIoControl(0, kIoctlScsiPassThroughDirect, block.data(), 8, block.data(),
                                      8, returned));
    EXPECT_NE(api->GetLastError(), 0u);
}

TEST(SystemWin32ApiTest, BackEndChoosesSptiOnThisSystem) {
    FakeClock clock;
    testing::RecordingNotifier notifier;
    const std::unique_ptr<PassThroughBackend> backend =
        MakeWindowsBackend(MakeSystemWin32Api(), clock);
    EXPECT_NE(dynamic_cast<SptiBackend*>(backend.get()), nullptr);
    EXPECT_TRUE(backend->Start(notifier));
    EXPECT_EQ(backend->InquiryLength(), 56);
}

TEST(SystemRestartApiTest, FindsTheShutdownPrivilegeWithoutUsingIt) {
    const std::shared_ptr<RestartApi> api = MakeSystemRestartApi();
    Win32Version version;
    ASSERT_TRUE(api->GetVersionExA(version));
    EXPECT_EQ(version.platformId, kPlatformWin32Nt);
    Win32Handle token = 0;
    ASSERT_TRUE(api->OpenProcessToken(kTokenAdjustAndQuery, token));
    PrivilegeLuid luid;
    EXPECT_TRUE(api->LookupPrivilegeValueA(kShutdownPrivilege, luid));
    EXPECT_NE(luid, PrivilegeLuid{});
    EXPECT_TRUE(api->CloseHandle(token));
}

}  // namespace
}  // namespace flashtool
