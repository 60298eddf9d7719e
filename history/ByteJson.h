#pragma once

// The JSON the history and the command line write, held in nlohmann-json's values, whose
// strings carry bytes exactly: a drive may report any byte in its identification, so every
// byte outside printable ASCII is written as \u00XX (upper-case hex, the same for a control
// byte as for any other) and read back as that byte. That escaping is the history's: its
// check is over the line's text, so a line must be written byte for byte as it always was,
// which nlohmann's own dump() (UTF-8 only, lower-case hex, \t and \n) does not do.

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "history/JsonBounds.h"

namespace flashtool {

// Members in the order they were set, as they are written.
using JsonValue = nlohmann::ordered_json;

std::string JsonQuoted(std::string_view bytes);

enum class JsonSpacing : uint8_t {
    Compact,  // {"a":1,"b":[2,3]}: the history's lines
    Spaced,   // {"a": 1, "b": [2, 3]}: what the command line prints
};

// `value` on one line, its strings quoted by JsonQuoted.
std::string JsonLine(const JsonValue& value, JsonSpacing spacing);

// The object `text` holds, whole (nothing but spaces and tabs after it), each string as the
// bytes it stands for; none when it is not a flat object whose values are strings, integers
// within int32 or null, names a member twice, or breaks one of the bounds of history/JsonBounds.h.
// Never throws.
std::optional<JsonValue> ParseFlatJsonObject(std::string_view text);

}  // namespace flashtool
