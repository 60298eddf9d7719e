#include "app/cli/JsonText.h"

#include "history/FlatJson.h"

namespace flashtool {

// The history's quoting: the same bytes escaped the same way in both.
std::string JsonString(std::string_view text) {
    return JsonQuoted(text);
}

std::string JsonStrings(const std::vector<std::string>& texts) {
    std::string array = "[";
    for (size_t i = 0; i < texts.size(); ++i) {
        array += (i == 0 ? "" : ", ") + JsonString(texts[i]);
    }
    return array + "]";
}

}  // namespace flashtool
