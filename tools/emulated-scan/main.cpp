// Scans the emulated drives and prints the device table as the drive tree lists it. The
// emulated back-end writes the trace line of every command it carries first.
//
//   emulated-scan [SCENARIO-FILE]     (default: the demo's drives)

#include <array>
#include <cstdio>
#include <string>

#include "core/Diagnostics.h"
#include "emulator/DemoDrives.h"
#include "emulator/EmulatedBackend.h"
#include "emulator/Scenario.h"
#include "transport/ScsiTransport.h"
#include "transport/UserNotifier.h"

namespace {

class PrintingNotifier final : public flashtool::UserNotifier {
public:
    void ShowMessage(std::string_view text) override {
        std::printf("[message] %.*s\n", static_cast<int>(text.size()), text.data());
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    using namespace flashtool;
    if (argc > 2) {
        std::fprintf(stderr, "usage: emulated-scan [SCENARIO-FILE]\n");
        return 2;
    }
    SystemClock clock;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    if (argc == 2) {
        const ScenarioReading reading = LoadScenarioFile(argv[1]);
        if (!reading.Ok()) {
            std::fprintf(stderr, "emulated-scan: %s\n", reading.error.c_str());
            return 1;
        }
        drives = BuildDrives(reading.drives, &clock);
    } else {
        drives = MakeDemoDrives(&clock);
    }
    StdoutDiagnostics diagnostics;
    PrintingNotifier notifier;
    ScsiTransport transport(std::make_unique<EmulatedBackend>(drives, diagnostics), notifier);
    if (!transport.LoadBackend()) {
        return 1;
    }
    const uint8_t count = transport.ScanDevices();
    std::printf("\nMy Computer\n");
    if (count == 0) {
        std::printf("  (No Device found!)\n");
    }
    for (uint8_t row = 0; row < count; ++row) {
        transport.SelectDevice(row);
        std::array<char, 50> text{};
        transport.DescribeSelected(text);
        std::printf("  [%u] %s\n", row, text.data());
    }
    return 0;
}
