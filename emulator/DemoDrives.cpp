#include "emulator/DemoDrives.h"

#include <string_view>

#include "emulator/Scenario.h"

namespace flashtool {

std::vector<std::shared_ptr<VirtualDrive>> MakeDemoDrives(Clock* clock) {
    const auto text = DemoScenarioText();
    // The embedded file is checked by the tests; were it ever wrong, the demo shows no
    // drives rather than some of them.
    const ScenarioReading reading =
        ReadScenario("scenarios/demo.json",
                     std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    return BuildDrives(reading.drives, clock);
}

}  // namespace flashtool
