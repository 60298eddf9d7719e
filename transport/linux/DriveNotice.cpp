#include "transport/linux/DriveNotice.h"

#include <system_error>

#include "core/Format.h"

namespace flashtool {

namespace {

constexpr const char* kLoadSgOrRawIo =
    "Load the SCSI generic driver with \"sudo modprobe sg\" and start this program again, or "
    "run this program with the CAP_SYS_RAWIO capability (for example as root).";

std::string Label(const DriveProblem& problem) {
    const std::string name = problem.drive.empty() ? "Optical drive" : problem.drive;
    return name + " (" + problem.where + ")";
}

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

std::string OpenRefusedText(const DriveProblem& problem) {
    if (problem.viaBlockNode) {
        return "the SCSI generic driver (sg) is not loaded, and this program was not allowed "
               "to open the drive's block node. Load the driver with \"sudo modprobe sg\" and "
               "start this program again, or run this program as root.";
    }
    // Joining a group only helps when that group may read and write the node; "root" is
    // never worth suggesting. A read-write open of a generic node is all the kernel asks
    // for before it passes every command, firmware updates included (on Debian the group
    // is "cdrom"), so membership is a complete answer, not a partial one.
    if (problem.group && problem.group->canReadWrite && problem.group->name != "root") {
        const char* group = problem.group->name.c_str();
        return FormatText(
            "this program was not allowed to open the drive. Members of the group \"%s\" "
            "that owns the device node may open it for reading and writing and send the "
            "drive every command: add your user to that group (sudo usermod -aG %s $USER), "
            "log in again and start this program again, or run this program as root.",
            group, group);
    }
    return "this program was not allowed to open the drive. Run this program as root, or ask "
           "the administrator for read and write access to the device node.";
}

std::string ReasonText(const DriveProblem& problem) {
    switch (problem.kind) {
        case DriveProblemKind::NoNode:
            return "the system offers no device node for this drive. Load the SCSI generic "
                   "driver with \"sudo modprobe sg\" and start this program again.";
        case DriveProblemKind::OpenRefused:
            return OpenRefusedText(problem);
        case DriveProblemKind::BlockNodeOnly:
            return std::string(
                       "the SCSI generic driver (sg) is not loaded, so this program can "
                       "reach the drive only through its block node, which refuses the "
                       "commands that update firmware. ") +
                   kLoadSgOrRawIo;
        case DriveProblemKind::CommandRefused:
            return FormatText("the system refused to pass a command to the drive (%s). %s",
                              ErrorText(problem.error).c_str(),
                              problem.viaBlockNode
                                  ? kLoadSgOrRawIo
                                  : "Run this program with the CAP_SYS_RAWIO capability (for "
                                    "example as root).");
        case DriveProblemKind::OpenFailed:
        default:
            return FormatText("the drive could not be opened (%s).",
                              ErrorText(problem.error).c_str());
    }
}

}  // namespace

std::string DescribeDriveProblem(const DriveProblem& problem) {
    return Label(problem) + ": " + ReasonText(problem);
}

std::string DriveProblemNotice(const std::vector<DriveProblem>& problems) {
    if (problems.empty()) {
        return {};
    }
    std::string text = problems.size() == 1
                           ? "This optical drive cannot be used to update firmware:"
                           : "These optical drives cannot be used to update firmware:";
    for (const DriveProblem& problem : problems) {
        text += "\n\n" + DescribeDriveProblem(problem);
    }
    return text;
}

}  // namespace flashtool
