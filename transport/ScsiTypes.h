#pragma once

// The small vocabulary every layer uses to talk about one SCSI command.

#include <cstddef>
#include <cstdint>

namespace flashtool {

// Direction of a command's data phase. Any other value is treated as None.
enum class DataDirection : uint8_t { None = 0, Out = 1, In = 2 };

// Outcome of one command. Callers test for Ok; some also tell Failed from TimedOut.
enum class ExecResult : uint8_t { Ok = 0, Failed = 1, TimedOut = 255 };

constexpr DataDirection NormalisedDirection(DataDirection direction) {
    return (direction == DataDirection::Out || direction == DataDirection::In)
               ? direction
               : DataDirection::None;
}

// The CDB length follows from the operation code's group (its top three bits), so that a
// caller can never send more or fewer bytes than the command defines. Vendor codes
// 0xF0-0xFF therefore always travel as 12-byte CDBs.
constexpr size_t CdbLength(uint8_t operationCode) {
    switch (operationCode >> 5) {
        case 0:
            return 6;
        case 1:
        case 2:
            return 10;
        case 3:
            return 12;
        case 4:
            return 16;
        default:
            return 12;
    }
}

// Timeouts handed to Execute, in seconds.
constexpr uint32_t kShortCommandTimeout = 15;
constexpr uint32_t kLongCommandTimeout = 200;

// SCSI status bytes the transport distinguishes.
constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;
constexpr uint8_t kStatusConditionMet = 0x04;
constexpr uint8_t kStatusBusy = 0x08;
constexpr uint8_t kStatusIntermediate = 0x10;
constexpr uint8_t kStatusIntermediateConditionMet = 0x14;
constexpr uint8_t kStatusReservationConflict = 0x18;
constexpr uint8_t kStatusTaskSetFull = 0x28;

// Sense keys the program tells apart.
constexpr uint8_t kSenseKeyNotReady = 0x02;
constexpr uint8_t kSenseKeyMediumError = 0x03;
constexpr uint8_t kSenseKeyHardwareError = 0x04;
constexpr uint8_t kSenseKeyIllegalRequest = 0x05;
constexpr uint8_t kSenseKeyUnitAttention = 0x06;
constexpr uint8_t kSenseKeyDataProtect = 0x07;
constexpr uint8_t kSenseKeyMiscompare = 0x0E;

// Sense key, additional sense code and qualifier, normalised from either sense format.
struct SenseInfo {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    friend bool operator==(const SenseInfo&, const SenseInfo&) = default;
};

}  // namespace flashtool
