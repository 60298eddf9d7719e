// The interrupt guard on POSIX systems: the signals blocked in every thread and read on one.

#include <pthread.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <string>

#include "app/cli/InterruptGuard.h"
#include "app/cli/Terminal.h"

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
            Interrupted(SignalName(signal));
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
                err.Write(std::string(StandardErrorIsTerminal() ? "\n" : "") +
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
