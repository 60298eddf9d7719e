// The single-instance lock on Linux: an advisory flock(2) on a file in the user's runtime
// folder. A folder that another user could write to would let that user hold the lock (or
// swap the file) and keep every copy from starting, so a folder is used only when it is
// this user's alone.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/InstanceLock.h"

namespace flashtool {

namespace {

class FileLock final : public InstanceLock {
public:
    explicit FileLock(int fd) : fd(fd) {}
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

bool IsPrivateFolder(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == geteuid() && (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

}  // namespace

std::optional<std::string> PrivateLockFolder(const std::vector<std::string>& candidates) {
    for (size_t i = 0; i < candidates.size(); ++i) {
        const std::string& folder = candidates[i];
        // A relative path would depend on where the program was started.
        if (folder.empty() || folder.front() != '/') {
            continue;
        }
        if (i + 1 == candidates.size()) {
            mkdir(folder.c_str(), 0700);  // an existing one is checked like any other
        }
        if (IsPrivateFolder(folder)) {
            return folder;
        }
    }
    return std::nullopt;
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(std::string_view name) {
    // The login manager's runtime folder when there is one; the same folder by its usual
    // path when the environment lost it (under sudo, say); else one of this user's own in
    // /tmp.
    const std::string uid = std::to_string(geteuid());
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> folder = PrivateLockFolder(
        {runtime != nullptr ? runtime : "", "/run/user/" + uid, "/tmp/flashtool-" + uid});
    if (!folder) {
        return std::make_unique<FileLock>(-1);
    }
    const std::string path = *folder + "/" + std::string(name) + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return std::make_unique<FileLock>(-1);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        return std::make_unique<FileLock>(fd);
    }
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? nullptr : std::make_unique<FileLock>(-1);
}

}  // namespace flashtool
