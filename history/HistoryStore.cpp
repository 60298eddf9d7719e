#include "history/HistoryStore.h"

#include <fstream>
#include <mutex>

#include "history/HistoryFile.h"

namespace flashtool {

std::optional<HistoryStore> HistoryStore::ForThisProcess(std::string_view program) {
    std::optional<HistoryPlace> place = HistoryPlaceFor(CurrentHistoryEnvironment(), program);
    if (!place) {
        return std::nullopt;
    }
    return HistoryStore(std::move(*place));
}

std::optional<std::string> HistoryStore::Append(const HistoryRecord& record) const {
    // The file lock keeps processes apart; this keeps the threads of this one apart too, on
    // every platform and file system, whatever the lock does between two handles of one
    // process.
    static std::mutex appending;
    const std::string line = HistoryLine(record);
    std::lock_guard lock(appending);
    return AppendLineDurably(place, kHistoryFileName, line);
}

HistoryContents HistoryStore::ReadAll() const {
    HistoryContents contents;
    std::error_code error;
    if (!std::filesystem::exists(File(), error)) {
        return contents;
    }
    std::ifstream in(File(), std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (!in || size < 0) {
        contents.error = "cannot read the history";
        return contents;
    }
    const std::streamoff start =
        size > static_cast<std::streamoff>(kMaxReadBytes) ? size - kMaxReadBytes : 0;
    std::string bytes(static_cast<size_t>(size - start), '\0');
    in.seekg(start);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in) {
        contents.error = "cannot read the history";
        return contents;
    }
    if (start > 0) {
        // The first line read is most likely a record's tail: skip it.
        const size_t end = bytes.find('\n');
        bytes.erase(0, end == std::string::npos ? bytes.size() : end + 1);
        contents = ParseHistory(bytes);
        ++contents.skipped;
        return contents;
    }
    return ParseHistory(bytes);
}

HistoryContents ParseHistory(std::string_view bytes) {
    HistoryContents contents;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        const std::string_view line = bytes.substr(0, end);
        // The last line may lack its '\n' when a write was cut just before it: its check says
        // whether the record is whole. The next append ends that line first.
        const bool ended = end != std::string_view::npos;
        if (!line.empty()) {
            std::optional<HistoryRecord> record = ParseHistoryLine(line);
            if (record) {
                contents.records.push_back(std::move(*record));
            } else {
                ++contents.skipped;
            }
        }
        bytes.remove_prefix(ended ? end + 1 : bytes.size());
    }
    return contents;
}

}  // namespace flashtool
