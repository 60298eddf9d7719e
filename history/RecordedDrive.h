#pragma once

// Which drive a record of the history is of. Node names ("/dev/sg1") are given out anew at
// every start of the system, and a platform without them (Windows, the emulated drives)
// cannot tell two drives of one model apart by them at all. So a record also keeps what
// outlasts a restart: the unit serial number the drive reports (INQUIRY VPD page 0x80), and
// its place on its bus as the system names it. Records written before they were kept have
// neither, and are matched by their node, as they always were.

#include <string_view>

#include "history/HistoryRecord.h"

namespace flashtool {

// What the lasting marks of two drives say, identification apart.
enum class LastingMatch : uint8_t {
    Same,     // the serial numbers agree, or (where either lacks one) the places do
    Other,    // they disagree
    Unknown,  // they share no mark to compare: fall back on the node
};

// The serial numbers where both have one, else the places where both have one.
LastingMatch MatchLasting(std::string_view serialA, std::string_view placeA,
                          std::string_view serialB, std::string_view placeB);

// True when two records are of the same drive: the same identification, and the same
// lasting marks, or (where they share none) the same node.
bool SameRecordedDrive(const HistoryRecord& a, const HistoryRecord& b);

}  // namespace flashtool
