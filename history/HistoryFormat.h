#pragma once

// What --history prints: the records as text, one line each, or as one JSON array.

#include <span>
#include <string>

#include "history/HistoryRecord.h"
#include "history/HistoryStore.h"

namespace flashtool {

// One line per record, oldest first, runs still pending marked so; a run's mark only where
// its run never ended (else the run's own record tells it). A last line says how many
// damaged lines were skipped, when any were. "No runs recorded." for an empty history.
std::string HistoryText(const HistoryContents& contents);

// One JSON array of objects, one per record shown as text is, oldest first, each
// '\n'-separated.
std::string HistoryJson(std::span<const HistoryRecord> records);

// What a resolution settled its run as: "verified", "failed" or "other".
std::string_view ResolutionName(const HistoryRecord& resolution);

}  // namespace flashtool
