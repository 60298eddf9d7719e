#include "core/Format.h"

#include <cstdarg>
#include <cstdio>

namespace flashtool {

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (needed > 0) {
        out.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<size_t>(needed));
    }
    va_end(args);
    return out;
}

std::string ShownText(std::string_view bytes) {
    std::string shown;
    shown.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            shown += "\\\\";
        } else if (byte < 0x20 || byte > 0x7E) {
            shown += FormatText("\\x%02X", byte);
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace flashtool
