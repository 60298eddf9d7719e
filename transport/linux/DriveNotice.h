#pragma once

// What the user is told about an optical drive that exists but cannot be used to update
// firmware: which drive, why, and what to do about it.

#include <optional>
#include <string>
#include <vector>

#include "transport/linux/LinuxSystem.h"

namespace flashtool {

enum class DriveProblemKind {
    NoNode,          // neither an sg nor a block node: nothing to open
    OpenRefused,     // EACCES or EPERM on open
    OpenFailed,      // any other open error
    BlockNodeOnly,   // reached through srN, which refuses the firmware commands
    CommandRefused,  // EPERM or EACCES on a command
};

struct DriveProblem {
    DriveProblemKind kind = DriveProblemKind::OpenFailed;
    std::string drive;  // vendor, model and revision; may be empty
    std::string where;  // the node path, or "SCSI address H:C:T:L" when there is no node
    bool viaBlockNode = false;
    int error = 0;                   // errno, for OpenFailed and CommandRefused
    std::optional<NodeGroup> group;  // owner of the node, for OpenRefused
};

// One paragraph about one drive.
std::string DescribeDriveProblem(const DriveProblem& problem);

// The whole message: a heading and one paragraph per drive. Empty when there is nothing.
std::string DriveProblemNotice(const std::vector<DriveProblem>& problems);

}  // namespace flashtool
