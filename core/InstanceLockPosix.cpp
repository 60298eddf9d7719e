// The single-instance lock on Linux: an advisory flock(2) on a file in the system's lock
// folder, shared by every user (drives are the machine's, not a user's).

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
    bool Guarding() const override { return fd >= 0; }

private:
    int fd;
};

// Opens the lock file, creating it readable and writable by every user so that the next
// user's copy can take the same lock. Read-only is enough for flock when another user made
// the file with a narrower mode.
int OpenLockFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) {
        fchmod(fd, 0666);  // the umask may have narrowed it; failure only costs other users
        return fd;
    }
    return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
}

}  // namespace

std::unique_ptr<InstanceLock> InstanceLock::Acquire(std::string_view name) {
    const std::string file = std::string(name) + ".lock";
    for (const char* folder : {"/run/lock/", "/var/lock/", "/tmp/"}) {
        const int fd = OpenLockFile(folder + file);
        if (fd < 0) {
            continue;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return std::make_unique<FileLock>(fd);
        }
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) {
            return nullptr;
        }
    }
    return std::make_unique<FileLock>(-1);
}

}  // namespace flashtool
