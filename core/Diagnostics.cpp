#include "core/Diagnostics.h"

#include <cstdio>

namespace flashtool {

void StdoutDiagnostics::Write(std::string_view text) {
    // One fwrite per call keeps lines from the two threads whole; flushing at once keeps
    // the output useful when the program is stopped in the middle of a run.
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void CapturedDiagnostics::Write(std::string_view added) {
    std::lock_guard lock(mutex);
    text.append(added);
}

std::string CapturedDiagnostics::Text() const {
    std::lock_guard lock(mutex);
    return text;
}

void CapturedDiagnostics::Clear() {
    std::lock_guard lock(mutex);
    text.clear();
}

}  // namespace flashtool
