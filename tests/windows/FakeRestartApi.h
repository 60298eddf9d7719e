#pragma once

// A scriptable stand-in for the Win32 calls of the Windows restart; records them in order.

#include <optional>
#include <string>
#include <vector>

#include "app/windows/RestartApi.h"
#include "core/Format.h"

namespace flashtool::testing {

class FakeRestartApi final : public RestartApi {
public:
    std::optional<Win32Version> version = Win32Version{5, 1, 2600, kPlatformWin32Nt};
    bool tokenOpens = true;
    bool privilegeKnown = true;
    bool restartAccepted = true;
    std::vector<std::string> calls;

    bool GetVersionExA(Win32Version& out) override {
        calls.push_back("GetVersionExA");
        if (version) {
            out = *version;
        }
        return version.has_value();
    }
    bool OpenProcessToken(uint32_t access, Win32Handle& token) override {
        calls.push_back(FormatText("OpenProcessToken %X", access));
        if (tokenOpens) {
            token = 0x44;
        }
        return tokenOpens;
    }
    bool LookupPrivilegeValueA(const std::string& name, PrivilegeLuid& luid) override {
        calls.push_back("LookupPrivilegeValueA " + name);
        if (privilegeKnown) {
            luid = PrivilegeLuid{19, 0};
        }
        return privilegeKnown;
    }
    bool AdjustTokenPrivileges(Win32Handle token, const PrivilegeLuid& luid,
                               uint32_t attributes) override {
        calls.push_back(FormatText("AdjustTokenPrivileges %X %u:%d %u",
                                   static_cast<unsigned>(token), luid.lowPart, luid.highPart,
                                   attributes));
        return true;
    }
    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override {
        calls.push_back(FormatText("ExitWindowsEx %u %u", flags, reason));
        return restartAccepted;
    }
    bool CloseHandle(Win32Handle handle) override {
        calls.push_back(FormatText("CloseHandle %X", static_cast<unsigned>(handle)));
        return true;
    }
};

}  // namespace flashtool::testing
