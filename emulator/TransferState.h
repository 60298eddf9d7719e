#pragma once

// What a virtual drive keeps while firmware pages arrive, for every transfer method.

#include <cstdint>
#include <vector>

namespace flashtool {

struct TransferState {
    std::vector<uint8_t> installedImage;  // the last image the drive accepted and installed
};

}  // namespace flashtool
