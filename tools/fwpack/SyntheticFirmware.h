#pragma once

// A deterministic stand-in for a drive firmware image: the header a drive reads when it
// installs an image (image/FirmwareHeader.h), then content shaped like real firmware so
// that it compresses like it: a vector table, a code area of 16-bit instructions with
// calls, branches and literal pools, message texts, smooth calibration tables, and
// erased flash (0xFF) to the end. The same seed gives the same bytes on every machine;
// two images with the same seed share their content up to the shorter code area.

#include <cstdint>
#include <string>
#include <vector>

namespace flashtool {

struct SyntheticFirmwareParameters {
    std::string revision;  // 4 characters, written to the header
    std::string family;    // at most 8 characters, written to the header
    uint32_t length = 0;   // bytes in the whole image, header included
    uint64_t seed = 0;
    uint32_t codeSize = 0;  // bytes of instructions; clipped to what the length leaves
};

std::vector<uint8_t> GenerateSyntheticFirmware(const SyntheticFirmwareParameters& parameters);

}  // namespace flashtool
