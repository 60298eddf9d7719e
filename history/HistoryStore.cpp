#include "history/HistoryStore.h"

#include <array>
#include <fstream>
#include <mutex>

#include "history/HistoryFile.h"
#include "history/JsonBounds.h"

namespace flashtool {

namespace {

// Splits the bytes fed to it into lines and hands on each line's record, keeping no more
// than one line of a record's bounded length: a longer line cannot be a record, and is
// passed over as damaged without being held.
class RecordLines {
public:
    RecordLines(const HistoryVisitor& each, HistoryReading& reading)
        : each(each), reading(reading) {}

    void Feed(std::string_view bytes) {
        while (!bytes.empty()) {
            const size_t end = bytes.find('\n');
            Keep(bytes.substr(0, end));
            if (end == std::string_view::npos) {
                return;
            }
            EndLine();
            bytes.remove_prefix(end + 1);
        }
    }

    // The last line may lack its '\n' when a write was cut just before it: its check says
    // whether the record is whole. The next append ends that line first.
    void Finish() { EndLine(); }

private:
    void Keep(std::string_view part) {
        if (overlong || part.empty()) {
            return;
        }
        if (line.size() + part.size() > kMaxJsonObjectLength) {
            overlong = true;
            line.clear();
            return;
        }
        line += part;
    }

    void EndLine() {
        if (overlong) {
            ++reading.skipped;
        } else if (!line.empty()) {
            if (const std::optional<HistoryRecord> record = ParseHistoryLine(line)) {
                ++reading.records;
                each(*record);
            } else {
                ++reading.skipped;
            }
        }
        line.clear();
        overlong = false;
    }

    const HistoryVisitor& each;
    HistoryReading& reading;
    std::string line;
    bool overlong = false;
};

}  // namespace

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

HistoryReading HistoryStore::Read(const HistoryVisitor& each, std::optional<uint64_t> upTo) const {
    HistoryReading reading;
    std::error_code error;
    if (!std::filesystem::exists(File(), error)) {
        return reading;
    }
    std::ifstream in(File(), std::ios::binary);
    if (!in) {
        reading.error = "cannot read the history";
        return reading;
    }
    RecordLines lines(each, reading);
    std::array<char, 64 * 1024> block{};
    while (!upTo || reading.end < *upTo) {
        const uint64_t wanted =
            upTo ? std::min<uint64_t>(block.size(), *upTo - reading.end) : block.size();
        in.read(block.data(), static_cast<std::streamsize>(wanted));
        const auto got = static_cast<size_t>(in.gcount());
        reading.end += got;
        lines.Feed(std::string_view(block.data(), got));
        if (!in) {
            if (!in.eof()) {
                reading.error = "cannot read the history to its end";
            }
            break;
        }
    }
    lines.Finish();
    return reading;
}

HistoryContents HistoryStore::ReadAll() const {
    HistoryContents contents;
    const HistoryReading reading =
        Read([&](const HistoryRecord& record) { contents.records.push_back(record); });
    contents.skipped = reading.skipped;
    contents.error = reading.error;
    return contents;
}

HistoryContents ParseHistory(std::string_view bytes) {
    HistoryContents contents;
    HistoryReading reading;
    const HistoryVisitor keep = [&](const HistoryRecord& record) {
        contents.records.push_back(record);
    };
    RecordLines lines(keep, reading);
    lines.Feed(bytes);
    lines.Finish();
    contents.skipped = reading.skipped;
    return contents;
}

}  // namespace flashtool
