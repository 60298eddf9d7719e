#pragma once

// A folder of its own for each test, removed afterwards, and the records the history tests
// write.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "history/HistoryRecord.h"

namespace flashtool::testing {

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path = std::filesystem::temp_directory_path() /
               ("flashtool-history-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path path;
};

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline constexpr const char* kTarget = "ORIN    DVD RW QV-5500A ";

// A run on the target at `node` that confirmed the update, `after` as given.
inline HistoryRecord UpdatedRun(std::string node, RevisionAfterRun after,
                                std::string time = "2025-06-01T10:20:30Z") {
    HistoryRecord record;
    record.time = std::move(time);
    record.programVersion = "0.1";
    record.firmwareRevision = "1.0e";
    record.identification = kTarget;
    record.node = std::move(node);
    record.revisionBefore = "1.0d";
    record.ending = RunEndingKind::Updated;
    record.after = after;
    record.revisionAfter = after == RevisionAfterRun::New ? "1.0e" : "1.0d";
    return record;
}

}  // namespace flashtool::testing
