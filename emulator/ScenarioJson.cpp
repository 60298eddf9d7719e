#include "emulator/ScenarioJson.h"

#include <algorithm>
#include <set>

#include "core/Format.h"

namespace flashtool::scenario {

namespace {

std::optional<uint32_t> HexDigits(std::string_view text, size_t count) {
    if (text.size() != count) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : text) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return value;
}

bool PrintableAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string ChoiceList(std::initializer_list<std::string_view> choices) {
    std::string list;
    for (const std::string_view choice : choices) {
        list += (list.empty() ? "" : ", ") + std::string(choice);
    }
    return list;
}

// Where the parser stands: one frame per open object or array, so that a key given twice
// can be named by its path.
struct Frame {
    bool isArray = false;
    long index = -1;  // of the array's current element
    std::string key;  // the object's current key
    std::set<std::string> keys;
};

// One step of a path: an object's key, or an array's index ("[2]").
struct PathPart {
    bool isIndex = false;
    std::string text;
};

struct DuplicateFinder {
    std::vector<Frame> frames;
    std::optional<std::vector<PathPart>> duplicatePath;

    void ElementBegins() {
        if (!frames.empty() && frames.back().isArray) {
            ++frames.back().index;
        }
    }
    void Key(const std::string& key) {
        Frame& frame = frames.back();
        frame.key = key;
        if (!frame.keys.insert(key).second && !duplicatePath) {
            duplicatePath = Path(false);
        }
    }
    // The path of the value being read. Before a value of an array is complete its element
    // has not begun yet (`pending`): it is the one after the current index.
    std::vector<PathPart> Path(bool pending) const {
        std::vector<PathPart> path;
        for (size_t i = 0; i < frames.size(); ++i) {
            const Frame& f = frames[i];
            const long index = f.index + (pending && i + 1 == frames.size() ? 1 : 0);
            path.push_back(f.isArray ? PathPart{true, FormatText("[%ld]", index)}
                                     : PathPart{false, f.key});
        }
        return path;
    }
};

// {"drives", [2], "faults", [1], "result"} -> "drive 2" and "faults[1].result".
std::pair<std::string, std::string> Locate(const std::vector<PathPart>& path) {
    size_t first = 0;
    std::string where;
    if (path.size() >= 2 && !path[0].isIndex && path[0].text == "drives" && path[1].isIndex) {
        where = "drive " + path[1].text.substr(1, path[1].text.size() - 2);
        first = 2;
    }
    std::string field;
    for (size_t i = first; i < path.size(); ++i) {
        field += (path[i].isIndex || field.empty()) ? path[i].text : "." + path[i].text;
    }
    return {where, field};
}

}  // namespace

bool Report::Fail(std::string_view where, std::string_view field, std::string_view problem) {
    if (!error.empty()) {
        return false;
    }
    error = file + ": ";
    if (!where.empty()) {
        error += std::string(where) + ": ";
    }
    if (!field.empty()) {
        error += std::string(field) + ": ";
    }
    error += std::string(problem);
    // The parser quotes what it read, which may be any byte; the message stays one line.
    const size_t fileEnd = file.size();
    std::replace_if(
        error.begin() + static_cast<ptrdiff_t>(fileEnd), error.end(),
        [](char c) { return c < 0x20 || c > 0x7E; }, '?');
    return false;
}

bool ObjectReader::Fail(std::string_view key, std::string_view problem) const {
    return report.Fail(where, Field(key), problem);
}

const Json* ObjectReader::Find(std::string_view key) const {
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

bool ObjectReader::OnlyKeys(std::initializer_list<std::string_view> known) {
    for (const auto& [key, value] : object.items()) {
        if (std::find(known.begin(), known.end(), key) == known.end()) {
            return Fail(key, "unknown key");
        }
    }
    return true;
}

bool ObjectReader::Text(std::string_view key, size_t width, bool required, std::string& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return required ? Fail(key, "missing") : true;
    }
    if (!value->is_string()) {
        return Fail(key, "must be a string");
    }
    const auto& text = value->get_ref<const std::string&>();
    if (!PrintableAscii(text)) {
        return Fail(key, "must hold printable ASCII characters only");
    }
    if (text.size() != width) {
        return Fail(key, FormatText("must be %zu characters, not %zu", width, text.size()));
    }
    out = text;
    return true;
}

