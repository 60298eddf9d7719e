// The history's file on Linux: O_APPEND, flock(2) and fsync(2).

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "history/HistoryFile.h"
#include "history/HistoryLock.h"

namespace flashtool {

namespace {

std::optional<std::filesystem::path> Variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::string Failure(const std::string& what, const std::filesystem::path& path) {
    return what + " " + PathText(path) + ": " + std::system_category().message(errno);
}

// An open descriptor, closed (and its lock released) however the append ends.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd; }

private:
    int fd;
};

// Makes a folder's new entries durable.
bool SyncFolder(const std::filesystem::path& folder) {
    const Descriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Get() >= 0 && fsync(fd.Get()) == 0;
}

// Creates `folder` and the missing folders above it with `mode` (the umask does not narrow
// or widen it); a folder that exists is left as its owner made it.
std::optional<std::string> MakeFolder(const std::filesystem::path& folder, mode_t mode) {
    struct stat status {};
    if (stat(folder.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return std::nullopt;
        }
        errno = ENOTDIR;
        return Failure("cannot use", folder);
    }
    const std::filesystem::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder) {
        if (std::optional<std::string> error = MakeFolder(parent, mode)) {
            return error;
        }
    }
    if (mkdir(folder.c_str(), mode) != 0) {
        if (errno == EEXIST) {
            return std::nullopt;  // made meanwhile by another copy
        }
        return Failure("cannot create", folder);
    }
    chmod(folder.c_str(), mode);
    if (!parent.empty() && !SyncFolder(parent)) {
        return Failure("cannot sync", parent);
    }
    return std::nullopt;
}

}  // namespace

HistoryEnvironment CurrentHistoryEnvironment() {
    HistoryEnvironment environment;
    environment.root = geteuid() == 0;
    environment.historyDir = Variable("FLASHTOOL_HISTORY_DIR");
    environment.xdgStateHome = Variable("XDG_STATE_HOME");
    environment.home = Variable("HOME");
    if (!environment.home) {
        const passwd* entry = getpwuid(geteuid());
        if (entry != nullptr && entry->pw_dir != nullptr && *entry->pw_dir != '\0') {
            environment.home = std::filesystem::path(entry->pw_dir);
        }
    }
    return environment;
}

std::optional<std::string> AppendLineDurably(const HistoryPlace& place, std::string_view fileName,
                                             std::string_view line) {
    if (std::optional<std::string> error =
            MakeFolder(place.directory, place.shared ? 0755 : 0700)) {
        return error;
    }
    const std::filesystem::path file = place.directory / std::string(fileName);
    const mode_t fileMode = place.shared ? 0644 : 0600;
    // O_EXCL first, to know whether this call made the file (then its folder entry is synced).
    bool created = true;
    int raw =
        open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, fileMode);
    if (raw < 0 && errno == EEXIST) {
        created = false;
        raw = open(file.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    }
    const Descriptor fd(raw);
    if (fd.Get() < 0) {
        return Failure("cannot open", file);
    }
    if (created) {
        fchmod(fd.Get(), fileMode);
    }
    // The lock keeps the look at the last byte and the write together, and keeps appends whole
    // where O_APPEND alone does not (a home folder over NFS).
    int locked = 0;
    while ((locked = flock(fd.Get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        return Failure("cannot lock", file);
    }
    struct stat status {};
    if (fstat(fd.Get(), &status) != 0) {
        return Failure("cannot read the size of", file);
    }
    std::string bytes(line);
    char last = '\n';
    if (status.st_size > 0 && pread(fd.Get(), &last, 1, status.st_size - 1) == 1 && last != '\n') {
        bytes.insert(bytes.begin(), '\n');
    }
    // One write; a short one (a full disk) is finished under the same lock, or the rest of the
    // line is left cut, which the next append and the reader both recognise.
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = write(fd.Get(), bytes.data() + written, bytes.size() - written);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            if (result == 0) {
                errno = ENOSPC;
            }
            return Failure("cannot write", file);
        }
        written += static_cast<size_t>(result);
    }
    if (fsync(fd.Get()) != 0) {
        return Failure("cannot sync", file);
    }
    if (created && !SyncFolder(place.directory)) {
        return Failure("cannot sync", place.directory);
    }
    return std::nullopt;
}

HistoryLock::Taking HistoryLock::Take(const HistoryPlace& place, Mode mode) {
    Taking taking;
    if (std::optional<std::string> error =
            MakeFolder(place.directory, place.shared ? 0755 : 0700)) {
        taking.error = *error;
        return taking;
    }
    // A lock needs no write access: a history that may only be read still locks.
    const std::filesystem::path file = place.directory / std::string(kRunLockFileName);
    int fd =
        open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, place.shared ? 0644 : 0600);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0) {
        taking.error = Failure("cannot open", file);
        return taking;
    }
    const int operation = mode == Mode::Run ? LOCK_SH : LOCK_EX | LOCK_NB;
    int locked = 0;
    while ((locked = flock(fd, operation)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        taking.busy = errno == EWOULDBLOCK;
        if (!taking.busy) {
            taking.error = Failure("cannot lock", file);
        }
        close(fd);
        return taking;
    }
    taking.lock = std::make_unique<HistoryLock>(fd);
    return taking;
}

HistoryLock::~HistoryLock() {
    close(static_cast<int>(handle));  // gives the lock up
}

}  // namespace flashtool
