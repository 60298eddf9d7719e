#include "tools/fwpack/IconFile.h"

#include <algorithm>
#include <array>

#include "core/Bytes.h"

namespace flashtool {

namespace {

constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kHeaderSize = 6;
constexpr size_t kEntrySize = 16;
constexpr uint32_t kLargestIcon = 256;

uint32_t BigEndian32(const std::vector<uint8_t>& bytes, size_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
           (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

}  // namespace

IconFile IconFromPngs(std::span<const std::vector<uint8_t>> pictures) {
    IconFile icon;
    if (pictures.empty() || pictures.size() > 16) {
        icon.error = "an icon holds 1 to 16 pictures";
        return icon;
    }
    std::vector<uint8_t> file(kHeaderSize + kEntrySize * pictures.size(), 0);
    StoreLittleEndian16(file, 2, 1);  // an icon, not a cursor
    StoreLittleEndian16(file, 4, static_cast<uint16_t>(pictures.size()));
    for (size_t i = 0; i < pictures.size(); ++i) {
        const std::vector<uint8_t>& png = pictures[i];
        // The signature, then the IHDR chunk: its length, its type, width and height.
        const bool isPng = png.size() > 24 &&
                           std::equal(kPngSignature.begin(), kPngSignature.end(), png.begin()) &&
                           std::equal(png.begin() + 12, png.begin() + 16, "IHDR");
        const uint32_t width = isPng ? BigEndian32(png, 16) : 0;
        const uint32_t height = isPng ? BigEndian32(png, 20) : 0;
        if (!isPng || width != height || width == 0 || width > kLargestIcon) {
            icon.error =
                "picture " + std::to_string(i + 1) + " is not a square PNG of 1 to 256 pixels";
            return icon;
        }
        const size_t entry = kHeaderSize + kEntrySize * i;
        file[entry] = static_cast<uint8_t>(width % kLargestIcon);  // 0 stands for 256
        file[entry + 1] = static_cast<uint8_t>(height % kLargestIcon);
        StoreLittleEndian16(file, entry + 4, 1);   // colour planes
        StoreLittleEndian16(file, entry + 6, 32);  // bits per pixel
        StoreLittleEndian32(file, entry + 8, static_cast<uint32_t>(png.size()));
        StoreLittleEndian32(file, entry + 12, static_cast<uint32_t>(file.size()));
        file.insert(file.end(), png.begin(), png.end());
    }
    icon.bytes = std::move(file);
    return icon;
}

}  // namespace flashtool
