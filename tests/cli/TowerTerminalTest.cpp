// flashtool-emulated's --all over the 32-drive tower (tower-32.json) on a real terminal: a
// pty of 80 columns, whose width the program reads from the terminal itself. What the
// terminal shows is rendered as a terminal would (tests/cli/TerminalScreen.h): the status
// line is never wider than the terminal and never left behind, and every drive is reached.
// The drives' settle waits are real time, at once for all of them: a few seconds.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/TerminalScreen.h"

namespace flashtool::testing {
namespace {

struct Session {
    std::string output;  // everything the terminal received
    int status = -1;     // the program's exit status
};

// Runs the program with `arguments` on a new pty of `columns` x 24, as its controlling
// terminal and its standard input, output and error.
Session RunOnTerminal(const std::vector<std::string>& arguments, unsigned short columns) {
    Session session;
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        ADD_FAILURE() << "no pty";
        return session;
    }
    const std::string slaveName = ptsname(master);
    const winsize size{24, columns, 0, 0};
    ioctl(master, TIOCSWINSZ, &size);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        const int slave = open(slaveName.c_str(), O_RDWR);
        if (slave < 0) {
            _exit(126);
        }
        dup2(slave, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
        setenv("TERM", "xterm", 1);
        unsetenv("COLUMNS");  // the width must come from the terminal
        execv(argv[0], argv.data());
        _exit(127);
    }
    // Read until the program's end closes the terminal (EIO), for at most two minutes.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, 1000) <= 0) {
            continue;
        }
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        session.output.append(buffer, static_cast<size_t>(got));
    }
    // The terminal closes as the program exits: its end follows at once.
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(child, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        poll(nullptr, 0, 10);
    }
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        ADD_FAILURE() << "the program did not end";
    }
    session.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    close(master);
    return session;
}

TEST(TowerTerminal, ThirtyTwoDrivesOnAnEightyColumnTerminal) {
    const std::filesystem::path trace = std::filesystem::temp_directory_path() /
                                        ("tower-terminal-" + std::to_string(getpid()) + ".txt");
    const Session session = RunOnTerminal(
        {FLASHTOOL_EMULATED, "--drives", std::string(FLASHTOOL_CLI_TEST_DIR) + "/tower-32.json",
         "--all", "--yes", "--trace=" + trace.string()},
        80);
    EXPECT_EQ(session.status, 15);

    const Rendering screen = Render(session.output, 80);
    EXPECT_TRUE(screen.unknown.empty()) << screen.unknown.front();
    EXPECT_FALSE(StatusIn(screen.drawn).empty()) << "no status line was drawn";
    const auto wide = NotNarrowerThan(screen.drawn, 80);
    EXPECT_TRUE(wide.empty()) << wide.size() << " too wide, as " << wide.front();
    // Nothing of a status line is left in what scrolled by, and nothing at the foot.
    const auto stale = StatusIn(screen.rows);
    EXPECT_TRUE(stale.empty()) << stale.size() << " left behind, as " << stale.front();
    ASSERT_GE(screen.rows.size(), 2u);
    EXPECT_EQ(screen.rows.back(), "");
    EXPECT_EQ(screen.rows[screen.rows.size() - 2],
              "24 updated, 2 up to date, 2 refused, 2 failed, 2 not this build's model");

    // Every drive was reached: its commands are in the trace under its row.
    std::ifstream file(trace);
    std::stringstream lines;
    lines << file.rdbuf();
    for (int n = 0; n < 32; ++n) {
        EXPECT_NE(lines.str().find("vdrive " + std::to_string(n) + ": "), std::string::npos) << n;
    }
    std::filesystem::remove(trace);
}

}  // namespace
}  // namespace flashtool::testing