bool ObjectReader::TextOfLength(std::string_view key, size_t minWidth, size_t maxWidth,
                                std::string& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return true;
    }
    if (!value->is_string()) {
        return Fail(key, "must be a string");
    }
    const auto& text = value->get_ref<const std::string&>();
    if (!PrintableAscii(text)) {
        return Fail(key, "must hold printable ASCII characters only");
    }
    if (text.size() < minWidth || text.size() > maxWidth) {
        return Fail(key, FormatText("must be %zu to %zu characters, not %zu", minWidth, maxWidth,
                                    text.size()));
    }
    out = text;
    return true;
}

bool ObjectReader::Choice(std::string_view key, std::initializer_list<std::string_view> choices,
                          bool required, std::string& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return required ? Fail(key, "missing") : true;
    }
    if (!value->is_string()) {
        return Fail(key, "must be one of: " + ChoiceList(choices));
    }
    const auto& text = value->get_ref<const std::string&>();
    if (std::find(choices.begin(), choices.end(), text) == choices.end()) {
        const std::string shown = PrintableAscii(text) ? text : "(not printable)";
        return Fail(key, "\"" + shown + "\" is not one of: " + ChoiceList(choices));
    }
    out = text;
    return true;
}

bool ObjectReader::FreeText(std::string_view key, std::string& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return true;
    }
    if (!value->is_string()) {
        return Fail(key, "must be a string");
    }
    out = value->get<std::string>();
    return true;
}

bool ObjectReader::Flag(std::string_view key, bool& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return true;
    }
    if (!value->is_boolean()) {
        return Fail(key, "must be true or false");
    }
    out = value->get<bool>();
    return true;
}

bool ObjectReader::Number(std::string_view key, uint64_t low, uint64_t high, bool required,
                          uint32_t& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return required ? Fail(key, "missing") : true;
    }
    if (!value->is_number_unsigned() || value->get<uint64_t>() < low ||
        value->get<uint64_t>() > high) {
        return Fail(key, FormatText("must be a whole number from %llu to %llu",
                                    static_cast<unsigned long long>(low),
                                    static_cast<unsigned long long>(high)));
    }
    out = static_cast<uint32_t>(value->get<uint64_t>());
    return true;
}

bool ObjectReader::HexByte(std::string_view key, bool required, std::optional<uint8_t>& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return required ? Fail(key, "missing") : true;
    }
    const auto byte =
        value->is_string() ? ParseHexByte(value->get_ref<const std::string&>()) : std::nullopt;
    if (!byte) {
        return Fail(key, "must be two hex digits, such as F5");
    }
    out = *byte;
    return true;
}

bool ObjectReader::Hex16(std::string_view key, uint16_t& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return Fail(key, "missing");
    }
    const auto word =
        value->is_string() ? HexDigits(value->get_ref<const std::string&>(), 4) : std::nullopt;
    if (!word) {
        return Fail(key, "must be four hex digits, such as 3180");
    }
    out = static_cast<uint16_t>(*word);
    return true;
}

bool ObjectReader::HexBytes(std::string_view key, size_t count,
                            std::optional<std::vector<uint8_t>>& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return true;
    }
    auto bytes = value->is_string() ? ParseHexBytes(value->get_ref<const std::string&>(), count)
                                    : std::nullopt;
    if (!bytes) {
        return Fail(key, FormatText("must be %zu hex digits", count * 2));
    }
    out = std::move(bytes);
    return true;
}

bool ObjectReader::Sense(std::string_view key, bool required, SenseInfo& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return required ? Fail(key, "missing") : true;
    }
    const auto sense =
        value->is_string() ? ParseSenseTriple(value->get_ref<const std::string&>()) : std::nullopt;
    if (!sense) {
        return Fail(key, "must be a sense triple KK/AA/QQ in hex (key 00 to 0F), such as 02/3A/00");
    }
    out = *sense;
    return true;
}

