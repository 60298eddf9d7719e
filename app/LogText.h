#pragma once

// The log window's rule: each line is preceded by CR LF, and a log that would grow past
// 2,000 characters starts again from the new line.

#include <cstddef>
#include <string>
#include <string_view>

namespace flashtool {

inline constexpr size_t kLogLimit = 2000;

// The window's text after `line` is appended to `current`. The whole current text counts,
// so a short line after a full window starts a new log instead of cutting the end off the
// last line. A line longer than the limit is cut to it, so the window never holds more
// than the limit plus CR LF.
std::string ComposeLogText(std::string_view current, std::string_view line);

}  // namespace flashtool
