#pragma once

// A Windows icon file (.ico) that holds PNG pictures as they are, which Windows takes from
// Vista on: the build draws a vendor's SVG icon at the sizes the desktop shows and packs
// them into the icon resource of the programs.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace flashtool {

struct IconFile {
    std::vector<uint8_t> bytes;  // empty on error
    std::string error;
};

// The icon of `pictures` (PNG files, square, 1 to 256 pixels wide), in their order.
IconFile IconFromPngs(std::span<const std::vector<uint8_t>> pictures);

}  // namespace flashtool
