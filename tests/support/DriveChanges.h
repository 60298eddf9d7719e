#pragma once

// What "nothing that changes the drive was sent" means in the tests' traces.

#include <cstddef>
#include <vector>

#include "emulator/VirtualDrive.h"

namespace flashtool::testing {

// Commands after which the drive is no longer what it was: a model record write, a page or
// block command of any transfer method, WRITE BUFFER, and the eject.
inline bool ChangesDrive(const TraceEntry& entry) {
    if (entry.cdb.empty()) {
        return false;
    }
    const uint8_t opcode = entry.cdb[0];
    const uint8_t sub = entry.cdb.size() > 1 ? entry.cdb[1] : 0;
    return (opcode == 0xF5 && sub == 0x03) || opcode == 0xFA || (opcode == 0xFD && sub == 0x07) ||
           opcode == 0xF2 || opcode == 0x3B || opcode == 0x1B;
}

inline size_t CountDriveChanges(const std::vector<TraceEntry>& trace) {
    size_t count = 0;
    for (const TraceEntry& entry : trace) {
        count += ChangesDrive(entry) ? 1 : 0;
    }
    return count;
}

}  // namespace flashtool::testing
