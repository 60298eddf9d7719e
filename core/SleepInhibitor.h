#pragma once

// Keeps the computer from shutting down, sleeping or idling while a drive is written: a
// drive cut off by a suspend in the middle of a firmware write is the commonest way to ruin
// one. Linux asks the login manager for an inhibitor lock; the emulated build and tests use
// fakes.

#include <memory>
#include <string_view>

namespace flashtool {

class SleepInhibitor {
public:
    // Held while it exists; released on destruction.
    class Lock {
    public:
        virtual ~Lock() = default;
    };

    virtual ~SleepInhibitor() = default;
    // Nothing when the system refused (the caller decides what to tell the user).
    virtual std::unique_ptr<Lock> Acquire(std::string_view who, std::string_view why) = 0;
};

}  // namespace flashtool
