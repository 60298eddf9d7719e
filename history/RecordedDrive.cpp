#include "history/RecordedDrive.h"

namespace flashtool {

LastingMatch MatchLasting(std::string_view serialA, std::string_view placeA,
                          std::string_view serialB, std::string_view placeB) {
    // A serial number follows the drive to another port or another computer; a place holds
    // only while the drive stays where it is, so it is compared only without serials.
    if (!serialA.empty() && !serialB.empty()) {
        return serialA == serialB ? LastingMatch::Same : LastingMatch::Other;
    }
    if (!placeA.empty() && !placeB.empty()) {
        return placeA == placeB ? LastingMatch::Same : LastingMatch::Other;
    }
    return LastingMatch::Unknown;
}

bool SameRecordedDrive(const HistoryRecord& a, const HistoryRecord& b) {
    if (a.identification != b.identification) {
        return false;
    }
    switch (MatchLasting(a.serial, a.place, b.serial, b.place)) {
        case LastingMatch::Same:
            return true;
        case LastingMatch::Other:
            return false;
        case LastingMatch::Unknown:
            break;
    }
    return a.node == b.node;
}

}  // namespace flashtool
