// A Windows icon made of PNG pictures as they are: its directory names each picture's size
// and where its bytes lie, and anything but a square PNG of at most 256 pixels is refused.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "core/Bytes.h"
#include "tools/fwpack/IconFile.h"

namespace flashtool {
namespace {

// The start of a PNG file: its signature and an IHDR chunk of `width` by `height`, then
// `extra` bytes standing for the rest.
std::vector<uint8_t> Png(uint32_t width, uint32_t height, size_t extra) {
    const uint8_t start[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                             'I',  'H', 'D', 'R', 0,    0,    0,    0,    0, 0, 0, 0};
    // Made at its full size: GCC 12's -O3 flow analysis takes a vector's growth for a read
    // past its first bytes, and the Windows build stops at the warning.
    std::vector<uint8_t> png(sizeof start + extra, 0x5A);
    std::copy(std::begin(start), std::end(start), png.begin());
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
        png[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
    }
    return png;
}

TEST(IconFileTest, ADirectoryEntryForEachPictureThenThePicturesAsTheyAre) {
    const std::vector<std::vector<uint8_t>> pictures = {Png(16, 16, 10), Png(256, 256, 30)};
    const IconFile icon = IconFromPngs(pictures);
    ASSERT_EQ(icon.error, "");
    const std::vector<uint8_t>& file = icon.bytes;
    const size_t first = 6 + 2 * 16;
    ASSERT_EQ(file.size(), first + pictures[0].size() + pictures[1].size());
    EXPECT_EQ(LittleEndian16At(file, 2), 1);  // an icon
    EXPECT_EQ(LittleEndian16At(file, 4), 2);
    EXPECT_EQ(file[6], 16);
    EXPECT_EQ(file[6 + 16], 0);  // 256 pixels
    EXPECT_EQ(LittleEndian16At(file, 6 + 6), 32);
    EXPECT_EQ(LittleEndian32At(file, 6 + 8), pictures[0].size());
    EXPECT_EQ(LittleEndian32At(file, 6 + 12), first);
    EXPECT_EQ(LittleEndian32At(file, 6 + 16 + 12), first + pictures[0].size());
    EXPECT_TRUE(std::equal(pictures[1].begin(), pictures[1].end(),
                           file.begin() + static_cast<long>(first + pictures[0].size())));
}

TEST(IconFileTest, RefusesWhatIsNoSquarePngOfAtMost256Pixels) {
    std::vector<uint8_t> notPng = Png(32, 32, 0);
    notPng[1] = 'J';
    const std::vector<std::vector<uint8_t>> cases[] = {
        {}, {Png(32, 16, 0)}, {Png(512, 512, 0)}, {Png(0, 0, 0)}, {notPng}, {{1, 2, 3}}};
    for (const auto& pictures : cases) {
        const IconFile icon = IconFromPngs(pictures);
        EXPECT_TRUE(icon.bytes.empty());
        EXPECT_NE(icon.error, "");
    }
}

}  // namespace
}  // namespace flashtool
