#pragma once

// The line format of the build's text files: one record a line, columns separated by
// blanks, a column holding blanks written in double quotes, blank lines and lines
// beginning with # skipped. Errors name the file and the line.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flashtool {

struct TextRecord {
    size_t line = 0;
    std::vector<std::string> columns;
};

struct TextRecords {
    std::vector<TextRecord> records;
    std::string error;      // "file:line: what is wrong"; empty when the text is well formed
    size_t errorLine = 0;   // the line of `error`
    std::string errorText;  // `error` without the file and line
};

TextRecords ParseTextRecords(std::string_view text, std::string_view fileName);

// "file:line: message".
std::string RecordError(std::string_view fileName, size_t line, std::string_view message);

// A decimal or 0x-prefixed hexadecimal number that fits 64 bits; nothing otherwise.
std::optional<uint64_t> ParseNumber(std::string_view text);

}  // namespace flashtool
