#pragma once

// A small piece of "guest memory" for the back-end's tests: a buffer known to GuestMemory
// at a guest-physical base and at a front-end base, with helpers that lay out a split
// virtqueue in it and post chains the way a guest driver does.

#include <endian.h>

#include <cstring>
#include <span>
#include <vector>

#include "tools/vhost-drive/GuestMemory.h"
#include "tools/vhost-drive/SplitVirtqueue.h"

namespace flashtool::testing {

constexpr uint64_t kGuestBase = 0x100000;
constexpr uint64_t kUserBase = 0x7F0000000000;
constexpr uint16_t kDescWrite = 2;
constexpr uint16_t kDescNext = 1;

// Descriptor table at offset 0, available ring at 0x1000, used ring at 0x2000, buffers
// from 0x3000 on.
class GuestRam {
public:
    static constexpr uint32_t kRingSize = 8;
    static constexpr size_t kDescOffset = 0;
    static constexpr size_t kAvailOffset = 0x1000;
    static constexpr size_t kUsedOffset = 0x2000;
    static constexpr size_t kBufferOffset = 0x3000;

    explicit GuestRam(size_t size = 0x40000) : storage(size, 0), bytes(storage) {
        memory.AddRegion(GuestRegion{kGuestBase, bytes.size(), kUserBase, bytes.data()});
    }
    // Over memory that the test shares with the code under test some other way; the
    // caller's GuestMemory maps it, this one is left empty.
    GuestRam(std::span<uint8_t> external, uint64_t userBase)
        : bytes(external), userBase(userBase) {}

    bool SetUpQueue(SplitVirtqueue& queue) {
        return queue.SetSize(memory, kRingSize) &&
               queue.SetAddresses(memory, userBase + kDescOffset, userBase + kAvailOffset,
                                  userBase + kUsedOffset);
    }

    // A buffer in guest memory holding `content` (or `length` zero bytes); its guest address.
    uint64_t Buffer(std::span<const uint8_t> content, size_t length = 0) {
        const size_t size = std::max(content.size(), length);
        const uint64_t at = nextBuffer;
        if (!content.empty()) {
            std::memcpy(bytes.data() + at, content.data(), content.size());
        }
        nextBuffer += (size + 15) & ~size_t{15};
        return kGuestBase + at;
    }

    void Descriptor(uint16_t index, uint64_t address, uint32_t length, uint16_t flags,
                    uint16_t next = 0) {
        uint8_t* d = bytes.data() + kDescOffset + 16 * index;
        Put(d, htole64(address));
        Put(d + 8, htole32(length));
        Put(d + 12, htole16(flags));
        Put(d + 14, htole16(next));
    }

    // Makes `head` available and publishes the new index.
    void MakeAvailable(uint16_t head) {
        Put(bytes.data() + kAvailOffset + 4 + 2 * (availIndex % kRingSize), htole16(head));
        ++availIndex;
        Put(bytes.data() + kAvailOffset + 2, htole16(availIndex));
    }

    uint16_t UsedIndex() const { return Get16(kUsedOffset + 2); }
    uint32_t UsedId(uint16_t slot) const { return Get32(kUsedOffset + 4 + 8 * slot); }
    uint32_t UsedLength(uint16_t slot) const { return Get32(kUsedOffset + 8 + 8 * slot); }

    std::span<uint8_t> At(uint64_t guestAddress, size_t length) {
        return bytes.subspan(guestAddress - kGuestBase, length);
    }

    GuestMemory memory;

private:
    template <typename T>
    static void Put(uint8_t* at, T value) {
        std::memcpy(at, &value, sizeof value);
    }
    uint16_t Get16(size_t at) const {
        uint16_t v;
        std::memcpy(&v, bytes.data() + at, 2);
        return le16toh(v);
    }
    uint32_t Get32(size_t at) const {
        uint32_t v;
        std::memcpy(&v, bytes.data() + at, 4);
        return le32toh(v);
    }

    std::vector<uint8_t> storage;
    std::span<uint8_t> bytes;
    uint64_t userBase = kUserBase;
    size_t nextBuffer = kBufferOffset;
    uint16_t availIndex = 0;
};

}  // namespace flashtool::testing
