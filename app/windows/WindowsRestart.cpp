#include "app/windows/WindowsRestart.h"

namespace flashtool {

WindowsRestart::WindowsRestart(std::shared_ptr<RestartApi> apiIn) : api(std::move(apiIn)) {}

bool WindowsRestart::RequestRestart() {
    Win32Version version;
    if (!api->GetVersionExA(version)) {
        version = Win32Version{};
    }
    // Only NT systems have per-process privileges; the others restart on request.
    if (version.platformId == kPlatformWin32Nt || version.majorVersion >= 5) {
        EnableShutdownPrivilege();
    }
    return api->ExitWindowsEx(kExitWindowsReboot, 0);
}

void WindowsRestart::EnableShutdownPrivilege() {
    // Whether this works is not checked: a restart that still lacks the privilege is
    // refused by ExitWindowsEx, and that refusal is what the caller hears about.
    Win32Handle token = 0;
    if (!api->OpenProcessToken(kTokenAdjustAndQuery, token)) {
        return;
    }
    PrivilegeLuid luid;
    if (api->LookupPrivilegeValueA(kShutdownPrivilege, luid)) {
        api->AdjustTokenPrivileges(token, luid, kSePrivilegeEnabled);
    }
    api->CloseHandle(token);
}

}  // namespace flashtool
