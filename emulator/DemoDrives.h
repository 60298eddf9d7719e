#pragma once

#include <memory>
#include <vector>

#include "emulator/VirtualDrive.h"

namespace flashtool {

// The drives of the emulated executable: this build's target at an older revision, then
// two drives this build cannot update.
std::vector<std::shared_ptr<VirtualDrive>> MakeDemoDrives();

}  // namespace flashtool
