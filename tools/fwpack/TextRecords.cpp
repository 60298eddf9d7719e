#include "tools/fwpack/TextRecords.h"

#include <charconv>

namespace flashtool {

std::string RecordError(std::string_view fileName, size_t line, std::string_view message) {
    return std::string(fileName) + ":" + std::to_string(line) + ": " + std::string(message);
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Splits one line into columns; false on an unbalanced quote.
bool SplitColumns(std::string_view line, std::vector<std::string>& columns) {
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
        } else if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                return false;
            }
            columns.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t end = i;
            while (end < line.size() && !IsBlank(line[end])) {
                if (line[end] == '"') {
                    return false;
                }
                ++end;
            }
            columns.emplace_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

}  // namespace

namespace {

TextRecords Refused(std::string_view fileName, size_t line, std::string_view message) {
    TextRecords result;
    result.error = RecordError(fileName, line, message);
    result.errorLine = line;
    result.errorText = message;
    return result;
}

}  // namespace

TextRecords ParseTextRecords(std::string_view text, std::string_view fileName) {
    TextRecords result;
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') {
            continue;
        }
        for (const char c : line) {
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
                return Refused(fileName, lineNumber, "control character in the line");
            }
            if (static_cast<unsigned char>(c) > 0x7E) {
                return Refused(fileName, lineNumber, "byte outside printable ASCII");
            }
        }
        TextRecord record{lineNumber, {}};
        if (!SplitColumns(line, record.columns)) {
            return Refused(fileName, lineNumber, "unbalanced double quote");
        }
        result.records.push_back(std::move(record));
    }
    return result;
}

std::optional<uint64_t> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace flashtool
