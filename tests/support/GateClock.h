#pragma once

// A drive's clock that holds each of its pauses until the test opens the gate: the worker
// stays inside a command for as long as the test needs, without waiting on the real clock.

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "core/Clock.h"

namespace flashtool::testing {

class GateClock final : public Clock {
public:
    void SleepMs(uint32_t /*milliseconds*/) override {
        std::unique_lock lock(mutex);
        ++waiting;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        --waiting;
    }
    void Close() {
        const std::lock_guard lock(mutex);
        open = false;
    }
    void Open() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    // True while a command waits at the gate.
    bool Holding() {
        const std::lock_guard lock(mutex);
        return waiting > 0;
    }
    // Blocks until a command waits at the gate (from a thread the worker does not need).
    void AwaitHeld() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return waiting > 0; });
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    int waiting = 0;
};

}  // namespace flashtool::testing
