#pragma once

// The pieces of the scenario reader that know JSON: where a value sits in the file (for the
// message) and the typed reading of one object's fields. Private to the reader's files.

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transport/ScsiTypes.h"

namespace flashtool::scenario {

using Json = nlohmann::json;

// The one message of a file that does not check out: "FILE: drive N: FIELD: PROBLEM", or
// "FILE: FIELD: PROBLEM" above the drives. Only the first problem is kept.
class Report {
public:
    explicit Report(std::string_view fileName) : file(fileName) {}

    // Always false, so that a check can end with `return report.Fail(...)`.
    bool Fail(std::string_view where, std::string_view field, std::string_view problem);
    const std::string& Error() const { return error; }

private:
    std::string file;
    std::string error;
};

// One JSON object of the file, read field by field. `where` names the drive ("drive 2") or
// is empty; `prefix` is the object's own path below it ("faults[1]."), so that messages
// name the field as the file spells it.
class ObjectReader {
public:
    ObjectReader(const Json& object, std::string where, std::string prefix, Report& report)
        : object(object), where(std::move(where)), prefix(std::move(prefix)), report(report) {}

    // False, with the message, when the object holds a key that is not in `known`.
    bool OnlyKeys(std::initializer_list<std::string_view> known);
    bool Has(std::string_view key) const { return object.contains(key); }
    const Json* Find(std::string_view key) const;

    // Each reader leaves `out` alone when the key is absent and optional, and returns false
    // with the message when the key is missing but required, or its value is wrong.
    bool Text(std::string_view key, size_t width, bool required, std::string& out);
    // Optional printable text of `minWidth` to `maxWidth` characters.
    bool TextOfLength(std::string_view key, size_t minWidth, size_t maxWidth, std::string& out);
    bool Choice(std::string_view key, std::initializer_list<std::string_view> choices,
                bool required, std::string& out);
    bool FreeText(std::string_view key, std::string& out);
    bool Flag(std::string_view key, bool& out);
    bool Number(std::string_view key, uint64_t low, uint64_t high, bool required, uint32_t& out);
    bool HexByte(std::string_view key, bool required, std::optional<uint8_t>& out);
    bool Hex16(std::string_view key, uint16_t& out);
    // Exactly `count` bytes as 2 * `count` hex digits; optional.
    bool HexBytes(std::string_view key, size_t count, std::optional<std::vector<uint8_t>>& out);
    bool Sense(std::string_view key, bool required, SenseInfo& out);
    bool SenseList(std::string_view key, std::vector<SenseInfo>& out);

    bool Fail(std::string_view key, std::string_view problem) const;
    std::string Field(std::string_view key) const { return prefix + std::string(key); }
    const std::string& Where() const { return where; }
    Report& Reporter() const { return report; }

private:
    const Json& object;
    std::string where;
    std::string prefix;
    Report& report;
};

// Parses the text into `out`. False, with the message, when it is not JSON or an object
// holds a key twice (which a plain parse would let the later one win silently).
bool ParseJson(std::string_view text, Report& report, Json& out);

// Two hex digits, either case.
std::optional<uint8_t> ParseHexByte(std::string_view text);

// 2 * `count` hex digits, either case, as bytes.
std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text, size_t count);

// "KK/AA/QQ" in hex, the sense key at most 0F.
std::optional<SenseInfo> ParseSenseTriple(std::string_view text);

}  // namespace flashtool::scenario
