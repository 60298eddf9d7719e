#pragma once

// printf-style formatting into a std::string. The program's diagnostic and log texts are
// given as printf formats ("%04X", "%d"), so they are produced with the same rules.

#include <string>

namespace flashtool {

[[gnu::format(printf, 1, 2)]] std::string FormatText(const char* format, ...);

}  // namespace flashtool
