// The process's terminal on Windows: a console, asked through its handles. Standard streams
// that are files or pipes (a script's redirection, a remote shell) are no console, and get
// what a pipe gets on Linux: no question asked there, no line drawn in place.

#include <windows.h>

#include <iostream>
#include <string>
#include <string_view>

#include "app/cli/Terminal.h"

namespace flashtool {

namespace {

bool IsConsole(DWORD stream) {
    DWORD mode = 0;
    const HANDLE handle = GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// A line typed on the console, in UTF-8. Ctrl+C while the line is typed ends the read with
// nothing: the interrupt guard decides what that means, and the question keeps waiting.
std::optional<std::string> ReadConsoleLine(HANDLE input) {
    std::wstring line;
    for (;;) {
        wchar_t chunk[256];
        DWORD read = 0;
        if (!ReadConsoleW(input, chunk, static_cast<DWORD>(std::size(chunk)), &read, nullptr)) {
            // A Ctrl+C aborts the read: it is no end of input, or the program would take it
            // for an unanswered question while the guard decides.
            if (GetLastError() == ERROR_OPERATION_ABORTED) {
                continue;
            }
            return std::nullopt;
        }
        line.append(chunk, read);
        // Ctrl+Z at the start of a line is the console's end of input.
        if (!line.empty() && line.front() == L'\x1a') {
            return std::nullopt;
        }
        if (line.find(L'\n') != std::wstring::npos) {
            break;
        }
    }
    line.erase(line.find_first_of(L"\r\n"));
    if (line.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
}

}  // namespace

bool ProcessTerminal::Interactive() const {
    return IsConsole(STD_INPUT_HANDLE);
}

bool ProcessTerminal::DrawsProgress() const {
    if (!mayDraw || !IsConsole(STD_OUTPUT_HANDLE)) {
        return false;
    }
    // The status line is drawn with the same control sequences as on a Linux terminal; a
    // console that cannot take them (before Windows 10) gets plain lines.
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(output, &mode) &&
           ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
            SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING));
}

unsigned ProcessTerminal::Columns() const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info) &&
        info.srWindow.Right >= info.srWindow.Left) {
        return static_cast<unsigned>(info.srWindow.Right - info.srWindow.Left + 1);
    }
    return ColumnsFromEnvironment();
}

std::optional<std::string> ProcessTerminal::ReadLine() {
    if (IsConsole(STD_INPUT_HANDLE)) {
        return ReadConsoleLine(GetStdHandle(STD_INPUT_HANDLE));
    }
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    // A file written on Windows ends its lines in CR LF.
    if (line.ends_with('\r')) {
        line.pop_back();
    }
    return line;
}

bool ProcessTerminal::OutputIsAnswerTerminal() const {
    // A process has at most one console: both on it means the same one.
    return IsConsole(STD_OUTPUT_HANDLE) && IsConsole(STD_INPUT_HANDLE);
}

void ProcessTerminal::WriteToAnswerTerminal(std::string_view text) {
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        StderrDiagnostics().Write(text);
        return;
    }
    for (size_t done = 0; done < text.size();) {
        DWORD written = 0;
        if (!WriteFile(console, text.data() + done, static_cast<DWORD>(text.size() - done),
                       &written, nullptr) ||
            written == 0) {
            break;
        }
        done += written;
    }
    CloseHandle(console);
}

bool StandardErrorIsTerminal() {
    return IsConsole(STD_ERROR_HANDLE);
}

}  // namespace flashtool
