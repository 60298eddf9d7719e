#include "history/FlatJson.h"

#include <limits>

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

namespace {

// A cursor over the text; every read checks the end first.
class Reader {
public:
    explicit Reader(std::string_view text) : text(text) {}

    bool AtEnd() const { return position >= text.size(); }
    char Peek() const { return AtEnd() ? '\0' : text[position]; }
    bool Take(char expected) {
        SkipSpaces();
        if (Peek() != expected) {
            return false;
        }
        ++position;
        return true;
    }
    void SkipSpaces() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t')) {
            ++position;
        }
    }

    std::optional<std::string> String() {
        if (!Take('"')) {
            return std::nullopt;
        }
        std::string value;
        while (!AtEnd()) {
            const char c = text[position++];
            if (c == '"') {
                return value;
            }
            if (static_cast<unsigned char>(c) < 0x20 || value.size() >= kMaxJsonStringLength) {
                return std::nullopt;
            }
            if (c != '\\') {
                value += c;
                continue;
            }
            const std::optional<char> escaped = Escape();
            if (!escaped) {
                return std::nullopt;
            }
            value += *escaped;
        }
        return std::nullopt;  // no closing quote
    }

    std::optional<int64_t> Integer() {
        SkipSpaces();
        const bool negative = Peek() == '-';
        position += negative ? 1 : 0;
        int64_t value = 0;
        size_t digits = 0;
        while (!AtEnd() && Peek() >= '0' && Peek() <= '9') {
            value = value * 10 + (text[position++] - '0');
            if (++digits > 10) {
                return std::nullopt;
            }
        }
        value = negative ? -value : value;
        if (digits == 0 || value < std::numeric_limits<int32_t>::min() ||
            value > std::numeric_limits<int32_t>::max()) {
            return std::nullopt;
        }
        return value;
    }

    bool Null() {
        SkipSpaces();
        if (text.substr(position, 4) != "null") {
            return false;
        }
        position += 4;
        return true;
    }

private:
    // After a backslash: the byte it stands for. \u takes code points up to 0xFF only, the
    // bytes JsonQuoted writes that way.
    std::optional<char> Escape() {
        if (AtEnd()) {
            return std::nullopt;
        }
        switch (text[position++]) {
            case '"':
                return '"';
            case '\\':
                return '\\';
            case '/':
                return '/';
            case 'b':
                return '\b';
            case 'f':
                return '\f';
            case 'n':
                return '\n';
            case 'r':
                return '\r';
            case 't':
                return '\t';
            case 'u':
                break;
            default:
                return std::nullopt;
        }
        if (text.size() - position < 4) {
            return std::nullopt;
        }
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text[position++];
            const int digit = h >= '0' && h <= '9'   ? h - '0'
                              : h >= 'a' && h <= 'f' ? h - 'a' + 10
                              : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<unsigned>(digit);
        }
        if (value > 0xFF) {
            return std::nullopt;
        }
        return static_cast<char>(value);
    }

    std::string_view text;
    size_t position = 0;
};

std::optional<FlatJsonValue> Value(Reader& reader) {
    reader.SkipSpaces();
    FlatJsonValue value;
    if (reader.Peek() == '"') {
        std::optional<std::string> text = reader.String();
        if (!text) {
            return std::nullopt;
        }
        value.kind = FlatJsonValue::Kind::String;
        value.text = std::move(*text);
        return value;
    }
    if (reader.Null()) {
        return value;
    }
    const std::optional<int64_t> number = reader.Integer();
    if (!number) {
        return std::nullopt;
    }
    value.kind = FlatJsonValue::Kind::Integer;
    value.number = *number;
    return value;
}

}  // namespace

std::optional<FlatJsonObject> ParseFlatJsonObject(std::string_view text) {
    if (text.size() > kMaxJsonObjectLength) {
        return std::nullopt;
    }
    Reader reader(text);
    if (!reader.Take('{')) {
        return std::nullopt;
    }
    FlatJsonObject object;
    if (!reader.Take('}')) {
        do {
            std::optional<std::string> name = reader.String();
            if (!name || !reader.Take(':') || object.size() >= kMaxJsonMembers) {
                return std::nullopt;
            }
            std::optional<FlatJsonValue> value = Value(reader);
            if (!value || !object.emplace(std::move(*name), std::move(*value)).second) {
                return std::nullopt;
            }
        } while (reader.Take(','));
        if (!reader.Take('}')) {
            return std::nullopt;
        }
    }
    reader.SkipSpaces();
    if (!reader.AtEnd()) {
        return std::nullopt;
    }
    return object;
}

}  // namespace flashtool
