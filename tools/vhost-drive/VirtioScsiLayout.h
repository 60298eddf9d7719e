#pragma once

// The byte layouts of virtio-scsi requests and responses (all numbers little-endian), read
// from and written to plain buffers. The CDB and sense fields have the sizes the device
// configuration announces by default, which is what the guest driver uses.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace flashtool {

namespace virtio_scsi {

constexpr size_t kCdbSize = 32;
constexpr size_t kSenseSize = 96;
constexpr size_t kCommandRequestSize = 8 + 8 + 1 + 1 + 1 + kCdbSize;  // lun, tag, attr, prio, crn
constexpr size_t kCommandResponseSize = 4 + 4 + 2 + 1 + 1 + kSenseSize;
constexpr size_t kTmfRequestSize = 4 + 4 + 8 + 8;  // type, subtype, lun, tag
constexpr size_t kTmfResponseSize = 1;
constexpr size_t kAnRequestSize = 4 + 8 + 4;  // type, lun, events requested
constexpr size_t kAnResponseSize = 4 + 1;     // events actual, response

// Response codes of command and control requests.
constexpr uint8_t kOk = 0;
constexpr uint8_t kAborted = 2;
constexpr uint8_t kBadTarget = 3;
constexpr uint8_t kFailure = 9;
constexpr uint8_t kFunctionComplete = 0;
constexpr uint8_t kFunctionRejected = 11;

// Control request types and the task management functions this device carries out.
constexpr uint32_t kTypeTmf = 0;
constexpr uint32_t kTypeAnQuery = 1;
constexpr uint32_t kTypeAnSubscribe = 2;
constexpr uint32_t kTmfAbortTask = 0;
constexpr uint32_t kTmfAbortTaskSet = 1;
constexpr uint32_t kTmfLogicalUnitReset = 5;
constexpr uint32_t kTmfITNexusReset = 6;

// A LUN field: 1, the target, then the logical unit in flat addressing (0x40 in the high
// byte). Anything else names no unit.
struct UnitAddress {
    uint8_t target = 0;
    uint16_t lun = 0;
    friend bool operator==(const UnitAddress&, const UnitAddress&) = default;
};
std::optional<UnitAddress> ParseLun(std::span<const uint8_t, 8> field);
std::array<uint8_t, 8> EncodeLun(UnitAddress unit);

struct CommandRequest {
    std::array<uint8_t, 8> lun{};
    uint64_t tag = 0;
    std::array<uint8_t, kCdbSize> cdb{};
};
std::optional<CommandRequest> ParseCommandRequest(std::span<const uint8_t> bytes);

struct CommandResponse {
    uint32_t senseLength = 0;
    uint32_t residual = 0;
    uint8_t status = 0;
    uint8_t response = kOk;
    std::array<uint8_t, kSenseSize> sense{};
};
std::array<uint8_t, kCommandResponseSize> EncodeCommandResponse(const CommandResponse& response);

struct TmfRequest {
    uint32_t subtype = 0;
    std::array<uint8_t, 8> lun{};
    uint64_t tag = 0;
};
// The type field of any control request; nothing when the request is too short.
std::optional<uint32_t> ControlType(std::span<const uint8_t> bytes);
std::optional<TmfRequest> ParseTmfRequest(std::span<const uint8_t> bytes);

}  // namespace virtio_scsi

}  // namespace flashtool
