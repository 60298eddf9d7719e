#pragma once

// The few operating-system calls the SG_IO back-end makes, behind one small interface so
// that its logic runs in tests against a fake ioctl. Sysfs is read as ordinary files under
// a root folder that the back-end is given, so tests use a fake tree in a temporary folder.

#include <scsi/sg.h>

#include <optional>
#include <string>

namespace flashtool {

// The group that owns a device node, and whether that group may read and write it.
struct NodeGroup {
    std::string name;
    bool canReadWrite = false;
};

class LinuxSystem {
public:
    virtual ~LinuxSystem() = default;

    // Opens a device node. Returns the descriptor, or the negated errno on failure.
    virtual int Open(const std::string& path, int flags) = 0;
    virtual void Close(int fd) = 0;
    // One SG_IO ioctl. Returns 0, or the errno of a failed call.
    virtual int SgIo(int fd, sg_io_hdr_t& header) = 0;
    // The owning group of a node; nothing when the node or its group cannot be looked up.
    virtual std::optional<NodeGroup> GroupOf(const std::string& path) = 0;
    // True when this process may send any command through a block node (CAP_SYS_RAWIO).
    virtual bool HasRawIoCapability() = 0;
};

// The real calls: open(2), close(2), ioctl(2), stat(2) with getgrgid_r(3), capget(2).
class RealLinuxSystem final : public LinuxSystem {
public:
    int Open(const std::string& path, int flags) override;
    void Close(int fd) override;
    int SgIo(int fd, sg_io_hdr_t& header) override;
    std::optional<NodeGroup> GroupOf(const std::string& path) override;
    bool HasRawIoCapability() override;
};

}  // namespace flashtool
