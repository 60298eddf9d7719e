#include "history/ByteJson.h"

#include <limits>
#include <utility>

#include "core/Format.h"

namespace flashtool {

std::string JsonQuoted(std::string_view bytes) {
    std::string quoted = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte > 0x7E) {
            quoted += FormatText("\\u%04X", byte);
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string JsonLine(const JsonValue& value, JsonSpacing spacing) {
    const bool spaced = spacing == JsonSpacing::Spaced;
    if (value.is_string()) {
        return JsonQuoted(value.get_ref<const std::string&>());
    }
    if (value.is_object()) {
        std::string text = "{";
        for (const auto& [name, member] : value.items()) {
            text += (text.size() == 1 ? ""
                     : spaced         ? ", "
                                      : ",") +
                    JsonQuoted(name) + (spaced ? ": " : ":") + JsonLine(member, spacing);
        }
        return text + "}";
    }
    if (value.is_array()) {
        std::string text = "[";
        for (const JsonValue& element : value) {
            text += (text.size() == 1 ? "" : spaced ? ", " : ",") + JsonLine(element, spacing);
        }
        return text + "]";
    }
    return value.dump();  // a number, true, false or null: never a string, so never throws
}

namespace {

// The reader sees the text as bytes, one character each (Latin-1), so that a raw byte above
// 0x7F in a string stands for itself, as \u00XX does; nlohmann reads UTF-8.
std::string AsUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

// The bytes a string read from AsUtf8's text stands for; none when it holds a character past
// 0xFF (an escape beyond a byte), which no writer of a history line makes.
std::optional<std::string> AsBytes(const std::string& utf8) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            bytes += utf8[i];
        } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[++i]);
            bytes += static_cast<char>(((lead & 0x03) << 6) | (next & 0x3F));
        } else {
            return std::nullopt;
        }
        if (bytes.size() > kMaxJsonStringLength) {
            return std::nullopt;
        }
    }
    return bytes;
}

// nlohmann's SAX reader, told to stop at the first thing a flat record may not hold.
class FlatObjectReader {
public:
    JsonValue object = JsonValue::object();

    bool start_object(size_t) { return !std::exchange(opened, true); }
    bool end_object() { return true; }
    bool key(std::string& name) {
        std::optional<std::string> bytes = AsBytes(name);
        if (!bytes || object.size() >= kMaxJsonMembers || object.contains(*bytes)) {
            return false;
        }
        member = std::move(*bytes);
        return true;
    }
    bool null() { return Set(nullptr); }
    bool number_integer(int64_t number) {
        return number >= std::numeric_limits<int32_t>::min() &&
               number <= std::numeric_limits<int32_t>::max() && Set(number);
    }
    bool number_unsigned(uint64_t number) {
        return number <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) &&
               Set(static_cast<int64_t>(number));
    }
    bool string(std::string& text) {
        std::optional<std::string> bytes = AsBytes(text);
        return bytes && Set(std::move(*bytes));
    }
    // Nothing else is a member's value: no nesting, no booleans, no fractions or exponents
    // (a number too large for 64 bits comes here as a fraction too).
    bool boolean(bool) { return false; }
    bool number_float(double, const std::string&) { return false; }
    bool binary(JsonValue::binary_t&) { return false; }
    bool start_array(size_t) { return false; }
    bool end_array() { return false; }
    bool parse_error(size_t, const std::string&, const nlohmann::detail::exception&) {
        return false;
    }

private:
    // A value is a member's, never the whole text's.
    bool Set(JsonValue value) {
        if (!member) {
            return false;
        }
        object[std::move(*member)] = std::move(value);
        member.reset();
        return true;
    }

    bool opened = false;
    std::optional<std::string> member;
};

}  // namespace

std::optional<JsonValue> ParseFlatJsonObject(std::string_view text) {
    // Spaces and tabs are the only blanks a line holds; a line end or carriage return is
    // refused here, where JSON would take it as a blank.
    if (text.size() > kMaxJsonObjectLength || text.find_first_of("\r\n") != text.npos) {
        return std::nullopt;
    }
    FlatObjectReader reader;
    if (!JsonValue::sax_parse(AsUtf8(text), &reader)) {
        return std::nullopt;
    }
    return std::move(reader.object);
}

}  // namespace flashtool
