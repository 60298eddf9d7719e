#pragma once

// The native back-end of the Linux build: optical drives found through sysfs, each reached
// through its SCSI generic node (/dev/sgN), every command one SG_IO ioctl.
//
// The block node /dev/srN passes only a short list of commands for a user without
// CAP_SYS_RAWIO and refuses WRITE BUFFER and every vendor opcode, so it is used only when
// the sg driver has not bound the drive, and the user is told what that means. Drives that
// exist but cannot be used are reported once at the end of a scan; a command the system
// refuses later is reported once per drive. Nodes stay open until CloseDevice.
//
// A handle numbers an opened drive within this back-end and is never given out again; it is
// not the descriptor. The descriptor behind it changes when the run claims the drive and
// releases it, and each one is kept under the number the system gave it: descriptor numbers
// are shared by every thread of the process, and one closed here may belong to another
// thread's open (another worker's scan, the keep-awake lock, a trace file) a moment later.

#include <fcntl.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "transport/PassThroughBackend.h"
#include "transport/linux/DriveNotice.h"
#include "transport/linux/LinuxSystem.h"
#include "transport/linux/SysfsDrives.h"

namespace flashtool {

class SgIoBackend final : public PassThroughBackend {
public:
    // The real system: sysfs under /sys, device nodes under /dev.
    SgIoBackend();
    SgIoBackend(std::unique_ptr<LinuxSystem> system, std::filesystem::path sysfsRoot,
                std::filesystem::path deviceRoot);
    ~SgIoBackend() override;

    // Discovery uses only bytes 8-35, and 36 is the length every device must answer; some
    // USB bridges fail an INQUIRY of any other length.
    uint8_t InquiryLength() const override { return kInquiryLength; }
    static constexpr uint8_t kInquiryLength = 36;

    std::string NoDriveHint() const override {
        return "Check that the drive is connected, that the sg module is loaded (sudo modprobe "
               "sg), and that you may open /dev/sg* (the cdrom group, or the seat's access).";
    }
    void BeginDiscovery() override;
    bool DiscoveryMissedDrives() const override { return missedDrives; }
    // The sg driver refuses every open of a node another descriptor holds with O_EXCL (and
    // a plain open of one makes a later O_EXCL open fail): with --all, each worker's scan
    // opened the nodes the other workers held, and was told they were busy.
    void LimitDiscoveryTo(const std::string& node, size_t /*row*/) override { onlyNode = node; }
    std::optional<DeviceAddress> NextCandidate() override;
    void EndDiscovery(UserNotifier& notifier) override;

    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;
    void CloseDevice(const DeviceAddress& device) override;
    // The node the drive was opened through, then its other node if it has one.
    std::vector<std::string> NodeNames(const DeviceAddress& device) const override;
    // Where sysfs puts the drive (OpticalDrive::place).
    std::string DrivePlace(const DeviceAddress& device) const override;
    // The generic node opened again with O_EXCL: the sg driver then refuses every other
    // open of it until the run releases it. A block node offers nothing of the kind. A
    // second claim of a held drive changes nothing; so does a release of one not held.
    ExclusiveClaim ClaimExclusive(const DeviceAddress& device) override;
    void ReleaseExclusive(const DeviceAddress& device) override;
    void Unload() override;

    // Flags every node is opened with.
    static constexpr int kOpenFlags = O_RDWR | O_NONBLOCK | O_CLOEXEC;

private:
    std::optional<std::string> onlyNode;
    struct OpenNode {
        int fd = -1;
        std::string drive;
        std::string path;
        std::string otherPath;  // the node not used: the block node beside a generic one
        std::string place;      // OpticalDrive::place
        bool viaBlockNode = false;
        bool refusalReported = false;
        bool exclusive = false;  // fd was opened with O_EXCL
    };

    std::optional<DeviceAddress> OpenDrive(const OpticalDrive& drive);
    // The notice for a command the system refused, the first time for this drive.
    std::optional<std::string> ReportRefusedCommand(OpenNode& node, int error);
    void CloseAll();
    // Replaces the node's descriptor with one opened with `flags`. False, with the node open
    // shared where possible and forgotten otherwise, when the open is refused.
    bool Reopen(std::map<std::intptr_t, OpenNode>::iterator node, int flags);

    std::unique_ptr<LinuxSystem> system;
    std::filesystem::path sysfsRoot;
    std::filesystem::path deviceRoot;

    std::vector<OpticalDrive> pending;
    size_t next = 0;
    bool discovering = false;
    std::vector<DriveProblem> problems;
    bool missedDrives = false;  // the last discovery could not open a drive it found
    std::intptr_t lastHandle = 0;
    std::map<std::intptr_t, OpenNode> open;  // by handle
};

}  // namespace flashtool
