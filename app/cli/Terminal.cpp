#include "app/cli/Terminal.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string_view>

namespace flashtool {

bool ProcessTerminal::Interactive() const {
    return isatty(STDIN_FILENO) == 1;
}

bool ProcessTerminal::DrawsProgress() const {
    // A terminal that cannot move its cursor (or none) gets no line drawn in place.
    const char* term = std::getenv("TERM");
    return mayDraw && isatty(STDOUT_FILENO) == 1 && term != nullptr && *term != '\0' &&
           std::string_view(term) != "dumb";
}

std::optional<std::string> ProcessTerminal::ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    return line;
}

void StderrDiagnostics::Write(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void PrefixedLines::Write(std::string_view text) {
    std::lock_guard lock(mutex);
    pending.append(text);
    std::string whole;
    size_t start = 0;
    for (size_t end = pending.find('\n'); end != std::string::npos;
         end = pending.find('\n', start)) {
        whole += prefix;
        whole.append(pending, start, end + 1 - start);
        start = end + 1;
    }
    pending.erase(0, start);
    if (!whole.empty()) {
        out.Write(whole);  // one write: the lines stay whole beside another drive's
    }
}

void PrefixedLines::Flush() {
    std::lock_guard lock(mutex);
    if (!pending.empty()) {
        out.Write(prefix + pending + "\n");
        pending.clear();
    }
}

}  // namespace flashtool
