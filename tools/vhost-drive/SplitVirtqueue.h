#pragma once

// One split virtqueue as the device side sees it: the descriptor table, the ring of
// chains the driver made available, and the ring where the device returns them. The three
// areas and every buffer live in guest memory and are written by the guest, so each index,
// address and length is checked before it is used; a malformed chain is refused, never
// followed out of bounds. Indirect descriptors and event indices are not offered, so the
// driver uses neither.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tools/vhost-drive/GuestMemory.h"

namespace flashtool {

// A chain's buffers, in order: what the device reads (the request), then what it writes
// (the response and any data for the driver).
struct DescriptorChain {
    uint16_t head = 0;
    std::vector<std::span<uint8_t>> readable;
    std::vector<std::span<uint8_t>> writable;
};

enum class ChainError : uint8_t {
    None,
    BadHead,    // the available ring names a descriptor past the table
    BadNext,    // a descriptor's next index lies past the table
    BadBuffer,  // a buffer does not lie inside guest memory
    TooLong,    // more descriptors than the table holds: a loop
    ReadableAfterWritable,
    Indirect,  // an indirect table, which this device never offered
};

struct PoppedChain {
    ChainError error = ChainError::None;
    DescriptorChain chain;  // the head is set whatever the error
};

class SplitVirtqueue {
public:
    // The largest ring QEMU gives a device. A chain never holds more descriptors than the
    // ring, so this bounds every chain as well.
    static constexpr uint32_t kMaxSize = 1024;
    static constexpr size_t kDescriptorSize = 16;

    // The ring size: a power of two up to kMaxSize. Areas given before were checked for the
    // old size only, so they are checked again for the new one. False, and nothing changed,
    // when the size is not allowed or the areas do not hold a ring that large.
    bool SetSize(const GuestMemory& memory, uint32_t size);
    uint32_t Size() const { return size; }
    // The next available-ring index the device will read (the ring's base).
    void SetNextAvail(uint16_t index) { nextAvail = index; }
    uint16_t NextAvail() const { return nextAvail; }

    // The three areas, given at the front-end's addresses. False when an area does not lie
    // inside guest memory for the current size.
    bool SetAddresses(const GuestMemory& memory, uint64_t descriptors, uint64_t avail,
                      uint64_t used);
    bool Ready() const { return !descTable.empty(); }
    // Forgets the areas (the memory they point into is going away).
    void Detach();

    // The next chain the driver made available, or nothing when it made none.
    std::optional<PoppedChain> Pop(const GuestMemory& memory);
    // Returns a chain to the driver with the number of bytes written into it.
    void Push(uint16_t head, uint32_t written);

private:
    // The front-end's addresses of the three areas.
    struct Areas {
        uint64_t descriptors = 0;
        uint64_t avail = 0;
        uint64_t used = 0;
    };

    bool Attach(const GuestMemory& memory, uint32_t sizeIn, const Areas& areas);
    ChainError Walk(const GuestMemory& memory, uint16_t index, DescriptorChain& chain) const;

    uint32_t size = 0;
    uint16_t nextAvail = 0;
    uint16_t nextUsed = 0;
    std::span<uint8_t> descTable;
    std::span<uint8_t> availRing;
    std::span<uint8_t> usedRing;
    std::optional<Areas> given;
};

// Bytes across a chain's segments as if they were one buffer.
uint64_t TotalLength(std::span<const std::span<uint8_t>> segments);
// Copy between a flat buffer and the segments starting `offset` bytes in; return how many
// bytes were copied (fewer when the segments end first).
size_t CopyFromSegments(std::span<const std::span<uint8_t>> segments, uint64_t offset,
                        std::span<uint8_t> out);
size_t CopyToSegments(std::span<const std::span<uint8_t>> segments, uint64_t offset,
                      std::span<const uint8_t> in);

}  // namespace flashtool
