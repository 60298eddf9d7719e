#include "emulator/VirtualDrive.h"

namespace flashtool {

// The maker's vendor commands are not modelled yet: the drive refuses them as unknown.
PassThroughOutcome VirtualDrive::HandleVendor(const ScsiRequest& /*request*/) {
    return PassThroughOutcome::CheckCondition(sense::kInvalidOpcode);
}

}  // namespace flashtool
