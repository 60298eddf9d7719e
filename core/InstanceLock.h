#pragma once

// One copy of the program at a time on a computer: two copies could each pick the same drive
// and send it pages of two runs at once. The lock is held for the life of the program and
// given up by the system when the process ends, however it ends.

#include <memory>
#include <string>
#include <string_view>

namespace flashtool {

class InstanceLock {
public:
    virtual ~InstanceLock() = default;

    // Takes the lock named `name` for this process; nothing when another process holds it.
    // A lock that cannot be set up at all (no place to keep it) is not a reason to refuse:
    // it gives a lock that guards nothing, and `Guarding()` says so.
    static std::unique_ptr<InstanceLock> Acquire(std::string_view name);

    virtual bool Guarding() const = 0;
};

// What the second copy says before it ends.
inline constexpr std::string_view kAnotherCopyRunning =
    "Another copy of this program is already running. Only one copy at a time may update "
    "drives: close the other one, then start this one again.";

}  // namespace flashtool
