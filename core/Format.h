#pragma once

// printf-style formatting into a std::string. The program's diagnostic and log texts are
// given as printf formats ("%04X", "%d"), so they are produced with the same rules.

#include <string>
#include <string_view>

namespace flashtool {

[[gnu::format(printf, 1, 2)]] std::string FormatText(const char* format, ...);

// Bytes a drive or a file supplied, made safe to print on a terminal: every byte outside
// printable ASCII as \xHH, and the backslash doubled, so that no control sequence reaches
// the terminal and the text still tells every byte apart.
std::string ShownText(std::string_view bytes);

}  // namespace flashtool
