#include "app/cli/JsonText.h"

#include "core/Format.h"

namespace flashtool {

std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            quoted += FormatText("\\u%04x", static_cast<unsigned>(byte));
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string JsonStrings(const std::vector<std::string>& texts) {
    std::string array = "[";
    for (size_t i = 0; i < texts.size(); ++i) {
        array += (i == 0 ? "" : ", ") + JsonString(texts[i]);
    }
    return array + "]";
}

}  // namespace flashtool
