#include "tools/fwpack/ReleaseNotes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tools/fwpack/TextRecords.h"

namespace flashtool {

namespace {

// "Fri, 15 Jan 2027 12:00:00 +0000" for a real day of "YYYY-MM-DD"; nothing otherwise.
std::optional<std::string> ChangelogDate(std::string_view text) {
    const bool shaped = text.size() == 10 && text[4] == '-' && text[7] == '-' &&
                        std::all_of(text.begin(), text.end(),
                                    [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
    if (!shaped) {
        return std::nullopt;
    }
    const auto number = [&text](size_t at, size_t length) {
        return static_cast<unsigned>(*ParseNumber(text.substr(at, length)));
    };
    const std::chrono::year_month_day day{std::chrono::year(static_cast<int>(number(0, 4))),
                                          std::chrono::month(number(5, 2)),
                                          std::chrono::day(number(8, 2))};
    if (!day.ok()) {
        return std::nullopt;
    }
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::chrono::weekday weekday{std::chrono::sys_days(day)};
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%s, %02u %s %04d 12:00:00 +0000",
                  kDays[weekday.c_encoding()], static_cast<unsigned>(day.day()),
                  kMonths[static_cast<unsigned>(day.month()) - 1], static_cast<int>(day.year()));
    return std::string(buffer);
}

}  // namespace

ParsedReleaseNotes ParseReleaseNotes(std::string_view text, std::string_view fileName) {
    ParsedReleaseNotes result;
    ReleaseNotes notes;
    bool dated = false;
    bool inNote = false;
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const auto bad = std::find_if(line.begin(), line.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E;
        });
        if (bad != line.end()) {
            result.error = RecordError(fileName, lineNumber,
                                       "the notes are printable ASCII: a tab, a control "
                                       "character or a byte above 0x7E is in the line");
            return result;
        }
        if (line.size() > kMaxReleaseNoteLine) {
            result.error = RecordError(
                fileName, lineNumber,
                "the line has " + std::to_string(line.size()) + " characters, more than " +
                    std::to_string(kMaxReleaseNoteLine) + ": break it (a note may take lines)");
            return result;
        }
        const bool blank = line.find_first_not_of(' ') == std::string_view::npos;
        if (blank) {
            inNote = false;
        } else if (!dated) {
            const std::optional<std::string> date = ChangelogDate(line);
            if (!date) {
                result.error = RecordError(fileName, lineNumber,
                                           "the first line is the release date, YYYY-MM-DD "
                                           "(a real day), not \"" +
                                               std::string(line) + "\"");
                return result;
            }
            notes.date = std::string(line);
            notes.changelogDate = *date;
            dated = true;
        } else {
            if (!inNote) {
                notes.notes.emplace_back();
            }
            const size_t first = line.find_first_not_of(' ');
            notes.notes.back().emplace_back(line.substr(first));
            inNote = true;
        }
    }
    if (!dated || notes.notes.empty()) {
        result.error = std::string(fileName) +
                       (dated ? ": no note after the date: a release says what it changes"
                              : ": empty: the first line is the release date, YYYY-MM-DD");
        return result;
    }
    result.notes = std::move(notes);
    return result;
}

}  // namespace flashtool
