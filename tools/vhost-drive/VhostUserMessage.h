#pragma once

// The vhost-user messages this back-end understands, as plain byte layouts (little-endian,
// the front-end's and our own byte order on the one host we share). Parsing checks each
// payload's size, since a short one would otherwise read past the message.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace flashtool::vhost_user {

enum Request : uint32_t {
    kGetFeatures = 1,
    kSetFeatures = 2,
    kSetOwner = 3,
    kResetOwner = 4,
    kSetMemTable = 5,
    kSetLogBase = 6,
    kSetLogFd = 7,
    kSetVringNum = 8,
    kSetVringAddr = 9,
    kSetVringBase = 10,
    kGetVringBase = 11,
    kSetVringKick = 12,
    kSetVringCall = 13,
    kSetVringErr = 14,
    kGetProtocolFeatures = 15,
    kSetProtocolFeatures = 16,
    kGetQueueNum = 17,
    kSetVringEnable = 18,
};

constexpr size_t kHeaderSize = 12;
constexpr uint32_t kVersion = 0x1;
constexpr uint32_t kVersionMask = 0x3;
constexpr uint32_t kReplyFlag = 0x4;
constexpr uint32_t kNeedReplyFlag = 0x8;
constexpr size_t kMaxPayload = 4096;
constexpr size_t kMaxRegions = 8;  // without the memory-slots protocol feature
constexpr size_t kMaxFds = 8;

// Feature bits.
constexpr uint64_t kVirtioVersion1 = 1ULL << 32;
// Offered so that protocol features are negotiated: without it the front-end assumes the
// back-end can take no memory slots at all and refuses to start.
constexpr uint64_t kProtocolFeatures = 1ULL << 30;
// Protocol feature: the front-end may ask for an acknowledgement of any message.
constexpr uint64_t kProtocolReplyAck = 1ULL << 3;

// Bits 0-7 of a vring kick/call/err payload hold the ring index; bit 8 says no descriptor
// came with the message.
constexpr uint64_t kVringIndexMask = 0xFF;
constexpr uint64_t kVringNoFd = 1ULL << 8;

struct Header {
    uint32_t request = 0;
    uint32_t flags = 0;
    uint32_t size = 0;
};
std::optional<Header> ParseHeader(std::span<const uint8_t> bytes);
std::array<uint8_t, kHeaderSize> EncodeHeader(const Header& header);

struct VringState {
    uint32_t index = 0;
    uint32_t num = 0;
};
struct VringAddress {
    uint32_t index = 0;
    uint32_t flags = 0;
    uint64_t descriptors = 0;
    uint64_t used = 0;
    uint64_t avail = 0;
    uint64_t log = 0;
};
struct MemoryRegion {
    uint64_t guestAddress = 0;
    uint64_t size = 0;
    uint64_t userAddress = 0;
    uint64_t mmapOffset = 0;
};

std::optional<uint64_t> ParseU64(std::span<const uint8_t> payload);
std::optional<VringState> ParseVringState(std::span<const uint8_t> payload);
std::optional<VringAddress> ParseVringAddress(std::span<const uint8_t> payload);
// Nothing when the count exceeds kMaxRegions or the payload is too short for it.
std::optional<std::vector<MemoryRegion>> ParseMemoryTable(std::span<const uint8_t> payload);

std::vector<uint8_t> EncodeU64(uint64_t value);
std::vector<uint8_t> EncodeVringState(const VringState& state);

}  // namespace flashtool::vhost_user
