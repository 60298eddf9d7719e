#include "app/cli/InterruptGuard.h"

#include <pthread.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/cli/CliOptions.h"

namespace flashtool {

namespace {

constexpr std::array kInterrupts{SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::array kStops{SIGTSTP, SIGTTIN, SIGTTOU};

sigset_t GuardedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kInterrupts) {
        sigaddset(&set, signal);
    }
    for (const int signal : kStops) {
        sigaddset(&set, signal);
    }
    return set;
}

bool IsStop(int signal) {
    return signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU;
}

std::string SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        case SIGQUIT:
            return "SIGQUIT";
        default:
            return "signal " + std::to_string(signal);
    }
}

}  // namespace

void BlockInterruptSignals() {
    const sigset_t set = GuardedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

InterruptGuard::InterruptGuard(DiagnosticSink& err, std::string program, WriteWindow& window)
    : err(err), program(std::move(program)), window(window) {
    // Main has done it before its first thread; done again so that the waiter can never
    // be killed by the signal that stops it, whatever main did.
    BlockInterruptSignals();
    window.WhenAllClosed([this] { ResumeHeldStop(); });
    waiter = std::thread([this] { Wait(); });
}

InterruptGuard::~InterruptGuard() {
    window.WhenAllClosed({});
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
}

void InterruptGuard::AlsoTell(std::function<void(std::string_view)> tellIn) {
    const std::lock_guard lock(mutex);
    tell = std::move(tellIn);
}

void InterruptGuard::BeforeEnding(std::function<void(std::string_view)> lastIn) {
    const std::lock_guard lock(mutex);
    last = std::move(lastIn);
}

void InterruptGuard::Wait() {
    const sigset_t set = GuardedSignals();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) {
            continue;
        }
        {
            const std::lock_guard lock(mutex);
            if (stopping) {
                return;
            }
        }
        if (IsStop(signal)) {
            Stop(signal);
        } else {
            Interrupted(signal);
        }
    }
}

void InterruptGuard::Interrupted(int signal) {
    std::function<void(std::string_view)> tellNow;
    std::function<void(std::string_view)> lastNow;
    {
        const std::lock_guard lock(mutex);
        tellNow = tell;
        lastNow = last;
    }
    // The terminal echoed ^C after a status line drawn in place, or after nothing.
    const std::string lead = isatty(STDERR_FILENO) == 1 ? "\n" : "";
    // Ends under the window's lock: a run waiting to open its window never gets to send.
    const bool ended = window.EndNowUnlessOpen([&](bool anyOpened) {
        const std::string reason =
            "stopped by " + SignalName(signal) +
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

void InterruptGuard::Stop(int signal) {
    {
        // Decided under the guard's lock, which the closing hook takes too: a window that
        // closes right now either sees the held stop or was closed before it was looked at.
        const std::lock_guard lock(mutex);
        if (window.IsOpen()) {
            const bool first = heldStop == 0;
            heldStop = signal;
            if (first) {
                err.Write(std::string(isatty(STDERR_FILENO) == 1 ? "\n" : "") +
                          std::string(kStopHeldOff) + "\n");
            }
            return;
        }
    }
    // The signal's own default action, on this thread alone: it is the only one that lets
    // it through, for as long as it takes to stop (and to be continued).
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    pthread_kill(pthread_self(), signal);
    pthread_sigmask(SIG_BLOCK, &one, nullptr);
}

void InterruptGuard::ResumeHeldStop() {
    const std::lock_guard lock(mutex);
    if (heldStop != 0) {
        // Sent again: the guard's thread takes it, finds no window open, and stops.
        kill(getpid(), heldStop);
        heldStop = 0;
    }
}

}  // namespace flashtool