bool ObjectReader::SenseList(std::string_view key, std::vector<SenseInfo>& out) {
    const Json* value = Find(key);
    if (value == nullptr) {
        return true;
    }
    if (!value->is_array()) {
        return Fail(key, "must be an array of sense triples such as \"06/29/00\"");
    }
    std::vector<SenseInfo> list;
    for (size_t i = 0; i < value->size(); ++i) {
        const Json& item = (*value)[i];
        const auto sense =
            item.is_string() ? ParseSenseTriple(item.get_ref<const std::string&>()) : std::nullopt;
        if (!sense) {
            return Fail(FormatText("%.*s[%zu]", static_cast<int>(key.size()), key.data(), i),
                        "must be a sense triple KK/AA/QQ in hex (key 00 to 0F), such as 02/3A/00");
        }
        list.push_back(*sense);
    }
    out = std::move(list);
    return true;
}

std::optional<uint8_t> ParseHexByte(std::string_view text) {
    const auto byte = HexDigits(text, 2);
    return byte ? std::optional<uint8_t>(static_cast<uint8_t>(*byte)) : std::nullopt;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text, size_t count) {
    if (text.size() != count * 2) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < count; ++i) {
        const auto byte = HexDigits(text.substr(i * 2, 2), 2);
        if (!byte) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(*byte));
    }
    return bytes;
}

std::optional<SenseInfo> ParseSenseTriple(std::string_view text) {
    if (text.size() != 8 || text[2] != '/' || text[5] != '/') {
        return std::nullopt;
    }
    const auto key = HexDigits(text.substr(0, 2), 2);
    const auto asc = HexDigits(text.substr(3, 2), 2);
    const auto ascq = HexDigits(text.substr(6, 2), 2);
    if (!key || !asc || !ascq || *key > 0x0F) {
        return std::nullopt;
    }
    return SenseInfo{static_cast<uint8_t>(*key), static_cast<uint8_t>(*asc),
                     static_cast<uint8_t>(*ascq)};
}

bool ParseJson(std::string_view text, Report& report, Json& out) {
    DuplicateFinder finder;
    const Json::parser_callback_t callback = [&finder](int /*depth*/, Json::parse_event_t event,
                                                       Json& parsed) {
        switch (event) {
            case Json::parse_event_t::object_start:
            case Json::parse_event_t::array_start:
                finder.ElementBegins();
                finder.frames.emplace_back().isArray = event == Json::parse_event_t::array_start;
                break;
            case Json::parse_event_t::object_end:
            case Json::parse_event_t::array_end:
                finder.frames.pop_back();
                break;
            case Json::parse_event_t::key:
                finder.Key(parsed.get<std::string>());
                break;
            case Json::parse_event_t::value:
                finder.ElementBegins();
                break;
        }
        return true;
    };
    try {
        out = Json::parse(text.begin(), text.end(), callback);
    } catch (const Json::parse_error& error) {
        // "[json.exception.parse_error.101] parse error at line 3, column 7: syntax error
        // while parsing object - unexpected '}'; expected string literal"
        const std::string what = error.what();
        const size_t line = what.find("line ");
        const size_t colon = what.find(": ", line == std::string::npos ? 0 : line);
        if (line == std::string::npos || colon == std::string::npos) {
            return report.Fail("", "text", "not valid JSON");
        }
        return report.Fail("", what.substr(line, colon - line),
                           "not valid JSON: " + what.substr(colon + 2));
    } catch (const Json::out_of_range&) {
        // A number beyond what a double holds: the parser stops on it, inside its field.
        const auto [where, field] = Locate(finder.Path(true));
        return report.Fail(where, field, "number out of range");
    }
    if (finder.duplicatePath) {
        const auto [where, field] = Locate(*finder.duplicatePath);
        return report.Fail(where, field, "given twice");
    }
    return true;
}

}  // namespace flashtool::scenario
