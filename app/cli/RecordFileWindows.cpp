// Where --record writes on Windows: a new file moved into place whole (a move that replaces
// nothing), or an empty one filled by appending.

#include <windows.h>

#include <filesystem>
#include <string_view>
#include <system_error>

#include "app/cli/RecordFile.h"

namespace flashtool {

namespace {

std::string CannotBeWritten(DWORD error) {
    return "cannot be written: " + std::system_category().message(static_cast<int>(error));
}

// The path as the system takes it: the command line's bytes in the process's code page.
std::wstring Wide(const std::string& path) {
    return std::filesystem::path(path).wstring();
}

bool WriteAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

std::optional<uint64_t> SizeOf(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(size.QuadPart);
}

constexpr std::string_view kNeverReplaced =
    "a recording is never replaced (remove it, or name another file)";

}  // namespace

std::optional<std::string> RefusesFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return std::nullopt;
    }
    if (error) {
        return "cannot be checked: " + error.message();
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return "exists and is not a regular file";
    }
    if (std::filesystem::file_size(path, error) != 0 || error) {
        return "exists and is not empty; " + std::string(kNeverReplaced);
    }
    return std::nullopt;
}

std::optional<std::string> WriteNew(const std::string& path, const std::string& text) {
    const std::wstring target = Wide(path);
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    // A name of its own beside the target: CREATE_NEW never opens one that is there.
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(attempt) + L".tmp";
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return CannotBeWritten(GetLastError());
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return CannotBeWritten(ERROR_FILE_EXISTS);
    }
    DWORD error = ERROR_SUCCESS;
    if (!WriteAll(file, text) || !FlushFileBuffers(file)) {
        // A write that moved nothing sets no error; it failed all the same.
        error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
    }
    CloseHandle(file);
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    DeleteFileW(temporary.c_str());
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return "appeared while the drives were read; " + std::string(kNeverReplaced);
    }
    if (error != ERROR_SUCCESS) {
        return CannotBeWritten(error);
    }
    return std::nullopt;
}

std::optional<std::string> FillEmpty(const std::string& path, const std::string& text) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return CannotBeWritten(GetLastError());
    }
    std::optional<std::string> problem;
    const std::optional<uint64_t> before = SizeOf(file);
    if (!before) {
        problem = CannotBeWritten(GetLastError());
    } else if (GetFileType(file) != FILE_TYPE_DISK || *before != 0) {
        problem = "is no longer an empty file; " + std::string(kNeverReplaced);
    } else if (!WriteAll(file, text) || !FlushFileBuffers(file)) {
        problem = CannotBeWritten(GetLastError());
    } else if (SizeOf(file) != std::optional<uint64_t>(text.size())) {
        problem = "was written to by another program at the same time; check it";
    }
    CloseHandle(file);
    return problem;
}

}  // namespace flashtool
