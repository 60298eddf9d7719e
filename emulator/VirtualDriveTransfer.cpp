#include "emulator/VirtualDrive.h"

namespace flashtool {

// Page transfer commands are not modelled yet: the drive refuses them as unknown.
PassThroughOutcome VirtualDrive::HandleTransfer(const ScsiRequest& /*request*/) {
    return PassThroughOutcome::CheckCondition(sense::kInvalidOpcode);
}

}  // namespace flashtool
