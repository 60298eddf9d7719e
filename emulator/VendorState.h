#pragma once

// What a virtual drive keeps for the maker's vendor commands (handshake, capabilities
// page, model records, eject).

#include <array>
#include <cstdint>

namespace flashtool {

struct VendorState {
    uint16_t bufferSizeKb = 8192;  // reported in the capabilities page
};

}  // namespace flashtool
