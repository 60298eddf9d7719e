#include "tools/vhost-drive/VhostUserMessage.h"

#include "core/Bytes.h"

namespace flashtool::vhost_user {

namespace {

constexpr size_t kVringStateSize = 8;
constexpr size_t kVringAddressSize = 40;
constexpr size_t kMemoryTableHeader = 8;
constexpr size_t kMemoryRegionSize = 32;

std::optional<uint64_t> U64At(std::span<const uint8_t> bytes, size_t offset) {
    const auto low = LittleEndian32At(bytes, offset);
    const auto high = LittleEndian32At(bytes, offset + 4);
    if (!low || !high) {
        return std::nullopt;
    }
    return (uint64_t{*high} << 32) | *low;
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

}  // namespace

std::optional<Header> ParseHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderSize) {
        return std::nullopt;
    }
    return Header{*LittleEndian32At(bytes, 0), *LittleEndian32At(bytes, 4),
                  *LittleEndian32At(bytes, 8)};
}

std::array<uint8_t, kHeaderSize> EncodeHeader(const Header& header) {
    std::array<uint8_t, kHeaderSize> bytes{};
    StoreLittleEndian32(bytes, 0, header.request);
    StoreLittleEndian32(bytes, 4, header.flags);
    StoreLittleEndian32(bytes, 8, header.size);
    return bytes;
}

std::optional<uint64_t> ParseU64(std::span<const uint8_t> payload) {
    return U64At(payload, 0);
}

std::optional<VringState> ParseVringState(std::span<const uint8_t> payload) {
    if (payload.size() < kVringStateSize) {
        return std::nullopt;
    }
    return VringState{*LittleEndian32At(payload, 0), *LittleEndian32At(payload, 4)};
}

std::optional<VringAddress> ParseVringAddress(std::span<const uint8_t> payload) {
    if (payload.size() < kVringAddressSize) {
        return std::nullopt;
    }
    return VringAddress{
        *LittleEndian32At(payload, 0), *LittleEndian32At(payload, 4), *U64At(payload, 8),
        *U64At(payload, 16),           *U64At(payload, 24),           *U64At(payload, 32)};
}

std::optional<std::vector<MemoryRegion>> ParseMemoryTable(std::span<const uint8_t> payload) {
    const auto count = LittleEndian32At(payload, 0);
    if (!count || *count > kMaxRegions ||
        payload.size() < kMemoryTableHeader + *count * kMemoryRegionSize) {
        return std::nullopt;
    }
    std::vector<MemoryRegion> regions;
    for (size_t i = 0; i < *count; ++i) {
        const size_t at = kMemoryTableHeader + i * kMemoryRegionSize;
        regions.push_back(MemoryRegion{*U64At(payload, at), *U64At(payload, at + 8),
                                       *U64At(payload, at + 16), *U64At(payload, at + 24)});
    }
    return regions;
}

std::vector<uint8_t> EncodeU64(uint64_t value) {
    std::vector<uint8_t> out;
    PutU32(out, static_cast<uint32_t>(value));
    PutU32(out, static_cast<uint32_t>(value >> 32));
    return out;
}

std::vector<uint8_t> EncodeVringState(const VringState& state) {
    std::vector<uint8_t> out;
    PutU32(out, state.index);
    PutU32(out, state.num);
    return out;
}

}  // namespace flashtool::vhost_user
