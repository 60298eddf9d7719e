#pragma once

// The revision rules of the update gating: whether the drive's firmware revision fits the
// build's pattern and is older than the new one, and where a drive stands against the
// boundary revision of the OEM revision table. Pure functions over fixed-width texts.

#include <cstdint>
#include <string_view>

namespace flashtool {

enum class RevisionVerdict : uint8_t {
    DriveOlder = 1,       // update allowed
    DriveNewer = 2,       // ask the user
    PatternMismatch = 3,  // the revision does not fit the build's pattern
    SameRevision = 4,     // ask the user
    DowngradeBarred = 5,  // drive newer and downgrades barred
};

enum class OemRevisionVerdict : uint8_t {
    None = 0,            // no special handling
    Ahead = 7,           // drive revision ahead of the boundary
    BarDowngrade = 8,    // not ahead, and the family bars downgrades below its boundary
    PrepareRecords = 9,  // not ahead, and the family prepares the model records
};

// `pattern` is the 4 pattern characters of the build's revision pattern (after the brand
// letters), `newRevision` the build's new revision and `driveRevision` the drive's, 4
// characters each (shorter views read as zero-padded). Letters compare upper-cased.
RevisionVerdict CompareRevision(std::string_view pattern, std::string_view newRevision,
                                std::string_view driveRevision, bool downgradesBarred,
                                bool wildcard);

// `boundary` is the 4-character revision of an OEM revision row, `family` the family the
// gating settled on (6 characters are compared).
OemRevisionVerdict CheckOemRevision(std::string_view driveRevision, std::string_view boundary,
                                    std::string_view family);

}  // namespace flashtool
