// The history's file on Windows: an append-only handle, LockFileEx and FlushFileBuffers.
// The folder is under %LOCALAPPDATA%, whose permissions (the user's alone) it inherits; NTFS
// keeps a new folder entry in its own journal, so there is no folder to flush.

#include <windows.h>

#include <cstdlib>
#include <system_error>

#include "history/HistoryFile.h"
#include "history/HistoryLock.h"

namespace flashtool {

namespace {

std::string Failure(const std::string& what, const std::filesystem::path& path) {
    const DWORD error = GetLastError();
    return what + " " + PathText(path) + ": " +
           std::system_category().message(static_cast<int>(error));
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle(handle) {}
    ~Handle() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

}  // namespace

HistoryEnvironment CurrentHistoryEnvironment() {
    HistoryEnvironment environment;
    environment.windows = true;
    if (const wchar_t* value = _wgetenv(L"FLASHTOOL_HISTORY_DIR"); value != nullptr && *value) {
        environment.historyDir = std::filesystem::path(value);
    }
    if (const wchar_t* value = _wgetenv(L"LOCALAPPDATA"); value != nullptr && *value) {
        environment.localAppData = std::filesystem::path(value);
    }
    return environment;
}

std::optional<std::string> AppendLineDurably(const HistoryPlace& place, std::string_view fileName,
                                             std::string_view line) {
    std::error_code error;
    std::filesystem::create_directories(place.directory, error);
    if (error) {
        return "cannot create " + PathText(place.directory) + ": " + error.message();
    }
    const std::filesystem::path file = place.directory / std::string(fileName);
    // Append data only (no write data): every write goes to the end of the file, whoever
    // else appends.
    const Handle handle(CreateFileW(file.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle.Get() == INVALID_HANDLE_VALUE) {
        return Failure("cannot open", file);
    }
    OVERLAPPED whole{};
    if (!LockFileEx(handle.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        return Failure("cannot lock", file);
    }
    std::string bytes(line);
    LARGE_INTEGER size{};
    if (GetFileSizeEx(handle.Get(), &size) && size.QuadPart > 0) {
        OVERLAPPED at{};
        const ULONGLONG offset = static_cast<ULONGLONG>(size.QuadPart - 1);
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        char last = '\n';
        DWORD read = 0;
        if (ReadFile(handle.Get(), &last, 1, &read, &at) && read == 1 && last != '\n') {
            bytes.insert(bytes.begin(), '\n');
        }
    }
    OVERLAPPED atEnd{};
    atEnd.Offset = MAXDWORD;  // both halves all ones: at the end of the file
    atEnd.OffsetHigh = MAXDWORD;
    DWORD written = 0;
    const bool wrote =
        WriteFile(handle.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, &atEnd) &&
        written == bytes.size();
    std::optional<std::string> failure;
    if (!wrote) {
        failure = Failure("cannot write", file);
    } else if (!FlushFileBuffers(handle.Get())) {
        failure = Failure("cannot sync", file);
    }
    OVERLAPPED unlockWhole{};
    UnlockFileEx(handle.Get(), 0, MAXDWORD, MAXDWORD, &unlockWhole);
    return failure;
}

HistoryLock::Taking HistoryLock::Take(const HistoryPlace& place, Mode mode) {
    Taking taking;
    std::error_code error;
    std::filesystem::create_directories(place.directory, error);
    if (error) {
        taking.error = "cannot create " + PathText(place.directory) + ": " + error.message();
        return taking;
    }
    const std::filesystem::path file = place.directory / std::string(kRunLockFileName);
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        taking.error = Failure("cannot open", file);
        return taking;
    }
    OVERLAPPED whole{};
    const DWORD flags = mode == Mode::Run ? 0 : LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
    if (!LockFileEx(handle, flags, 0, MAXDWORD, MAXDWORD, &whole)) {
        taking.busy = GetLastError() == ERROR_LOCK_VIOLATION;
        if (!taking.busy) {
            taking.error = Failure("cannot lock", file);
        }
        CloseHandle(handle);
        return taking;
    }
    taking.lock = std::make_unique<HistoryLock>(reinterpret_cast<std::intptr_t>(handle));
    return taking;
}

HistoryLock::~HistoryLock() {
    // Closing the handle gives up its locks.
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace flashtool
