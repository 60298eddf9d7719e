// Where --record writes on POSIX systems: a new file linked in whole, or an empty one filled.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/cli/RecordFile.h"

namespace flashtool {

namespace {

bool WriteAll(int descriptor, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::string CannotBeWritten(int error) {
    return std::string("cannot be written: ") + std::strerror(error);
}

void SyncFolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const int directory = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
}

}  // namespace

std::optional<std::string> RefusesFile(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return errno == ENOENT ? std::nullopt
                               : std::optional<std::string>(std::string("cannot be checked: ") +
                                                            std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return "exists and is not a regular file";
    }
    if (status.st_size != 0) {
        return "exists and is not empty; a recording is never replaced (remove it, or name "
               "another file)";
    }
    return std::nullopt;
}

std::optional<std::string> WriteNew(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        return CannotBeWritten(errno);
    }
    int error = 0;
    errno = 0;
    if (fchmod(descriptor, 0644) != 0 || !WriteAll(descriptor, text) || fsync(descriptor) != 0) {
        // A write that moved nothing sets no errno; it failed all the same.
        error = errno != 0 ? errno : EIO;
    }
    if (close(descriptor) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && link(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    unlink(temporary.c_str());
    if (error == EEXIST) {
        return "appeared while the drives were read; a recording is never replaced (remove it, "
               "or name another file)";
    }
    if (error != 0) {
        return CannotBeWritten(error);
    }
    SyncFolderOf(path);
    return std::nullopt;
}

std::optional<std::string> FillEmpty(const std::string& path, const std::string& text) {
    const int descriptor = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (descriptor < 0) {
        return CannotBeWritten(errno);
    }
    struct stat status {};
    std::optional<std::string> problem;
    if (fstat(descriptor, &status) != 0) {
        problem = CannotBeWritten(errno);
    } else if (!S_ISREG(status.st_mode) || status.st_size != 0) {
        problem =
            "is no longer an empty file; a recording is never replaced (remove it, or "
            "name another file)";
    } else if (!WriteAll(descriptor, text) || fsync(descriptor) != 0) {
        problem = CannotBeWritten(errno);
    } else if (fstat(descriptor, &status) != 0 ||
               static_cast<size_t>(status.st_size) != text.size()) {
        problem = "was written to by another program at the same time; check it";
    }
    if (close(descriptor) != 0 && !problem) {
        problem = CannotBeWritten(errno);
    }
    return problem;
}

}  // namespace flashtool
