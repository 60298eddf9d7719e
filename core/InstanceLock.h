#pragma once

// One copy of the program at a time for a user: two copies could each pick the same drive
// and send it pages of two runs at once. The lock is the user's own, so that no other user
// can hold it and keep this one from ever starting; two users on one computer are kept off
// the same drive by the exclusive claim on its node that every run takes. The lock is held
// for the life of the program and given up by the system when the process ends, however it
// ends. Only the product takes it: the emulated program touches no real drive.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flashtool {

class InstanceLock {
public:
    virtual ~InstanceLock() = default;

    // Takes the lock named `name` for this process; nothing when another process holds it.
    // A lock that cannot be set up at all (no place to keep it) is not a reason to refuse:
    // it gives a lock that guards nothing, and `Guarding()` says so.
    static std::unique_ptr<InstanceLock> Acquire(std::string_view name);

    virtual bool Guarding() const = 0;

    // What the operator should hear about where the lock is kept: a place that was refused
    // (another user could hold the lock there, or take it away) and where it went instead,
    // or that no safe place was left. Empty when there is nothing to say.
    const std::vector<std::string>& Notices() const { return notices; }

protected:
    std::vector<std::string> notices;
};

#ifndef _WIN32
struct LockFolderCandidate {
    std::string path;
    bool make = false;  // made (mode 0700, its parent too) when it does not exist
};

struct LockFolderChoice {
    std::optional<std::string> folder;  // none: none will do
    // Each candidate that exists but will not do, and why ("/tmp/x: it belongs to another
    // user"). Unset and missing candidates are passed over in silence.
    std::vector<std::string> refused;
};

// Where the Linux lock is kept: the first of `candidates` that is a folder (not a link to
// one) owned by this user that no one else may enter or change.
LockFolderChoice ChooseLockFolder(const std::vector<LockFolderCandidate>& candidates);

// ChooseLockFolder with the last candidate made when missing: its folder.
std::optional<std::string> PrivateLockFolder(const std::vector<std::string>& candidates);
#endif

// What the second copy says before it ends.
inline constexpr std::string_view kAnotherCopyRunning =
    "Another copy of this program is already running. Only one copy at a time may update "
    "drives: close the other one, then start this one again.";

}  // namespace flashtool
