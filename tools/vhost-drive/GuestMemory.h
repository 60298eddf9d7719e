#pragma once

// The guest's memory as the vhost-user front-end shares it: a few regions, each known by
// its guest-physical address and by the address it has in the front-end's own process.
// Rings are given in the latter, buffers in the former. Every translation checks that the
// whole range lies inside one region, because the addresses come from the guest.

#include <cstdint>
#include <span>
#include <vector>

namespace flashtool {

struct GuestRegion {
    uint64_t guestAddress = 0;
    uint64_t size = 0;
    uint64_t userAddress = 0;  // where the front-end has it mapped
    uint8_t* host = nullptr;   // where this process sees its first byte
};

class GuestMemory {
public:
    GuestMemory() = default;
    ~GuestMemory();
    GuestMemory(const GuestMemory&) = delete;
    GuestMemory& operator=(const GuestMemory&) = delete;

    // A region this process can already reach (tests use plain buffers).
    void AddRegion(const GuestRegion& region);
    // Maps `size` bytes at `mmapOffset` of the front-end's shared memory file. The
    // descriptor is closed in every case. False when the mapping fails.
    bool MapRegion(int fd, uint64_t guestAddress, uint64_t size, uint64_t userAddress,
                   uint64_t mmapOffset);
    // Drops every region (a new memory table replaces the old one as a whole).
    void Clear();

    // The bytes at a guest-physical or front-end address; empty when the range does not
    // lie inside one region or `length` is 0.
    std::span<uint8_t> AtGuest(uint64_t address, uint64_t length) const;
    std::span<uint8_t> AtUser(uint64_t address, uint64_t length) const;

    size_t RegionCount() const { return regions.size(); }

private:
    struct Mapping {
        void* base;
        size_t length;
    };

    std::vector<GuestRegion> regions;
    std::vector<Mapping> mappings;
};

}  // namespace flashtool
