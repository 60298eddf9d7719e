#pragma once

// The Win32 calls of the Windows restart, behind a small interface: the real binding
// (SystemRestartApi.cpp) is compiled only for Windows; tests script a fake, so no test ever
// restarts the machine.

#include <cstdint>
#include <memory>
#include <string>

#include "transport/windows/Win32Types.h"

namespace flashtool {

// A locally unique identifier, as LookupPrivilegeValueA fills it.
struct PrivilegeLuid {
    uint32_t lowPart = 0;
    int32_t highPart = 0;
    friend bool operator==(const PrivilegeLuid&, const PrivilegeLuid&) = default;
};

constexpr uint32_t kTokenAdjustAndQuery = 0x28;  // TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY
constexpr uint32_t kSePrivilegeEnabled = 2;
constexpr uint32_t kExitWindowsReboot = 2;
inline constexpr char kShutdownPrivilege[] = "SeShutdownPrivilege";

class RestartApi {
public:
    virtual ~RestartApi() = default;
    // GetVersionExA with an OSVERSIONINFOA of kOsVersionInfoSize bytes; false when it fails.
    virtual bool GetVersionExA(Win32Version& version) = 0;
    // OpenProcessToken of the current process; false when it fails.
    virtual bool OpenProcessToken(uint32_t access, Win32Handle& token) = 0;
    // LookupPrivilegeValueA on the local system; false when it fails.
    virtual bool LookupPrivilegeValueA(const std::string& name, PrivilegeLuid& luid) = 0;
    // AdjustTokenPrivileges with one privilege and these attributes, no previous state.
    virtual bool AdjustTokenPrivileges(Win32Handle token, const PrivilegeLuid& luid,
                                       uint32_t attributes) = 0;
    virtual bool ExitWindowsEx(uint32_t flags, uint32_t reason) = 0;
    virtual bool CloseHandle(Win32Handle handle) = 0;
};

// The real binding; exists only in a Windows build.
std::shared_ptr<RestartApi> MakeSystemRestartApi();

}  // namespace flashtool
