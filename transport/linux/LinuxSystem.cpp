#include "transport/linux/LinuxSystem.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace flashtool {

int RealLinuxSystem::Open(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd >= 0 ? fd : -errno;
}

void RealLinuxSystem::Close(int fd) {
    // No retry on EINTR: on Linux the descriptor is gone whatever close returns.
    ::close(fd);
}

int RealLinuxSystem::SgIo(int fd, sg_io_hdr_t& header) {
    return ::ioctl(fd, SG_IO, &header) == 0 ? 0 : errno;
}

std::optional<NodeGroup> RealLinuxSystem::GroupOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 4096);
    struct group entry {};
    struct group* found = nullptr;
    while (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (found == nullptr || found->gr_name == nullptr) {
        return std::nullopt;
    }
    const bool readWrite = (info.st_mode & S_IRGRP) != 0 && (info.st_mode & S_IWGRP) != 0;
    return NodeGroup{found->gr_name, readWrite};
}

bool RealLinuxSystem::HasRawIoCapability() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    return (data[CAP_TO_INDEX(CAP_SYS_RAWIO)].effective & CAP_TO_MASK(CAP_SYS_RAWIO)) != 0;
}

}  // namespace flashtool
