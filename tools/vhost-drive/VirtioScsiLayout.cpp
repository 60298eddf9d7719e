#include "tools/vhost-drive/VirtioScsiLayout.h"

#include <algorithm>

#include "core/Bytes.h"

namespace flashtool::virtio_scsi {

namespace {

constexpr uint8_t kLunFirstByte = 1;
constexpr uint8_t kFlatAddressing = 0x40;
constexpr uint16_t kMaxFlatLun = 0x3FFF;

std::optional<uint64_t> LittleEndian64At(std::span<const uint8_t> bytes, size_t offset) {
    const auto low = LittleEndian32At(bytes, offset);
    const auto high = LittleEndian32At(bytes, offset + 4);
    if (!low || !high) {
        return std::nullopt;
    }
    return (uint64_t{*high} << 32) | *low;
}

}  // namespace

std::optional<UnitAddress> ParseLun(std::span<const uint8_t, 8> field) {
    // The guest driver always sets the flat-addressing marker; without it (peripheral
    // addressing, units below 256) the field names the same unit. Bytes 4-7 address lower levels,
    // which a drive never has.
    if (field[0] != kLunFirstByte || (field[2] & 0xC0) > kFlatAddressing ||
        std::any_of(field.begin() + 4, field.end(), [](uint8_t b) { return b != 0; })) {
        return std::nullopt;
    }
    return UnitAddress{field[1], static_cast<uint16_t>(((field[2] & 0x3F) << 8) | field[3])};
}

std::array<uint8_t, 8> EncodeLun(UnitAddress unit) {
    const uint16_t lun = std::min(unit.lun, kMaxFlatLun);
    return {kLunFirstByte,
            unit.target,
            static_cast<uint8_t>(kFlatAddressing | (lun >> 8)),
            static_cast<uint8_t>(lun & 0xFF),
            0,
            0,
            0,
            0};
}

std::optional<CommandRequest> ParseCommandRequest(std::span<const uint8_t> bytes) {
    if (bytes.size() < kCommandRequestSize) {
        return std::nullopt;
    }
    CommandRequest request;
    std::copy_n(bytes.begin(), 8, request.lun.begin());
    request.tag = *LittleEndian64At(bytes, 8);
    // Task attribute, priority and command reference (bytes 16-18) do not matter to a
    // device that runs one command at a time.
    std::copy_n(bytes.begin() + 19, kCdbSize, request.cdb.begin());
    return request;
}

std::array<uint8_t, kCommandResponseSize> EncodeCommandResponse(const CommandResponse& response) {
    std::array<uint8_t, kCommandResponseSize> bytes{};
    StoreLittleEndian32(bytes, 0, std::min<uint32_t>(response.senseLength, kSenseSize));
    StoreLittleEndian32(bytes, 4, response.residual);
    // Bytes 8-9: the status qualifier, always 0.
    bytes[10] = response.status;
    bytes[11] = response.response;
    std::copy(response.sense.begin(), response.sense.end(), bytes.begin() + 12);
    return bytes;
}

std::optional<uint32_t> ControlType(std::span<const uint8_t> bytes) {
    return LittleEndian32At(bytes, 0);
}

std::optional<TmfRequest> ParseTmfRequest(std::span<const uint8_t> bytes) {
    if (bytes.size() < kTmfRequestSize) {
        return std::nullopt;
    }
    TmfRequest request;
    request.subtype = *LittleEndian32At(bytes, 4);
    std::copy_n(bytes.begin() + 8, 8, request.lun.begin());
    request.tag = *LittleEndian64At(bytes, 16);
    return request;
}

}  // namespace flashtool::virtio_scsi
