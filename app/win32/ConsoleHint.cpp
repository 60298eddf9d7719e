#include "app/win32/ConsoleHint.h"

#include <windows.h>

#include <cstdio>

#include "app/cli/CliOptions.h"
#include "app/win32/WideText.h"

namespace flashtool::win32 {

namespace {

// Whether `handle` leads somewhere: a console, a file or a pipe.
bool Usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

bool WriteTo(HANDLE handle, const std::string& text) {
    DWORD written = 0;
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

}  // namespace

int NoWindowHere(const std::string& program) {
    const std::string text = program + ": no action given; the window is " + program +
                             ".exe.\nTry '" + program + "-cli --help' for more information.\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    return kExitBadUsage;
}

int PointToConsoleProgram(const std::string& program) {
    const std::string line = program + ".exe is the window; the command line is " + program +
                             "-cli.exe (" + program + "-cli --help).";
    // A window program has standard handles only where its starter redirected them (a
    // script, a test); from a console prompt it may join that console.
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (Usable(err) && WriteTo(err, line + "\n")) {
        return kExitBadUsage;
    }
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        const HANDLE console =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        // On a new line: the prompt has already come back, the window program being detached.
        const bool said =
            console != INVALID_HANDLE_VALUE && WriteTo(console, "\r\n" + line + "\r\n");
        if (console != INVALID_HANDLE_VALUE) {
            CloseHandle(console);
        }
        FreeConsole();
        if (said) {
            return kExitBadUsage;
        }
    }
    const std::u16string text = WidenBytes(line);
    const std::u16string title = WidenBytes(program);
    MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(text.c_str()),
                reinterpret_cast<LPCWSTR>(title.c_str()), MB_OK | MB_ICONINFORMATION);
    return kExitBadUsage;
}

}  // namespace flashtool::win32
