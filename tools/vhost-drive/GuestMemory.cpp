#include "tools/vhost-drive/GuestMemory.h"

#include <sys/mman.h>
#include <unistd.h>

namespace flashtool {

namespace {

// True when [address, address + length) lies inside [start, start + size), without
// letting either sum wrap.
bool Inside(uint64_t address, uint64_t length, uint64_t start, uint64_t size) {
    return length != 0 && address >= start && address - start <= size &&
           length <= size - (address - start);
}

}  // namespace

GuestMemory::~GuestMemory() {
    Clear();
}

void GuestMemory::AddRegion(const GuestRegion& region) {
    regions.push_back(region);
}

bool GuestMemory::MapRegion(int fd, uint64_t guestAddress, uint64_t size, uint64_t userAddress,
                            uint64_t mmapOffset) {
    // The offset need not be page-aligned, so the mapping starts at the file's beginning
    // and the region begins `mmapOffset` bytes into it.
    const uint64_t length = size + mmapOffset;
    void* base = length < size ? MAP_FAILED
                               : mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (base == MAP_FAILED) {
        return false;
    }
    mappings.push_back(Mapping{base, static_cast<size_t>(length)});
    regions.push_back(
        GuestRegion{guestAddress, size, userAddress, static_cast<uint8_t*>(base) + mmapOffset});
    return true;
}

void GuestMemory::Clear() {
    for (const Mapping& mapping : mappings) {
        munmap(mapping.base, mapping.length);
    }
    mappings.clear();
    regions.clear();
}

std::span<uint8_t> GuestMemory::AtGuest(uint64_t address, uint64_t length) const {
    for (const GuestRegion& region : regions) {
        if (Inside(address, length, region.guestAddress, region.size)) {
            return {region.host + (address - region.guestAddress), static_cast<size_t>(length)};
        }
    }
    return {};
}

std::span<uint8_t> GuestMemory::AtUser(uint64_t address, uint64_t length) const {
    for (const GuestRegion& region : regions) {
        if (Inside(address, length, region.userAddress, region.size)) {
            return {region.host + (address - region.userAddress), static_cast<size_t>(length)};
        }
    }
    return {};
}

}  // namespace flashtool
