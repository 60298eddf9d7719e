#include "app/cli/Terminal.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace flashtool {

namespace {
// A COLUMNS beyond any screen is no width to trust.
constexpr unsigned long kMaxColumns = 10000;
}  // namespace

unsigned ColumnsFromEnvironment() {
    const char* columns = std::getenv("COLUMNS");
    if (columns != nullptr) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(columns, &end, 10);
        if (end != columns && *end == '\0' && value > 0 && value <= kMaxColumns) {
            return static_cast<unsigned>(value);
        }
    }
    return Terminal::kDefaultColumns;
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
