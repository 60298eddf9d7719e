#pragma once

#include <cstdint>

namespace flashtool {

// A colour as 0x00BBGGRR (red in the low byte); kWindowTextColor stands for the system's
// window-text colour.
using ColorRef = uint32_t;
inline constexpr ColorRef kWindowTextColor = 0xFFFFFFFF;

constexpr ColorRef MakeColorRef(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<ColorRef>(red) | (static_cast<ColorRef>(green) << 8) |
           (static_cast<ColorRef>(blue) << 16);
}
// The colour of a drive the tree shows greyed: red, green and blue each 125.
inline constexpr ColorRef kGreyedItemColor = MakeColorRef(125, 125, 125);

constexpr uint8_t RedOf(ColorRef color) {
    return static_cast<uint8_t>(color & 0xFF);
}
constexpr uint8_t GreenOf(ColorRef color) {
    return static_cast<uint8_t>((color >> 8) & 0xFF);
}
constexpr uint8_t BlueOf(ColorRef color) {
    return static_cast<uint8_t>((color >> 16) & 0xFF);
}

}  // namespace flashtool
