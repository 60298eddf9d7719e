#include "transport/linux/SgIoBackend.h"

#include <algorithm>
#include <cerrno>

#include "transport/UserNotifier.h"
#include "transport/linux/SgIoRequest.h"

namespace flashtool {

namespace {

bool IsPermissionError(int error) {
    return error == EACCES || error == EPERM;
}

}  // namespace

SgIoBackend::SgIoBackend() : SgIoBackend(std::make_unique<RealLinuxSystem>(), "/sys", "/dev") {}

SgIoBackend::SgIoBackend(std::unique_ptr<LinuxSystem> systemIn, std::filesystem::path sysfsRootIn,
                         std::filesystem::path deviceRootIn)
    : system(std::move(systemIn)),
      sysfsRoot(std::move(sysfsRootIn)),
      deviceRoot(std::move(deviceRootIn)) {}

SgIoBackend::~SgIoBackend() {
    CloseAll();
}

void SgIoBackend::BeginDiscovery() {
    pending = FindOpticalDrives(sysfsRoot);
    if (onlyNode) {
        // The node a drive is opened through, as NodeNames names it first.
        std::erase_if(pending, [this](const OpticalDrive& drive) {
            const std::string& node =
                drive.genericNode.empty() ? drive.blockNode : drive.genericNode;
            return node.empty() || (deviceRoot / node).string() != *onlyNode;
        });
    }
    next = 0;
    problems.clear();
    missedDrives = false;
    discovering = true;
}

std::optional<DeviceAddress> SgIoBackend::NextCandidate() {
    while (next < pending.size()) {
        if (std::optional<DeviceAddress> address = OpenDrive(pending[next++])) {
            return address;
        }
    }
    return std::nullopt;
}

std::optional<DeviceAddress> SgIoBackend::OpenDrive(const OpticalDrive& drive) {
    DriveProblem problem;
    problem.drive = drive.name;
    if (drive.genericNode.empty() && drive.blockNode.empty()) {
        problem.kind = DriveProblemKind::NoNode;
        problem.where = "SCSI address " + drive.addressText;
        problems.push_back(problem);
        missedDrives = true;
        return std::nullopt;
    }
    problem.viaBlockNode = drive.genericNode.empty();
    problem.where =
        (deviceRoot / (problem.viaBlockNode ? drive.blockNode : drive.genericNode)).string();

    const int fd = system->Open(problem.where, kOpenFlags);
    if (fd < 0) {
        problem.error = -fd;
        problem.kind = IsPermissionError(problem.error) ? DriveProblemKind::OpenRefused
                                                        : DriveProblemKind::OpenFailed;
        if (problem.kind == DriveProblemKind::OpenRefused) {
            problem.group = system->GroupOf(problem.where);
        }
        problems.push_back(problem);
        missedDrives = true;
        return std::nullopt;
    }
    // With CAP_SYS_RAWIO the block node passes every command, so there is nothing to say.
    if (problem.viaBlockNode && !system->HasRawIoCapability()) {
        problem.kind = DriveProblemKind::BlockNodeOnly;
        problems.push_back(problem);
    }
    const std::string other = problem.viaBlockNode || drive.blockNode.empty()
                                  ? ""
                                  : (deviceRoot / drive.blockNode).string();
    DeviceAddress address;
    address.handle = ++lastHandle;
    open[address.handle] = OpenNode{fd,          drive.name,           problem.where, other,
                                    drive.place, problem.viaBlockNode, false,         false};
    return address;
}

void SgIoBackend::EndDiscovery(UserNotifier& notifierIn) {
    discovering = false;
    pending.clear();
    if (!problems.empty()) {
        notifierIn.ShowMessage(DriveProblemNotice(problems));
        problems.clear();
    }
}

PassThroughOutcome SgIoBackend::Send(const DeviceAddress& device, const ScsiRequest& request) {
    const auto node = open.find(device.handle);
    if (node == open.end()) {
        return PassThroughOutcome::OsFailure(EBADF);
    }
    if (request.cdb.empty() || request.cdb.size() > kMaxCdbLength) {
        return PassThroughOutcome::OsFailure(EINVAL);
    }
    SgIoBuffers buffers;
    sg_io_hdr_t header = BuildSgIoHeader(request, buffers);
    const int error = system->SgIo(node->second.fd, header);
    if (error != 0) {
        PassThroughOutcome outcome = PassThroughOutcome::OsFailure(error);
        if (IsPermissionError(error)) {
            outcome.notice = ReportRefusedCommand(node->second, error);
        }
        return outcome;
    }
    return MapSgIoResult(header, buffers.sense, request.length);
}

std::optional<std::string> SgIoBackend::ReportRefusedCommand(OpenNode& node, int error) {
    if (node.refusalReported) {
        return std::nullopt;
    }
    node.refusalReported = true;
    DriveProblem problem;
    problem.kind = DriveProblemKind::CommandRefused;
    problem.drive = node.drive;
    problem.where = node.path;
    problem.viaBlockNode = node.viaBlockNode;
    problem.error = error;
    if (discovering) {
        // The scan drops this drive; the user hears about it with the scan's other findings,
        // once per node.
        const bool known = std::any_of(problems.begin(), problems.end(),
                                       [&](const DriveProblem& p) { return p.where == node.path; });
        if (!known) {
            problems.push_back(problem);
        }
        return std::nullopt;
    }
    // Told once per drive, by the dialog: this may run on the flash worker, which must
    // never wait on a box it did not ask for.
    return DriveProblemNotice({problem});
}

ExclusiveClaim SgIoBackend::ClaimExclusive(const DeviceAddress& device) {
    const auto node = open.find(device.handle);
    if (node == open.end() || node->second.viaBlockNode) {
        return ExclusiveClaim::NotOffered;
    }
    if (node->second.exclusive) {
        return ExclusiveClaim::Claimed;
    }
    return Reopen(node, kOpenFlags | O_EXCL) ? ExclusiveClaim::Claimed : ExclusiveClaim::Busy;
}

void SgIoBackend::ReleaseExclusive(const DeviceAddress& device) {
    const auto node = open.find(device.handle);
    if (node != open.end() && node->second.exclusive) {
        Reopen(node, kOpenFlags);
    }
}

bool SgIoBackend::Reopen(std::map<std::intptr_t, OpenNode>::iterator node, int flags) {
    OpenNode& held = node->second;
    // Our own descriptor counts as another open for O_EXCL, and an exclusive one refuses
    // every other open: it goes first. Its number is free from that moment, for any thread.
    system->Close(held.fd);
    held.fd = -1;
    held.exclusive = false;
    const bool exclusive = (flags & O_EXCL) != 0;
    const int fresh = system->Open(held.path, flags);
    if (fresh >= 0) {
        held.fd = fresh;
        held.exclusive = exclusive;
        return true;
    }
    const int shared = exclusive ? system->Open(held.path, kOpenFlags) : fresh;
    if (shared >= 0) {
        held.fd = shared;
    } else {
        open.erase(node);  // the node is gone: later commands fail as for an unknown handle
    }
    return false;
}

void SgIoBackend::CloseDevice(const DeviceAddress& device) {
    const auto node = open.find(device.handle);
    if (node != open.end()) {
        system->Close(node->second.fd);
        open.erase(node);
    }
}

std::vector<std::string> SgIoBackend::NodeNames(const DeviceAddress& device) const {
    const auto node = open.find(device.handle);
    if (node == open.end()) {
        return {};
    }
    std::vector<std::string> names{node->second.path};
    if (!node->second.otherPath.empty()) {
        names.push_back(node->second.otherPath);
    }
    return names;
}

std::string SgIoBackend::DrivePlace(const DeviceAddress& device) const {
    const auto node = open.find(device.handle);
    return node == open.end() ? std::string() : node->second.place;
}

void SgIoBackend::Unload() {
    CloseAll();
}

void SgIoBackend::CloseAll() {
    for (const auto& [handle, node] : open) {
        system->Close(node.fd);
    }
    open.clear();
}

}  // namespace flashtool
