#pragma once

// A keep-awake lock for tests: counts what was taken and released, and can refuse.

#include <atomic>
#include <functional>

#include "core/SleepInhibitor.h"

namespace flashtool::testing {

class FakeInhibitor final : public SleepInhibitor {
public:
    std::atomic<bool> refuse{false};
    std::atomic<int> acquired{0};
    std::atomic<int> held{0};
    // Called as the lock is asked for: a run's first drive-changing command is next.
    std::function<void()> onAcquire;

    std::unique_ptr<Lock> Acquire(std::string_view, std::string_view) override {
        if (onAcquire) {
            onAcquire();
        }
        if (refuse) {
            return nullptr;
        }
        ++acquired;
        ++held;
        return std::make_unique<FakeLock>(held);
    }

private:
    class FakeLock final : public Lock {
    public:
        explicit FakeLock(std::atomic<int>& held) : held(held) {}
        ~FakeLock() override { --held; }

    private:
        std::atomic<int>& held;
    };
};

}  // namespace flashtool::testing
