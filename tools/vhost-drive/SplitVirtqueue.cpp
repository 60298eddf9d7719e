#include "tools/vhost-drive/SplitVirtqueue.h"

#include <endian.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace flashtool {

namespace {

constexpr uint16_t kDescNext = 1;
constexpr uint16_t kDescWrite = 2;
constexpr uint16_t kDescIndirect = 4;
constexpr size_t kRingHeader = 4;       // flags and index, 16 bits each
constexpr size_t kUsedElementSize = 8;  // id and length, 32 bits each

// The rings are little-endian whatever the host; the driver updates the indices while we
// read them, so those two loads and stores are atomic and ordered.
uint16_t Load16(std::span<const uint8_t> bytes, size_t offset) {
    uint16_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return le16toh(value);
}
uint32_t Load32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return le32toh(value);
}
uint64_t Load64(std::span<const uint8_t> bytes, size_t offset) {
    uint64_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return le64toh(value);
}
void Store32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
    value = htole32(value);
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}
uint16_t LoadIndexAcquire(std::span<uint8_t> ring) {
    const uint16_t raw =
        __atomic_load_n(reinterpret_cast<uint16_t*>(ring.data() + 2), __ATOMIC_ACQUIRE);
    return le16toh(raw);
}
void StoreIndexRelease(std::span<uint8_t> ring, uint16_t index) {
    __atomic_store_n(reinterpret_cast<uint16_t*>(ring.data() + 2), htole16(index),
                     __ATOMIC_RELEASE);
}

}  // namespace

bool SplitVirtqueue::SetSize(const GuestMemory& memory, uint32_t sizeIn) {
    if (sizeIn == 0 || sizeIn > kMaxSize || (sizeIn & (sizeIn - 1)) != 0) {
        return false;
    }
    if (given) {
        return Attach(memory, sizeIn, *given);
    }
    size = sizeIn;
    return true;
}

bool SplitVirtqueue::SetAddresses(const GuestMemory& memory, uint64_t descriptors, uint64_t avail,
                                  uint64_t used) {
    return size != 0 && Attach(memory, size, Areas{descriptors, avail, used});
}

bool SplitVirtqueue::Attach(const GuestMemory& memory, uint32_t sizeIn, const Areas& areas) {
    const auto desc = memory.AtUser(areas.descriptors, uint64_t{sizeIn} * kDescriptorSize);
    const auto availArea = memory.AtUser(areas.avail, kRingHeader + uint64_t{sizeIn} * 2);
    const auto usedArea =
        memory.AtUser(areas.used, kRingHeader + uint64_t{sizeIn} * kUsedElementSize);
    // The indices are read and written atomically, so the rings must be 2-byte aligned.
    const auto aligned = [](std::span<uint8_t> area) {
        return reinterpret_cast<uintptr_t>(area.data()) % 2 == 0;
    };
    if (desc.empty() || availArea.empty() || usedArea.empty() || !aligned(availArea) ||
        !aligned(usedArea)) {
        return false;
    }
    size = sizeIn;
    given = areas;
    descTable = desc;
    availRing = availArea;
    usedRing = usedArea;
    nextUsed = LoadIndexAcquire(usedRing);
    return true;
}

void SplitVirtqueue::Detach() {
    descTable = {};
    availRing = {};
    usedRing = {};
    given.reset();
}

std::optional<PoppedChain> SplitVirtqueue::Pop(const GuestMemory& memory) {
    if (!Ready() || LoadIndexAcquire(availRing) == nextAvail) {
        return std::nullopt;
    }
    PoppedChain popped;
    const uint16_t head = Load16(availRing, kRingHeader + 2 * (nextAvail % size));
    ++nextAvail;
    popped.chain.head = head;
    popped.error = head >= size ? ChainError::BadHead : Walk(memory, head, popped.chain);
    if (popped.error != ChainError::None) {
        popped.chain.readable.clear();
        popped.chain.writable.clear();
    }
    return popped;
}

ChainError SplitVirtqueue::Walk(const GuestMemory& memory, uint16_t index,
                                DescriptorChain& chain) const {
    for (uint32_t count = 0; count < size; ++count) {
        const auto desc = descTable.subspan(size_t{index} * kDescriptorSize, kDescriptorSize);
        const uint64_t address = Load64(desc, 0);
        const uint32_t length = Load32(desc, 8);
        const uint16_t flags = Load16(desc, 12);
        if (flags & kDescIndirect) {
            return ChainError::Indirect;
        }
        if (length != 0) {
            const auto buffer = memory.AtGuest(address, length);
            if (buffer.empty()) {
                return ChainError::BadBuffer;
            }
            if (flags & kDescWrite) {
                chain.writable.push_back(buffer);
            } else if (!chain.writable.empty()) {
                return ChainError::ReadableAfterWritable;
            } else {
                chain.readable.push_back(buffer);
            }
        }
        if (!(flags & kDescNext)) {
            return ChainError::None;
        }
        index = Load16(desc, 14);
        if (index >= size) {
            return ChainError::BadNext;
        }
    }
    return ChainError::TooLong;
}

void SplitVirtqueue::Push(uint16_t head, uint32_t written) {
    if (!Ready()) {
        return;
    }
    const size_t slot = kRingHeader + kUsedElementSize * (nextUsed % size);
    Store32(usedRing, slot, head);
    Store32(usedRing, slot + 4, written);
    ++nextUsed;
    StoreIndexRelease(usedRing, nextUsed);
}

uint64_t TotalLength(std::span<const std::span<uint8_t>> segments) {
    uint64_t total = 0;
    for (const auto& segment : segments) {
        total += segment.size();
    }
    return total;
}

size_t CopyFromSegments(std::span<const std::span<uint8_t>> segments, uint64_t offset,
                        std::span<uint8_t> out) {
    size_t done = 0;
    for (const auto& segment : segments) {
        if (done == out.size()) {
            break;
        }
        if (offset >= segment.size()) {
            offset -= segment.size();
            continue;
        }
        const size_t count = std::min<size_t>(segment.size() - offset, out.size() - done);
        std::memcpy(out.data() + done, segment.data() + offset, count);
        done += count;
        offset = 0;
    }
    return done;
}

size_t CopyToSegments(std::span<const std::span<uint8_t>> segments, uint64_t offset,
                      std::span<const uint8_t> in) {
    size_t done = 0;
    for (const auto& segment : segments) {
        if (done == in.size()) {
            break;
        }
        if (offset >= segment.size()) {
            offset -= segment.size();
            continue;
        }
        const size_t count = std::min<size_t>(segment.size() - offset, in.size() - done);
        std::memcpy(segment.data() + offset, in.data() + done, count);
        done += count;
        offset = 0;
    }
    return done;
}

}  // namespace flashtool
