#pragma once

// A build configuration, a stored region and the gating's state on top of the drive rig.
// By default the build is this program's own: key "TARN2", target "ORIN    DVD RW
// QV-5500A ", new revision "1.0e", family "KM7240", pattern "QZ*.**".

#include <algorithm>
#include <string>
#include <vector>

#include "policy/Gating.h"
#include "vendor/DriveRig.h"

namespace flashtool::testing {

struct BuildSetup {
    std::string key = "TARN2";
    std::string target = "ORIN    DVD RW QV-5500A ";
    std::string revision = "1.0e";
    std::string family = "KM7240";  // up to 10 bytes: the field and the 2 bytes after it
    std::string pattern = "QZ*.**";
};

inline void Put(std::array<uint8_t, kBuildConfigSize>& bytes, size_t offset,
                const std::string& text, size_t width) {
    std::copy_n(text.begin(), std::min(text.size(), width), bytes.begin() + offset);
}

inline BuildConfig MakeConfig(const BuildSetup& setup) {
    std::array<uint8_t, kBuildConfigSize> bytes{};
    Put(bytes, 0, setup.key, 8);
    Put(bytes, 8, setup.target, 24);
    Put(bytes, 32, setup.revision, 4);
    Put(bytes, 38, setup.family, 10);
    Put(bytes, 48, setup.pattern, 8);
    return BuildConfig(bytes);
}

// The PayloadHeader stored after the configuration: version "1.0g", sums, size.
constexpr std::array<uint8_t, kPayloadHeaderSize> kStoredPayloadHeader = {
    '1', '.', '0', 'g', 0, 0, 0x34, 0x12, 0x78, 0x56, 0x00, 0x00, 0x0E, 0x00};

struct GatingRig : DriveRig {
    BuildConfig config;
    GatingState state;
    std::vector<uint8_t> region;
    GatingTables tables;

    explicit GatingRig(std::vector<VirtualDriveSetup> setups = {VirtualDriveSetup{}},
                       const BuildSetup& setup = {})
        : DriveRig(std::move(setups)), config(MakeConfig(setup)) {
        region.assign(config.Bytes().begin(), config.Bytes().end());
        region.insert(region.end(), kStoredPayloadHeader.begin(), kStoredPayloadHeader.end());
    }

    // The gating's view of one drive of the table; the vendor commands follow it.
    GatingContext Context(uint8_t row = 0) {
        BindVendorTo(row);
        return GatingContext{
            ScsiDevice(*transport, row), *vendor, host, clock, config, state, region, tables};
    }
    // The gating for the first drive, described as the device table has it.
    Gating ForDrive(size_t index = 0) {
        return Gating(Context(), Drive(index).Identification() + Drive(index).Revision());
    }
};

}  // namespace flashtool::testing
