#include "emulator/EmulatedRestart.h"

#include <string>

namespace flashtool {

bool EmulatedRestart::RequestRestart() {
    diagnostics.Write(std::string(kEmulatedRestartLine) + "\n");
    if (log) {
        log(kEmulatedRestartLine);
    }
    return true;
}

}  // namespace flashtool
