#pragma once

// The history of runs: one file of records, one a line, only ever appended to.
//
// Why a line-based file appended with fsync, and not a database: a record is written once and
// never changed, and is read back whole at start-up or by --history; the only hazard is a
// write cut short by a crash or a power loss. Appending touches no byte already written, so
// a cut can only damage the last line, and each line's own check (HistoryRecord.h) lets the
// reader recognise that line and skip it. A database would bring a dependency and its own
// file format for what is a few hundred bytes a run, and the file stays readable with any
// text tool.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "history/HistoryPlace.h"
#include "history/HistoryRecord.h"

namespace flashtool {

inline constexpr std::string_view kHistoryFileName = "history.jsonl";

// What a reading of the file found, apart from the records it handed on.
struct HistoryReading {
    uint64_t records = 0;  // whole records
    size_t skipped = 0;    // lines that are not a whole record (cut or damaged)
    uint64_t end = 0;      // the bytes read: a later reading up to here sees the same records
    std::string error;     // the file exists but could not be read (to its end); "" otherwise
};

using HistoryVisitor = std::function<void(const HistoryRecord&)>;

struct HistoryContents {
    std::vector<HistoryRecord> records;  // the whole records, in the order they were written
    size_t skipped = 0;                  // lines that are not a whole record (cut or damaged)
    std::string error;                   // the file exists but could not be read; "" otherwise
};

class HistoryStore {
public:
    explicit HistoryStore(HistoryPlace place) : place(std::move(place)) {}

    // The store of this process's user (HistoryPlace.h); none when there is no place for it.
    static std::optional<HistoryStore> ForThisProcess(std::string_view program = "flashtool");

    const HistoryPlace& Place() const { return place; }
    std::filesystem::path File() const { return place.directory / kHistoryFileName; }

    // Adds the record at the end and returns once it is on the disk; the error, in words,
    // when it could not be written. Any thread; any number of processes.
    std::optional<std::string> Append(const HistoryRecord& record) const;

    // Hands `each` every whole record, in the order they were written, reading the file a
    // block at a time: the memory it takes does not grow with the file. Stops at byte `upTo`
    // when given, so that a second pass over a file that other copies append to sees the
    // records the first one saw, and no more. A missing file is an empty history.
    HistoryReading Read(const HistoryVisitor& each,
                        std::optional<uint64_t> upTo = std::nullopt) const;

    // Every whole record, held in memory (Read, collected): for a history known to be small.
    HistoryContents ReadAll() const;

private:
    HistoryPlace place;
};

// The records of a file's bytes (HistoryStore::ReadAll's reading, for a text already read).
HistoryContents ParseHistory(std::string_view bytes);

}  // namespace flashtool
