// The real Win32 binding of the Windows restart. Compiled only for Windows.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "app/windows/RestartApi.h"
#include "transport/windows/SystemVersion.h"

namespace flashtool {

static_assert(sizeof(OSVERSIONINFOA) == kOsVersionInfoSize);
static_assert(kTokenAdjustAndQuery == (TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY));
static_assert(kSePrivilegeEnabled == SE_PRIVILEGE_ENABLED);
static_assert(kExitWindowsReboot == EWX_REBOOT);
static_assert(kPlatformWin32Nt == VER_PLATFORM_WIN32_NT);

namespace {

class SystemRestartApi final : public RestartApi {
public:
    bool GetVersionExA(Win32Version& version) override { return ReadSystemVersion(version); }

    bool OpenProcessToken(uint32_t access, Win32Handle& token) override {
        HANDLE opened = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), access, &opened)) {
            return false;
        }
        token = reinterpret_cast<Win32Handle>(opened);
        return true;
    }

    bool LookupPrivilegeValueA(const std::string& name, PrivilegeLuid& luid) override {
        LUID found{};
        if (!::LookupPrivilegeValueA(nullptr, name.c_str(), &found)) {
            return false;
        }
        luid = PrivilegeLuid{found.LowPart, found.HighPart};
        return true;
    }

    bool AdjustTokenPrivileges(Win32Handle token, const PrivilegeLuid& luid,
                               uint32_t attributes) override {
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Luid.LowPart = luid.lowPart;
        privileges.Privileges[0].Luid.HighPart = luid.highPart;
        privileges.Privileges[0].Attributes = attributes;
        return ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &privileges, 0,
                                       nullptr, nullptr) != FALSE;
    }

    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override {
        return ::ExitWindowsEx(flags, reason) != FALSE;
    }

    bool CloseHandle(Win32Handle handle) override {
        return ::CloseHandle(reinterpret_cast<HANDLE>(handle)) != FALSE;
    }
};

}  // namespace

std::shared_ptr<RestartApi> MakeSystemRestartApi() {
    return std::make_shared<SystemRestartApi>();
}

}  // namespace flashtool
