// libFuzzer target: any bytes as a scenario file. The reader must never read outside its
// text, must give either drives or one one-line message naming the file (never both), and
// the drives it gives must hold texts of their exact widths and serial numbers of text the
// page can carry.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "emulator/Scenario.h"

using namespace flashtool;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ScenarioReading reading = ReadScenario("fuzz.json", text);
    if (!reading.Ok() && !reading.drives.empty()) {
        std::abort();  // a message and drives: a half-read file
    }
    if (reading.Ok()) {
        for (const DriveDescription& drive : reading.drives) {
            if (drive.setup.identification.size() != 24 || drive.setup.revision.size() != 4 ||
                drive.setup.oemTag.size() != 15 || drive.latencyMs > kMaxScenarioWaitMs ||
                drive.serial.size() > kMaxSerialLength) {
                std::abort();
            }
            for (const char c : drive.serial) {
                if (c < 0x20 || c > 0x7E) {
                    std::abort();
                }
            }
        }
    } else if (reading.error.rfind("fuzz.json: ", 0) != 0 ||
               reading.error.find('\n') != std::string::npos) {
        std::abort();  // every message names the file and is one line
    }
    return 0;
}
