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
#include <optional>
#include <string>
#include <vector>

#include "history/HistoryPlace.h"
#include "history/HistoryRecord.h"

namespace flashtool {

inline constexpr std::string_view kHistoryFileName = "history.jsonl";

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

    // Every whole record. A missing file is an empty history. Only the last kMaxReadBytes of
    // a file are read (far more than any number of runs a computer sees).
    HistoryContents ReadAll() const;

    static constexpr size_t kMaxReadBytes = 16 * 1024 * 1024;

private:
    HistoryPlace place;
};

// The records of a file's bytes (HistoryStore::ReadAll's reading, for a text already read).
HistoryContents ParseHistory(std::string_view bytes);

}  // namespace flashtool
