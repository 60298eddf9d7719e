#pragma once

// The few Win32 values that both of the program's Windows seams (the pass-through back-end
// and the system restart) speak in, spelled without the Windows headers so that the logic
// behind the seams builds and is tested on any platform.

#include <cstdint>

namespace flashtool {

// A kernel object handle (HANDLE) as an integer, the way the device table keeps it.
using Win32Handle = std::intptr_t;
constexpr Win32Handle kInvalidHandleValue = -1;

// The answer of GetVersionExA, reduced to what the program looks at.
struct Win32Version {
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = 0;
};

constexpr uint32_t kPlatformWin32Nt = 2;  // VER_PLATFORM_WIN32_NT
// OSVERSIONINFOA: the size the caller writes into its first field.
constexpr uint32_t kOsVersionInfoSize = 148;

}  // namespace flashtool
