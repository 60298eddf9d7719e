#pragma once

// The machine's optical drives as sysfs describes them: every SCSI device of peripheral
// type 5 under <root>/class/scsi_device, with its SCSI generic and block node names.

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flashtool {

// Host, channel, target and logical unit; ordered numerically, field by field.
struct ScsiAddress {
    uint64_t host = 0;
    uint64_t channel = 0;
    uint64_t target = 0;
    uint64_t lun = 0;
    friend auto operator<=>(const ScsiAddress&, const ScsiAddress&) = default;
};

struct OpticalDrive {
    ScsiAddress address;
    std::string addressText;  // as sysfs names it, "H:C:T:L"
    std::string name;         // vendor, model and revision from sysfs, blanks trimmed
    std::string genericNode;  // "sgN", empty when the sg driver has not bound the drive
    std::string blockNode;    // "srN", empty when there is none
    // Where it sits, the same across restarts while it stays plugged in where it is: the path
    // of its SCSI device under <root>/devices up to its host adapter, then its channel,
    // target and unit ("pci0000:00/0000:00:1f.2/ata2 0:0:0"). The host adapter's own number
    // is left out, as the system numbers adapters in the order their drivers happen to
    // start. "scsi H:C:T:L" where sysfs does not lead there.
    std::string place;
};

// "H:C:T:L" with four decimal numbers; nothing for anything else.
std::optional<ScsiAddress> ParseScsiAddress(std::string_view text);

// Optical drives in ascending address order. A missing or unreadable tree gives none.
std::vector<OpticalDrive> FindOpticalDrives(const std::filesystem::path& sysfsRoot);

}  // namespace flashtool
