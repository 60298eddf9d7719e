#pragma once

// A wildcard build for the KM3100 family, whose checks read an OEM drive's model record:
// the region the scenario tests and the recorder's round trip run their OEM drives under.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tools/fwpack/RegionPacker.h"
#include "tools/fwpack/SyntheticFirmware.h"

namespace flashtool::testing {

inline std::vector<uint8_t> WildcardKm3100Region() {
    BuildDescription build;
    build.key = "TARN2";
    build.target = "*                       ";
    build.revision = "1.2b";
    build.family = "KM3100";
    build.pattern = "QZ*.**";
    const PackResult packed =
        PackRegion(build, GenerateSyntheticFirmware({"1.2b", "KM3100", 512 * 1024, 7, 200000}), {});
    EXPECT_TRUE(packed.error.empty()) << packed.error;
    return packed.region;
}

}  // namespace flashtool::testing
