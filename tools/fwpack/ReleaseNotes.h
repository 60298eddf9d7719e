#pragma once

// A build's release notes, as a vendor writes them (the build's `release-notes` file):
//
//   2027-01-15
//
//   Reads 8 cm discs again.
//
//   Writes DVD+R DL discs faster; the drive's fan
//   runs more quietly while it does.
//
// The first line that is not blank is the release date, YYYY-MM-DD; each paragraph after it
// (lines up to a blank line) is one note. The package's changelog and the software centres'
// release entry are made from them, so the text is printable ASCII in lines of at most 72
// characters (a changelog's lines, indented, stay under 80).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flashtool {

inline constexpr size_t kMaxReleaseNoteLine = 72;

struct ReleaseNotes {
    std::string date;           // "2027-01-15"
    std::string changelogDate;  // "Fri, 15 Jan 2027 12:00:00 +0000", as a changelog dates it
    std::vector<std::vector<std::string>> notes;  // each note's lines, as written
};

struct ParsedReleaseNotes {
    std::optional<ReleaseNotes> notes;
    std::string error;  // "file:line: what is wrong", or "file: what is missing"
};

ParsedReleaseNotes ParseReleaseNotes(std::string_view text, std::string_view fileName);

}  // namespace flashtool
