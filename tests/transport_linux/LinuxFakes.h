#pragma once

// Fakes for the SG_IO back-end: a scripted LinuxSystem (open, close, ioctl, node groups)
// and a sysfs tree in a temporary folder.

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "transport/linux/LinuxSystem.h"

namespace flashtool::testing {

// What one SG_IO call carried, copied while the back-end's buffers were alive.
struct SeenRequest {
    int fd;
    sg_io_hdr_t header;
    std::vector<uint8_t> cdb;
};

class FakeLinuxSystem final : public LinuxSystem {
public:
    // Open result per path: a descriptor, or a negated errno. Unknown paths: -ENOENT.
    std::map<std::string, int> openResults;
    std::map<std::string, NodeGroup> groups;
    bool rawIo = false;
    // Completes the request (status, sense, resid) or returns an errno; default: GOOD.
    std::function<int(int fd, sg_io_hdr_t&)> ioctl;

    // When set, decides every open (flags included) instead of openResults.
    std::function<int(const std::string& path, int flags)> openHook;

    std::vector<std::string> opened;
    std::vector<int> openFlags;
    std::vector<int> closed;
    std::vector<SeenRequest> seen;

    int Open(const std::string& path, int flags) override {
        opened.push_back(path);
        openFlags.push_back(flags);
        if (openHook) {
            return openHook(path, flags);
        }
        const auto found = openResults.find(path);
        return found == openResults.end() ? -ENOENT : found->second;
    }
    void Close(int fd) override { closed.push_back(fd); }
    int SgIo(int fd, sg_io_hdr_t& header) override {
        seen.push_back(SeenRequest{fd, header, {header.cmdp, header.cmdp + header.cmd_len}});
        return ioctl ? ioctl(fd, header) : 0;
    }
    std::optional<NodeGroup> GroupOf(const std::string& path) override {
        const auto found = groups.find(path);
        return found == groups.end() ? std::nullopt : std::optional<NodeGroup>(found->second);
    }
    bool HasRawIoCapability() override { return rawIo; }
};

// A sysfs tree with class/scsi_device/<H:C:T:L>/device/{type,vendor,model,rev,...}.
class FakeSysfs {
public:
    FakeSysfs() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sysfs-XXXXXX").string();
        root = mkdtemp(pattern.data());
    }
    ~FakeSysfs() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    // A SCSI device; sg and sr are node names, empty when the driver has not bound it.
    void AddDevice(const std::string& address, const std::string& type, const std::string& sg,
                   const std::string& sr, const std::string& vendor = "KESTREL ",
                   const std::string& model = "DVD-ROM KD-1650 ", const std::string& rev = "0113") {
        const std::filesystem::path device = root / "class" / "scsi_device" / address / "device";
        std::filesystem::create_directories(device);
        Fill(device, type, sg, sr, vendor, model, rev);
    }

    // A SCSI device as the kernel lays it out: its folder under devices/<parent>/hostH/
    // targetH:C:T/<address>, and class/scsi_device/<address>/device a link to it.
    void AddDeviceUnder(const std::string& parent, const std::string& address,
                        const std::string& sg, const std::string& sr) {
        const std::string host = address.substr(0, address.find(':'));
        const std::string target = address.substr(0, address.rfind(':'));
        const std::filesystem::path device =
            root / "devices" / parent / ("host" + host) / ("target" + target) / address;
        std::filesystem::create_directories(device);
        Fill(device, "5", sg, sr, "KESTREL ", "DVD-ROM KD-1650 ", "0113");
        const std::filesystem::path entry = root / "class" / "scsi_device" / address;
        std::filesystem::create_directories(entry);
        std::filesystem::create_directory_symlink(device, entry / "device");
    }

    std::filesystem::path root;

private:
    static void Fill(const std::filesystem::path& device, const std::string& type,
                     const std::string& sg, const std::string& sr, const std::string& vendor,
                     const std::string& model, const std::string& rev) {
        Write(device / "type", type + "\n");
        Write(device / "vendor", vendor + "\n");
        Write(device / "model", model + "\n");
        Write(device / "rev", rev + "\n");
        if (!sg.empty()) {
            std::filesystem::create_directories(device / "scsi_generic" / sg);
        }
        if (!sr.empty()) {
            std::filesystem::create_directories(device / "block" / sr);
        }
    }
    static void Write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }
};

}  // namespace flashtool::testing
