#pragma once

// Small stored regions made with the packer, for tests of the image layer.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/ImageLayout.h"
#include "image/BuildConfig.h"
#include "tools/fwpack/RegionPacker.h"
#include "tools/fwpack/SyntheticFirmware.h"

namespace flashtool {

inline BuildDescription SmallBuild(RegionLayout layout, std::string family = "KM7240") {
    BuildDescription d;
    d.key = "TARN2";
    d.target = "ORIN    DVD RW QV-5500A ";
    d.revision = "1.0e";
    d.family = std::move(family);
    d.pattern = "QZ*.**";
    d.layout = layout;
    if (layout == RegionLayout::Dual) {
        d.versionB = "1.0f";
    }
    return d;
}

// A few pages of firmware-like bytes; different seeds give different images.
inline std::vector<uint8_t> SmallImage(uint64_t seed, uint32_t length = 40000) {
    return GenerateSyntheticFirmware({"1.0e", "KM7240", length, seed, length / 2});
}

inline std::vector<uint8_t> PackSmallRegion(RegionLayout layout, std::string family = "KM7240") {
    const PackResult packed =
        PackRegion(SmallBuild(layout, std::move(family)), SmallImage(1), SmallImage(2, 50000));
    EXPECT_EQ(packed.error, "");
    return packed.region;
}

inline BuildConfig ConfigOf(std::span<const uint8_t> region) {
    return BuildConfig::FromBytes(region).value_or(BuildConfig());
}

inline PayloadHeader HeaderOf(std::span<const uint8_t> region) {
    if (region.size() < kPayloadHeaderOffset) {
        return {};
    }
    return PayloadHeader::FromBytes(region.subspan(kPayloadHeaderOffset)).value_or(PayloadHeader());
}

}  // namespace flashtool
