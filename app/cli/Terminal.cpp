#include "app/cli/Terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string_view>

namespace flashtool {

namespace {
// A COLUMNS beyond any screen is no width to trust.
constexpr unsigned long kMaxColumns = 10000;
}  // namespace

bool ProcessTerminal::Interactive() const {
    return isatty(STDIN_FILENO) == 1;
}

bool ProcessTerminal::DrawsProgress() const {
    // A terminal that cannot move its cursor (or none) gets no line drawn in place.
    const char* term = std::getenv("TERM");
    return mayDraw && isatty(STDOUT_FILENO) == 1 && term != nullptr && *term != '\0' &&
           std::string_view(term) != "dumb";
}

unsigned ProcessTerminal::Columns() const {
    struct winsize size {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    // A terminal that does not say (or output that is no terminal): what the shell says.
    const char* columns = std::getenv("COLUMNS");
    if (columns != nullptr) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(columns, &end, 10);
        if (end != columns && *end == '\0' && value > 0 && value <= kMaxColumns) {
            return static_cast<unsigned>(value);
        }
    }
    return kDefaultColumns;
}

std::optional<std::string> ProcessTerminal::ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    return line;
}

bool ProcessTerminal::OutputIsAnswerTerminal() const {
    if (isatty(STDOUT_FILENO) != 1) {
        return false;
    }
    // Both terminals, and the same one: a question there is seen where it is answered.
    struct stat input {};
    struct stat output {};
    return fstat(STDIN_FILENO, &input) == 0 && fstat(STDOUT_FILENO, &output) == 0 &&
           input.st_rdev == output.st_rdev;
}

void ProcessTerminal::WriteToAnswerTerminal(std::string_view text) {
    const char* name = ttyname(STDIN_FILENO);
    const int fd = name != nullptr ? open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1;
    if (fd < 0) {
        StderrDiagnostics().Write(text);
        return;
    }
    for (size_t done = 0; done < text.size();) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written <= 0) {
            break;
        }
        done += static_cast<size_t>(written);
    }
    close(fd);
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
