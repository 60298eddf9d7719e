#include "policy/GatingRevision.h"

#include <optional>

#include "core/FixedText.h"
#include "image/FamilyTraits.h"

namespace flashtool {

namespace {

constexpr size_t kRevisionWidth = 4;

uint8_t Upper(char c) {
    return static_cast<uint8_t>(UpperAscii(c));
}

// Only the positions holding "*" say anything about newer or older; every other position
// must match the pattern exactly.
int CountWildcards(const FixedText<4>& pattern) {
    int count = 0;
    for (const char c : pattern) {
        count += c == '*' ? 1 : 0;
    }
    return count;
}

std::optional<RevisionVerdict> CheckAgainstPattern(const FixedText<4>& p, const FixedText<4>& n,
                                                   const FixedText<4>& d, bool wildcard) {
    for (size_t i = 0; i < kRevisionWidth; ++i) {
        if (p[i] == '*') {
            continue;
        }
        if (p[i] == ' ' && n[i] == '\0' && d[i] == ' ') {
            continue;  // a blank in the pattern where the new revision simply ends
        }
        if (Upper(n[i]) != Upper(p[i])) {
            return RevisionVerdict::PatternMismatch;
        }
        if (Upper(d[i]) != Upper(p[i])) {
            return wildcard ? RevisionVerdict::DriveOlder : RevisionVerdict::PatternMismatch;
        }
    }
    return std::nullopt;
}

}  // namespace

RevisionVerdict CompareRevision(std::string_view pattern, std::string_view newRevision,
                                std::string_view driveRevision, bool downgradesBarred,
                                bool wildcard) {
    const auto p = MakeFixedText<4>(pattern);
    const auto n = MakeFixedText<4>(newRevision);
    const auto d = MakeFixedText<4>(driveRevision);
    const int wildcards = CountWildcards(p);
    if (wildcards == static_cast<int>(kRevisionWidth)) {
        return RevisionVerdict::DriveOlder;
    }
    if (const auto mismatch = CheckAgainstPattern(p, n, d, wildcard)) {
        return *mismatch;
    }
    int equal = 0;
    for (size_t i = 0; i < kRevisionWidth; ++i) {
        const uint8_t newChar = Upper(n[i]);
        const uint8_t driveChar = Upper(d[i]);
        if (p[i] != '*') {
            if (((newChar ^ driveChar) & 0x7F) != 0) {
                return RevisionVerdict::PatternMismatch;
            }
            continue;
        }
        if (driveChar == newChar) {
            if (++equal == wildcards) {
                return RevisionVerdict::SameRevision;
            }
        } else if (driveChar > newChar) {
            return downgradesBarred ? RevisionVerdict::DowngradeBarred
                                    : RevisionVerdict::DriveNewer;
        } else {
            return RevisionVerdict::DriveOlder;
        }
    }
    return RevisionVerdict::DriveOlder;
}

OemRevisionVerdict CheckOemRevision(std::string_view driveRevision, std::string_view boundary,
                                    std::string_view family) {
    const auto d = MakeFixedText<4>(driveRevision);
    const auto r = MakeFixedText<4>(boundary);
    for (size_t i = 0; i < kRevisionWidth; ++i) {
        // The first three positions compare on their low 7 bits, the last on the full byte.
        const uint8_t mask = i < kRevisionWidth - 1 ? 0x7F : 0xFF;
        const uint8_t driveChar = Upper(d[i]) & mask;
        const uint8_t boundaryChar = Upper(r[i]) & mask;
        if (driveChar > boundaryChar) {
            return OemRevisionVerdict::Ahead;
        }
        if (driveChar < boundaryChar) {
            break;
        }
    }
    const auto family6 = MakeFixedText<6>(family);
    switch (TraitsOf(WholeField(family6)).belowBoundary) {
        case BelowBoundary::BarDowngrade:
            return OemRevisionVerdict::BarDowngrade;
        case BelowBoundary::PrepareRecords:
            return OemRevisionVerdict::PrepareRecords;
        case BelowBoundary::Nothing:
            break;
    }
    return OemRevisionVerdict::None;
}

}  // namespace flashtool
