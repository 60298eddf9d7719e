#pragma once

// The little JSON the history is written in: one flat object per record, whose values are
// strings, integers or null. Strings carry bytes exactly: every byte outside printable ASCII
// (a drive may report any byte in its identification) is written as \u00XX and read back as
// that byte, so a record reads back as it was written whatever a drive reported.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace flashtool {

// Bounds of what the reader accepts; a text beyond them is not a record. An object of 16
// strings of the longest length, every byte escaped, fits.
inline constexpr size_t kMaxJsonStringLength = 128;
inline constexpr size_t kMaxJsonObjectLength = 16 * (kMaxJsonStringLength * 6 + 32);
inline constexpr size_t kMaxJsonMembers = 32;

std::string JsonQuoted(std::string_view bytes);

struct FlatJsonValue {
    enum class Kind : uint8_t { String, Integer, Null };
    Kind kind = Kind::Null;
    std::string text;    // String
    int64_t number = 0;  // Integer, within int32
};

using FlatJsonObject = std::map<std::string, FlatJsonValue, std::less<>>;

// The object `text` holds, whole (nothing but spaces after it); none when it is not a flat
// object, names a member twice, or breaks one of the bounds above.
std::optional<FlatJsonObject> ParseFlatJsonObject(std::string_view text);

}  // namespace flashtool
