#pragma once

// The back-end a recording runs over: it passes on only the commands of the read-only list
// (ReadOnlyCommands.h) and refuses every other one without sending it. A refused command
// comes back to the caller as an operating-system refusal (a failure, never a drive's
// answer) with a notice, and is kept, so that the recorder can say what it would not send.
// Discovery, exclusive access and everything else that sends the drive nothing pass
// through unchanged.

#include <memory>
#include <string>
#include <vector>

#include "transport/ForwardingBackend.h"

namespace flashtool {

class RecordingBackend final : public ForwardingBackend {
public:
    explicit RecordingBackend(std::unique_ptr<PassThroughBackend> inner)
        : ForwardingBackend(std::move(inner)) {}

    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;

    // The commands refused so far, oldest first, each as "CDB-HEX (direction)".
    const std::vector<std::string>& Refused() const { return refused; }

private:
    std::vector<std::string> refused;
};

// "12 00 00 00 7D 00 (in)": a command as the recorder names one it refused.
std::string DescribeCommand(std::span<const uint8_t> cdb, DataDirection direction);

}  // namespace flashtool
