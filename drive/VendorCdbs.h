#pragma once

// The command blocks of the maker's vendor command set and the standard commands sent
// around it. Each block is built fresh by a small function; every byte not set here is
// zero. Multi-byte fields inside a CDB are big-endian.

#include <array>
#include <cstdint>

namespace flashtool {

// Operation codes.
constexpr uint8_t kOpTestUnitReady = 0x00;
constexpr uint8_t kOpStartStopUnit = 0x1B;
constexpr uint8_t kOpModeSense10 = 0x5A;
constexpr uint8_t kOpModelRecord = 0xF5;
constexpr uint8_t kOpVendorControl = 0xFD;

// Sub-functions (CDB byte 1) of the vendor operation codes.
constexpr uint8_t kSubHandshake = 0xF1;
constexpr uint8_t kSubModelRecordRead = 0x01;
constexpr uint8_t kSubModelRecordWrite = 0x03;

// The maker's signature, carried at CDB bytes 2-5 of every 0xFD command.
constexpr std::array<uint8_t, 4> kMakerSignature = {'T', 'A', 'R', 'N'};

// The drive keeps its model records in vendor area 0xA2, in two copies.
constexpr uint8_t kModelRecordArea = 0xA2;
constexpr uint8_t kModelRecordPrimary = 0x02;
constexpr uint8_t kModelRecordSecondary = 0x24;
constexpr uint8_t kModelRecordLength = 4;

// MODE SENSE(10): the capabilities page, current values, at most 30 bytes back.
constexpr uint8_t kCapabilitiesPage = 0x2A;
constexpr uint16_t kCapabilitiesAllocation = 30;

constexpr std::array<uint8_t, 12> VendorHandshakeCdb() {
    return {kOpVendorControl,
            kSubHandshake,
            kMakerSignature[0],
            kMakerSignature[1],
            kMakerSignature[2],
            kMakerSignature[3],
            0x00,
            0x00,
            0x00,
            0x00,
            0x00,
            0x00};
}

constexpr std::array<uint8_t, 6> TestUnitReadyCdb() {
    return {kOpTestUnitReady, 0, 0, 0, 0, 0};
}

constexpr std::array<uint8_t, 10> ModeSenseCapabilitiesCdb() {
    return {kOpModeSense10,
            0x00,
            kCapabilitiesPage,  // page control 00: current values
            0x00,
            0x00,
            0x00,
            0x00,
            static_cast<uint8_t>(kCapabilitiesAllocation >> 8),
            static_cast<uint8_t>(kCapabilitiesAllocation & 0xFF),
            0x00};
}

// Location in byte 5, transfer length in byte 7 (the high bytes 4 and 6 stay zero).
constexpr std::array<uint8_t, 12> ModelRecordReadCdb(uint8_t location) {
    return {kOpModelRecord, kSubModelRecordRead,
            0x00,           kModelRecordArea,
            0x00,           location,
            0x00,           kModelRecordLength,
            0x00,           0x00,
            0x00,           0x00};
}

constexpr std::array<uint8_t, 12> ModelRecordWriteCdb(uint8_t location, uint8_t length) {
    return {kOpModelRecord, kSubModelRecordWrite,
            0x00,           kModelRecordArea,
            0x00,           location,
            0x00,           length,
            0x00,           0x00,
            0x00,           0x00};
}

// START STOP UNIT with LoEj set and Start clear: open the tray.
constexpr std::array<uint8_t, 6> EjectCdb() {
    return {kOpStartStopUnit, 0, 0, 0, 0x02, 0};
}

}  // namespace flashtool
