#pragma once

// The program's texts are bytes (a drive's identification is whatever the drive returned,
// Latin-1 or ASCII in practice); the Win32 window speaks UTF-16. Each byte becomes the code
// unit of the same value, so a text set on a control comes back byte for byte; a code unit
// outside that range (typed by nobody: the controls are read-only) becomes '?'.

#include <string>
#include <string_view>

namespace flashtool {

inline std::u16string WidenBytes(std::string_view text) {
    std::u16string wide(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    }
    return wide;
}

inline std::string NarrowToBytes(std::u16string_view wide) {
    std::string text(wide.size(), '\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        text[i] = wide[i] < 0x100 ? static_cast<char>(wide[i]) : '?';
    }
    return text;
}

}  // namespace flashtool
