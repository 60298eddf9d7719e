#include "app/cli/InterruptGuard.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/cli/CliOptions.h"

namespace flashtool {

namespace {

sigset_t InterruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaddset(&set, signal);
    }
    return set;
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

// A window's lock held by a run, closing the write window when the run gives it up.
class WindowLock final : public SleepInhibitor::Lock {
public:
    WindowLock(std::unique_ptr<SleepInhibitor::Lock> held, InterruptGuard& guard)
        : held(std::move(held)), guard(guard) {}
    ~WindowLock() override {
        held.reset();
        guard.CloseWriteWindow();
    }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;

private:
    std::unique_ptr<SleepInhibitor::Lock> held;
    InterruptGuard& guard;
};

}  // namespace

void BlockInterruptSignals() {
    const sigset_t set = InterruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

InterruptGuard::InterruptGuard(DiagnosticSink& err, std::string program)
    : err(err), program(std::move(program)) {
    // Main has done it before its first thread; done again so that the waiter can never
    // be killed by the signal that stops it, whatever main did.
    BlockInterruptSignals();
    waiter = std::thread([this] { Wait(); });
}

InterruptGuard::~InterruptGuard() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
}

void InterruptGuard::OpenWriteWindow() {
    std::lock_guard lock(mutex);
    ++openWindows;
    anyWritten = true;
}

void InterruptGuard::CloseWriteWindow() {
    std::lock_guard lock(mutex);
    --openWindows;
}

void InterruptGuard::Wait() {
    const sigset_t set = InterruptSignals();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) {
            continue;
        }
        {
            std::lock_guard lock(mutex);
            if (stopping) {
                return;
            }
        }
        Interrupted(signal);
    }
}

void InterruptGuard::Interrupted(int signal) {
    // Held to the end: a run waiting to open its write window never gets to send anything.
    std::lock_guard lock(mutex);
    // The terminal echoed ^C after a status line drawn in place, or after nothing.
    const std::string lead = isatty(STDERR_FILENO) == 1 ? "\n" : "";
    if (openWindows > 0) {
        err.Write(lead + std::string(kCannotInterruptNow) + "\n");
        return;
    }
    err.Write(lead + program + ": stopped by " + SignalName(signal) +
              (anyWritten ? "; no drive was being written\n" : " before any drive was changed\n"));
    // Every line written so far leaves the process's buffers; the other threads are still
    // running, so nothing of theirs is torn down on the way out.
    std::fflush(nullptr);
    std::_Exit(kExitInterrupted);
}

std::unique_ptr<SleepInhibitor::Lock> WriteWindowInhibitor::Acquire(std::string_view who,
                                                                    std::string_view why) {
    guard.OpenWriteWindow();
    auto held = inner.Acquire(who, why);
    if (!held) {
        // The run goes on without the system's lock and gives no moment at which its write
        // ends: the window stays open for the rest of the program.
        return nullptr;
    }
    return std::make_unique<WindowLock>(std::move(held), guard);
}

}  // namespace flashtool
