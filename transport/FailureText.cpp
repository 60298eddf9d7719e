#include "transport/FailureText.h"

#include <system_error>

#include "core/Format.h"

namespace flashtool {

std::string DescribeFailure(const CommandResult& command) {
    if (!command.sent) {
        return "it could not be sent";
    }
    const PassThroughOutcome& outcome = command.outcome;
    switch (outcome.kind) {
        case OutcomeKind::TimedOut:
            return "it timed out";
        case OutcomeKind::TransportError:
            return "the host adapter or its driver failed it";
        case OutcomeKind::OsError:
            // errno on Linux, the system's error code on Windows: the system category names
            // either.
            return "the system refused to pass it on: " +
                   std::system_category().message(outcome.osError) +
                   FormatText(" (error %d)", outcome.osError);
        case OutcomeKind::Completed:
            break;
    }
    if (outcome.scsiStatus == kStatusCheckCondition) {
        return FormatText("it ended with CHECK CONDITION, sense %02X/%02X/%02X", command.SenseKey(),
                          command.Asc(), command.Ascq());
    }
    return FormatText("it ended with SCSI status %02Xh", outcome.scsiStatus);
}

}  // namespace flashtool
