#include "app/LogText.h"

namespace flashtool {

std::string ComposeLogText(std::string_view current, std::string_view line) {
    line = line.substr(0, kLogLimit);
    if (current.size() + line.size() > kLogLimit) {
        current = {};
    }
    std::string text;
    text.reserve(current.size() + 2 + line.size());
    text.append(current).append("\r\n").append(line);
    return text;
}

}  // namespace flashtool
