// The single-instance lock on Linux: an advisory flock(2) on a file in the user's runtime
// folder. A folder that another user could write to would let that user hold the lock (or
// swap the file) and keep every copy from starting, or remove it and let two copies run, so
// a folder is used only when it is this user's alone. One that is not is refused out loud,
// and the lock goes to the next place that is.

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "core/InstanceLock.h"

namespace flashtool {

namespace {

class FileLock final : public InstanceLock {
public:
    FileLock(int fd, std::vector<std::string> told) : fd(fd) { notices = std::move(told); }
    ~FileLock() override {
        if (fd >= 0) {
            close(fd);  // releases the lock
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Guarding() const override { return fd >= 0; }

private:
    int fd;
};

// Why a folder that exists will not do; none when it will.
std::optional<std::string> Unsafe(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        return "it cannot be examined";
    }
    if (S_ISLNK(status.st_mode)) {
        return "it is a link";
    }
    if (!S_ISDIR(status.st_mode)) {
        return "it is not a folder";
    }
    if (status.st_uid != geteuid()) {
        return "it belongs to another user";
    }
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "other users may change it";
    }
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return "other users may enter it";
    }
    return std::nullopt;
}

bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

// The user's own folder, from the password entry rather than the environment.
std::string HomeFolder() {
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

}  // namespace

LockFolderChoice ChooseLockFolder(const std::vector<LockFolderCandidate>& candidates) {
    LockFolderChoice choice;
    for (const LockFolderCandidate& candidate : candidates) {
        const std::string& folder = candidate.path;
        // A relative path would depend on where the program was started.
        if (folder.empty() || folder.front() != '/') {
            continue;
        }
        if (candidate.make && !Exists(folder)) {
            // An existing one is checked like any other.
            mkdir(std::filesystem::path(folder).parent_path().c_str(), 0700);
            if (mkdir(folder.c_str(), 0700) == 0) {
                chmod(folder.c_str(), 0700);  // whatever the umask
            }
        }
        if (!Exists(folder)) {
            continue;
        }
        if (const std::optional<std::string> why = Unsafe(folder)) {
            choice.refused.push_back(folder + ": " + *why);
            continue;
        }
        choice.folder = folder;
        return choice;
    }
    return choice;
}

std::optional<std::string> PrivateLockFolder(const std::vector<std::string>& candidates) {
    std::vector<LockFolderCandidate> listed;
    for (size_t i = 0; i < candidates.size(); ++i) {
        listed.push_back({candidates[i], i + 1 == candidates.size()});
    }
    return ChooseLockFolder(listed).folder;
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(std::string_view name) {
    // The login manager's runtime folder when there is one; the same folder by its usual
    // path when the environment lost it (under sudo, say); else one of this user's own in
    // /tmp; and when another user has taken that name, a folder in this user's home.
    const std::string uid = std::to_string(geteuid());
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string home = HomeFolder();
    const LockFolderChoice choice =
        ChooseLockFolder({{runtime != nullptr ? runtime : "", false},
                          {"/run/user/" + uid, false},
                          {"/tmp/flashtool-" + uid, true},
                          {home.empty() ? "" : home + "/.cache/flashtool", true}});
    std::vector<std::string> notices;
    for (const std::string& refused : choice.refused) {
        notices.push_back("the single-instance lock is not kept in " + refused +
                          (choice.folder ? "; it is kept in " + *choice.folder + " instead"
                                         : "; no safe place is left for it, so this copy "
                                           "cannot keep a second one from starting"));
    }
    if (!choice.folder) {
        return std::make_unique<FileLock>(-1, std::move(notices));
    }
    const std::string path = *choice.folder + "/" + std::string(name) + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return std::make_unique<FileLock>(-1, std::move(notices));
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        return std::make_unique<FileLock>(fd, std::move(notices));
    }
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? nullptr : std::make_unique<FileLock>(-1, std::move(notices));
}

}  // namespace flashtool
