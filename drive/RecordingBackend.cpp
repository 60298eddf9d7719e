#include "drive/RecordingBackend.h"

#include <cerrno>

#include "core/Format.h"
#include "drive/ReadOnlyCommands.h"

namespace flashtool {

std::string DescribeCommand(std::span<const uint8_t> cdb, DataDirection direction) {
    std::string text;
    for (const uint8_t byte : cdb) {
        text += FormatText(text.empty() ? "%02X" : " %02X", byte);
    }
    switch (NormalisedDirection(direction)) {
        case DataDirection::In:
            return text + " (in)";
        case DataDirection::Out:
            return text + " (out)";
        case DataDirection::None:
            break;
    }
    return text + " (none)";
}

PassThroughOutcome RecordingBackend::Send(const DeviceAddress& device, const ScsiRequest& request) {
    if (FindReadOnlyCommand(request.cdb, request.direction) != nullptr) {
        return Inner().Send(device, request);
    }
    const std::string command = DescribeCommand(request.cdb, request.direction);
    refused.push_back(command);
    PassThroughOutcome outcome = PassThroughOutcome::OsFailure(EPERM);
    outcome.notice = "A recording sends only commands that read; " + command + " was not sent.";
    return outcome;
}

}  // namespace flashtool
