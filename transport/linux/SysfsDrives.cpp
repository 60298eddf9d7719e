#include "transport/linux/SysfsDrives.h"

#include <algorithm>
#include <charconv>
#include <fstream>

namespace flashtool {

namespace {

constexpr int kOpticalDeviceType = 5;
// Sysfs attributes are short; anything longer is not what we expect and is cut.
constexpr size_t kMaxAttributeLength = 64;

std::string_view Trimmed(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::string> ReadAttribute(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text(kMaxAttributeLength, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return std::string(Trimmed(text));
}

// The identification texts come from the drive itself; keep them printable for messages.
std::string Printable(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c < 0x20 || c > 0x7E; }, '?');
    return text;
}

std::optional<uint64_t> ParseNumber(std::string_view text) {
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

// A node name such as "sg3" or "sr0": only lower-case letters and digits, so that it can
// never lead outside the device folder.
bool IsNodeName(std::string_view name) {
    return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

// The one node a driver has bound under `folder` (device/scsi_generic or device/block).
std::string NodeIn(const std::filesystem::path& folder) {
    std::error_code error;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().string();
        if (IsNodeName(name)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : names.front();
}

std::string DriveName(const std::filesystem::path& device) {
    std::string name;
    for (const char* attribute : {"vendor", "model", "rev"}) {
        const std::string part = Printable(ReadAttribute(device / attribute).value_or(""));
        if (!part.empty()) {
            name += name.empty() ? part : " " + part;
        }
    }
    return name;
}

bool IsHostFolder(const std::string& name) {
    return name.size() > 4 && name.starts_with("host") &&
           std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string PlaceOf(const std::filesystem::path& sysfsRoot, const std::filesystem::path& device,
                    const ScsiAddress& address, const std::string& addressText) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(device, error);
    const std::filesystem::path devices = std::filesystem::canonical(sysfsRoot / "devices", error);
    if (!error && !real.empty()) {
        std::string path;
        const std::filesystem::path relative = real.lexically_relative(devices);
        for (const std::filesystem::path& part : relative) {
            const std::string name = part.string();
            if (name == ".." || name == ".") {
                break;
            }
            if (IsHostFolder(name)) {
                return path + " " + std::to_string(address.channel) + ":" +
                       std::to_string(address.target) + ":" + std::to_string(address.lun);
            }
            path += (path.empty() ? "" : "/") + name;
        }
    }
    return "scsi " + addressText;
}

std::optional<OpticalDrive> ReadDrive(const std::filesystem::path& sysfsRoot,
                                      const std::filesystem::path& entry) {
    const std::string addressText = entry.filename().string();
    const std::optional<ScsiAddress> address = ParseScsiAddress(addressText);
    const std::filesystem::path device = entry / "device";
    const std::optional<std::string> type = ReadAttribute(device / "type");
    if (!address || !type || ParseNumber(*type) != std::optional<uint64_t>(kOpticalDeviceType)) {
        return std::nullopt;
    }
    return OpticalDrive{*address,
                        addressText,
                        DriveName(device),
                        NodeIn(device / "scsi_generic"),
                        NodeIn(device / "block"),
                        PlaceOf(sysfsRoot, device, *address, addressText)};
}

}  // namespace

std::optional<ScsiAddress> ParseScsiAddress(std::string_view text) {
    uint64_t fields[4] = {};
    for (int i = 0; i < 4; ++i) {
        const size_t colon = i < 3 ? text.find(':') : text.size();
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        const std::optional<uint64_t> number = ParseNumber(text.substr(0, colon));
        if (!number) {
            return std::nullopt;
        }
        fields[i] = *number;
        text.remove_prefix(std::min(colon + 1, text.size()));
    }
    return ScsiAddress{fields[0], fields[1], fields[2], fields[3]};
}

std::vector<OpticalDrive> FindOpticalDrives(const std::filesystem::path& sysfsRoot) {
    std::vector<OpticalDrive> drives;
    std::error_code error;
    for (std::filesystem::directory_iterator it(sysfsRoot / "class" / "scsi_device", error), end;
         !error && it != end; it.increment(error)) {
        if (std::optional<OpticalDrive> drive = ReadDrive(sysfsRoot, it->path())) {
            drives.push_back(std::move(*drive));
        }
    }
    std::sort(drives.begin(), drives.end(),
              [](const OpticalDrive& a, const OpticalDrive& b) { return a.address < b.address; });
    return drives;
}

}  // namespace flashtool
