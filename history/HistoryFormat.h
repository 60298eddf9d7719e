#pragma once

// What --history prints: the records as text, one line each, or as JSON objects, one per
// record. Each record's line or object is made on its own, beside a PendingTracker that has
// seen the whole history first, so that a history of any length is printed a record at a
// time. Every text that came from a drive or from the file is shown escaped (ShownText) in
// the text form, and JSON-quoted in the other.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "history/HistoryRecord.h"
#include "history/HistoryStore.h"
#include "history/PendingRuns.h"

namespace flashtool {

// The record at `index` as a line of text ('\n' included): runs still pending marked so; a
// run's mark only where its run never ended (else the run's own record tells it), "" for
// the others. `tracker` has seen every record.
std::string HistoryTextLine(const HistoryRecord& record, uint64_t index,
                            const PendingTracker& tracker);

// What follows the lines: "No runs recorded." for an empty history, and how many damaged
// lines were skipped, when any were.
std::string HistoryTextEnd(uint64_t records, size_t skipped);

// The record at `index` as one JSON object, for the same records as the text shows; "" for
// the others.
std::string HistoryJsonObject(const HistoryRecord& record, uint64_t index,
                              const PendingTracker& tracker);

// The whole text of a history held in memory: the lines, then the end.
std::string HistoryText(const HistoryContents& contents);

// One JSON array of the objects of a history held in memory, oldest first, each
// '\n'-separated.
std::string HistoryJson(std::span<const HistoryRecord> records);

// What a resolution settled its run as: "verified", "failed" or "other".
std::string_view ResolutionName(const HistoryRecord& resolution);

}  // namespace flashtool
