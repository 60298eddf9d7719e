#include "app/cli/JsonText.h"

namespace flashtool {

std::string DocumentHead(const JsonValue& head, std::string_view list) {
    std::string text = JsonLine(head, JsonSpacing::Spaced);
    text.pop_back();  // the head's closing brace: the list is a member of the same object
    return text + (head.empty() ? "" : ",") + "\n" + JsonQuoted(list) + ": [";
}

std::string DocumentElement(const JsonValue& element, bool first) {
    return (first ? "\n  " : ",\n  ") + JsonLine(element, JsonSpacing::Spaced);
}

std::string DocumentTail(const JsonValue& tail, bool any) {
    const std::string members = JsonLine(tail, JsonSpacing::Spaced).substr(1);
    return std::string(any ? "\n" : "") + "]" + (tail.empty() ? "" : ",\n") + members + "\n";
}

std::string DocumentText(const JsonValue& head, std::string_view list,
                         std::span<const JsonValue> elements, const JsonValue& tail) {
    std::string text = DocumentHead(head, list);
    for (size_t n = 0; n < elements.size(); ++n) {
        text += DocumentElement(elements[n], n == 0);
    }
    return text + DocumentTail(tail, !elements.empty());
}

JsonValue BuildJson(std::string_view model, std::string_view revision) {
    return {{"model", model}, {"revision", revision}};
}

}  // namespace flashtool
