#include "app/cli/InterruptGuard.h"

#include <cstdio>
#include <cstdlib>

#include "app/cli/CliOptions.h"
#include "app/cli/Terminal.h"

namespace flashtool {

void InterruptGuard::AlsoTell(std::function<void(std::string_view)> tellIn) {
    const std::lock_guard lock(mutex);
    tell = std::move(tellIn);
}

void InterruptGuard::BeforeEnding(std::function<void(std::string_view)> lastIn) {
    const std::lock_guard lock(mutex);
    last = std::move(lastIn);
}

void InterruptGuard::Interrupted(std::string_view name) {
    std::function<void(std::string_view)> tellNow;
    std::function<void(std::string_view)> lastNow;
    {
        const std::lock_guard lock(mutex);
        tellNow = tell;
        lastNow = last;
    }
    // The terminal echoed ^C after a status line drawn in place, or after nothing.
    const std::string lead = StandardErrorIsTerminal() ? "\n" : "";
    // Ends under the window's lock: a run waiting to open its window never gets to send.
    const bool ended = window.EndNowUnlessOpen([&](bool anyOpened) {
        const std::string reason =
            "stopped by " + std::string(name) +
            (anyOpened ? "; no drive was being written" : " before any drive was changed");
        err.Write(lead + program + ": " + reason + "\n");
        if (lastNow) {
            lastNow(reason);
        }
        // Only the streams this program writes: flushing every stream would wait for the
        // lock of standard input, which a thread reading an answer holds until a line comes.
        std::fflush(stdout);
        std::fflush(stderr);
        // The other threads are still running, so nothing of theirs is torn down on the way.
        std::_Exit(kExitInterrupted);
    });
    // Once the program is finishing, it ends by itself in a moment, with its own status.
    if (!ended && !window.IsFinishing()) {
        err.Write(lead + std::string(kCannotInterruptNow) + "\n");
        if (tellNow) {
            tellNow(kCannotInterruptNow);
        }
    }
}

}  // namespace flashtool
