#pragma once

// What a virtual drive keeps for the maker's vendor commands (handshake, capabilities
// page, model records, eject).

#include <array>
#include <cstdint>

namespace flashtool {

struct VendorState {
    uint16_t bufferSizeKb = 8192;  // reported in the capabilities page
    // The two copies of the 4-byte model record in vendor area 0xA2: model code, update
    // mark, two bytes of the drive's own.
    std::array<uint8_t, 4> recordAt02{0x00, 0x00, 0x5A, 0xC3};
    std::array<uint8_t, 4> recordAt24{0x00, 0x00, 0x5A, 0xC3};
    uint32_t handshakes = 0;    // handshakes accepted
    uint32_t recordWrites = 0;  // model record writes accepted
    uint32_t ejects = 0;        // trays opened

    // True while either record carries the update mark.
    bool UpdateMarked() const { return recordAt02[1] == 0x51 || recordAt24[1] == 0x51; }
};

}  // namespace flashtool
