#pragma once

// The header at the start of this project's synthetic firmware images. A drive that
// installs an image reads its revision from here. Layout (little-endian numbers):
//   0   8  magic "OPTFW\0\0\1"
//   8   4  firmware revision, 4 characters
//  12   8  family code, zero-padded
//  20   4  length of the whole image in bytes
//  24   8  zero

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "core/Bytes.h"

namespace flashtool {

constexpr size_t kFirmwareHeaderSize = 32;
constexpr std::array<uint8_t, 8> kFirmwareMagic = {'O', 'P', 'T', 'F', 'W', 0, 0, 1};

struct FirmwareHeader {
    std::string revision;  // 4 characters
    std::string family;
    uint32_t imageLength = 0;
};

inline std::optional<FirmwareHeader> ReadFirmwareHeader(std::span<const uint8_t> image) {
    if (image.size() < kFirmwareHeaderSize ||
        std::memcmp(image.data(), kFirmwareMagic.data(), kFirmwareMagic.size()) != 0) {
        return std::nullopt;
    }
    FirmwareHeader header;
    header.revision.assign(reinterpret_cast<const char*>(image.data() + 8), 4);
    const char* family = reinterpret_cast<const char*>(image.data() + 12);
    header.family.assign(family, strnlen(family, 8));
    header.imageLength = *LittleEndian32At(image, 20);
    return header;
}

}  // namespace flashtool
