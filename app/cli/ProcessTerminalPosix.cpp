// The process's terminal on POSIX systems: isatty, TIOCGWINSZ, ttyname.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string_view>

#include "app/cli/Terminal.h"

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

unsigned ProcessTerminal::Columns() const {
    struct winsize size {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    // A terminal that does not say (or output that is no terminal): what the shell says.
    return ColumnsFromEnvironment();
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

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace flashtool
