#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/Clock.h"
#include "emulator/VirtualDrive.h"

namespace flashtool {

// The text of scenarios/demo.json, carried inside the program.
std::span<const uint8_t> DemoScenarioText();

// The drives of the emulated executable when no scenario file is given: this build's
// target at an older revision, then two drives this build cannot update. They take their
// waits (they have none) on `clock`.
std::vector<std::shared_ptr<VirtualDrive>> MakeDemoDrives(Clock* clock = nullptr);

}  // namespace flashtool
