#include <gtest/gtest.h>

#include <array>

#include "tools/vhost-drive/SplitVirtqueue.h"
#include "vhost_drive/GuestRam.h"

namespace flashtool {
namespace {

using testing::GuestRam;
using testing::kDescNext;
using testing::kDescWrite;
using testing::kGuestBase;
using testing::kUserBase;

TEST(GuestMemoryTest, TranslatesOnlyRangesWhollyInsideOneRegion) {
    std::vector<uint8_t> a(0x100), b(0x100);
    GuestMemory memory;
    memory.AddRegion({0x1000, a.size(), 0x9000, a.data()});
    memory.AddRegion({0x2000, b.size(), 0xA000, b.data()});
    EXPECT_EQ(memory.AtGuest(0x1000, 0x100).data(), a.data());
    EXPECT_EQ(memory.AtGuest(0x20F0, 0x10).data(), b.data() + 0xF0);
    EXPECT_EQ(memory.AtUser(0xA010, 1).data(), b.data() + 0x10);
    // Past the end, straddling a gap, before the start, wrapping, empty.
    EXPECT_TRUE(memory.AtGuest(0x10F0, 0x11).empty());
    EXPECT_TRUE(memory.AtGuest(0x1080, 0x1000).empty());
    EXPECT_TRUE(memory.AtGuest(0x0FFF, 2).empty());
    EXPECT_TRUE(memory.AtGuest(0x1010, UINT64_MAX).empty());
    EXPECT_TRUE(memory.AtGuest(UINT64_MAX, 2).empty());
    EXPECT_TRUE(memory.AtGuest(0x1000, 0).empty());
    EXPECT_TRUE(memory.AtUser(0x1000, 1).empty());  // a guest address is not a user one
}

TEST(SplitVirtqueueTest, SizeMustBeAPowerOfTwoWithinTheLimit) {
    GuestMemory none;
    SplitVirtqueue queue;
    for (const uint32_t bad : {0u, 3u, 100u, 2048u, 32768u, 65536u}) {
        EXPECT_FALSE(queue.SetSize(none, bad)) << bad;
    }
    EXPECT_TRUE(queue.SetSize(none, 1024));
    EXPECT_EQ(queue.Size(), 1024u);
}

TEST(SplitVirtqueueTest, ResizingChecksTheAreasAgainForTheNewSize) {
    // The descriptor table of an 8-entry ring ends where guest memory ends: 16 entries
    // would run past it.
    GuestRam ram;
    SplitVirtqueue queue;
    const uint64_t tableAtEnd = kUserBase + 0x40000 - 8 * SplitVirtqueue::kDescriptorSize;
    ASSERT_TRUE(queue.SetSize(ram.memory, 8));
    ASSERT_TRUE(queue.SetAddresses(ram.memory, tableAtEnd, kUserBase + 0x1000, kUserBase + 0x2000));
    ASSERT_FALSE(queue.SetSize(ram.memory, 16));
    EXPECT_EQ(queue.Size(), 8u);
    ASSERT_TRUE(queue.Ready());
    // Head 15 exists only in the larger table; the ring still refuses it.
    ram.MakeAvailable(15);
    EXPECT_EQ(queue.Pop(ram.memory)->error, ChainError::BadHead);

    // Areas that hold the larger ring take it, and head 15 (still the first available)
    // is followed there.
    SplitVirtqueue roomy;
    ASSERT_TRUE(ram.SetUpQueue(roomy));
    ASSERT_TRUE(roomy.SetSize(ram.memory, 16));
    EXPECT_EQ(roomy.Size(), 16u);
    ram.Descriptor(15, ram.Buffer({}, 4), 4, kDescWrite);
    const auto last = roomy.Pop(ram.memory);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->error, ChainError::None);
    EXPECT_EQ(last->chain.head, 15);

    // Forgotten areas are not checked: the size is taken and the areas come again.
    roomy.Detach();
    EXPECT_TRUE(roomy.SetSize(ram.memory, 1024));
    EXPECT_FALSE(roomy.Ready());
}

TEST(SplitVirtqueueTest, RefusesRingAreasOutsideGuestMemory) {
    GuestRam ram;
    SplitVirtqueue queue;
    ASSERT_TRUE(queue.SetSize(ram.memory, 8));
    EXPECT_FALSE(queue.SetAddresses(ram.memory, kGuestBase, kUserBase + 0x1000, kUserBase + 0x2000))
        << "rings are given at the front-end's addresses";
    EXPECT_FALSE(queue.SetAddresses(ram.memory, kUserBase + 0x40000 - 16, kUserBase + 0x1000,
                                    kUserBase + 0x2000));
    EXPECT_FALSE(queue.Ready());
    EXPECT_TRUE(ram.SetUpQueue(queue));
}

TEST(SplitVirtqueueTest, PopsAChainAsReadableThenWritableSegments) {
    GuestRam ram;
    SplitVirtqueue queue;
    ASSERT_TRUE(ram.SetUpQueue(queue));
    EXPECT_FALSE(queue.Pop(ram.memory)) << "nothing made available yet";

    const std::array<uint8_t, 3> request{1, 2, 3};
    const uint64_t req = ram.Buffer(request);
    const uint64_t out1 = ram.Buffer({}, 8);
    const uint64_t out2 = ram.Buffer({}, 4);
    // Descriptors out of order and a zero-length one in the middle, as a driver may do.
    ram.Descriptor(5, req, 3, kDescNext, 2);
    ram.Descriptor(2, 0, 0, kDescNext | kDescWrite, 7);
    ram.Descriptor(7, out1, 8, kDescNext | kDescWrite, 0);
    ram.Descriptor(0, out2, 4, kDescWrite);
    ram.MakeAvailable(5);

    const auto popped = queue.Pop(ram.memory);
    ASSERT_TRUE(popped);
    ASSERT_EQ(popped->error, ChainError::None);
    EXPECT_EQ(popped->chain.head, 5);
    ASSERT_EQ(popped->chain.readable.size(), 1u);
    EXPECT_EQ(popped->chain.readable[0][2], 3);
    ASSERT_EQ(popped->chain.writable.size(), 2u);
    EXPECT_EQ(popped->chain.writable[0].data(), ram.At(out1, 8).data());
    EXPECT_EQ(popped->chain.writable[1].size(), 4u);
    EXPECT_FALSE(queue.Pop(ram.memory));

    queue.Push(5, 12);
    EXPECT_EQ(ram.UsedIndex(), 1);
    EXPECT_EQ(ram.UsedId(0), 5u);
    EXPECT_EQ(ram.UsedLength(0), 12u);
}

TEST(SplitVirtqueueTest, RefusesMalformedChainsWithoutFollowingThem) {
    struct Case {
        const char* name;
        void (*build)(GuestRam&, uint64_t buffer);
        uint16_t head;
        ChainError error;
    };
    const Case cases[] = {
        {"head past the table", [](GuestRam&, uint64_t) {}, 9, ChainError::BadHead},
        {"next past the table",
         [](GuestRam& r, uint64_t b) { r.Descriptor(0, b, 4, kDescNext, 8); }, 0,
         ChainError::BadNext},
        {"buffer outside memory",
         [](GuestRam& r, uint64_t) { r.Descriptor(0, kGuestBase + 0x3FFFE, 4, 0); }, 0,
         ChainError::BadBuffer},
        {"loop",
         [](GuestRam& r, uint64_t b) {
             r.Descriptor(0, b, 4, kDescNext, 1);
             r.Descriptor(1, b, 4, kDescNext, 0);
         },
         0, ChainError::TooLong},
        {"readable after writable",
         [](GuestRam& r, uint64_t b) {
             r.Descriptor(0, b, 4, kDescWrite | kDescNext, 1);
             r.Descriptor(1, b, 4, 0);
         },
         0, ChainError::ReadableAfterWritable},
        {"indirect", [](GuestRam& r, uint64_t b) { r.Descriptor(0, b, 16, 4); }, 0,
         ChainError::Indirect},
    };
    for (const Case& c : cases) {
        GuestRam ram;
        SplitVirtqueue queue;
        ASSERT_TRUE(ram.SetUpQueue(queue));
        c.build(ram, ram.Buffer({}, 16));
        ram.MakeAvailable(c.head);
        const auto popped = queue.Pop(ram.memory);
        ASSERT_TRUE(popped) << c.name;
        EXPECT_EQ(popped->error, c.error) << c.name;
        EXPECT_TRUE(popped->chain.readable.empty() && popped->chain.writable.empty()) << c.name;
    }
}

TEST(SplitVirtqueueTest, IndicesWrapAroundAndStartFromTheGivenBase) {
    GuestRam ram;
    SplitVirtqueue queue;
    ASSERT_TRUE(ram.SetUpQueue(queue));
    const uint64_t b = ram.Buffer({}, 4);
    for (uint16_t i = 0; i < 8; ++i) {
        ram.Descriptor(i, b, 4, 0);
    }
    // A ring that resumes at 65535 after a restart: the next two indices are 65535 and 0.
    queue.SetNextAvail(65535);
    for (int i = 0; i < 65535; ++i) {
        ram.MakeAvailable(0);  // only the index matters; these slots are overwritten below
    }
    ram.MakeAvailable(3);
    ram.MakeAvailable(4);
    const auto first = queue.Pop(ram.memory);
    const auto second = queue.Pop(ram.memory);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->chain.head, 3);
    EXPECT_EQ(second->chain.head, 4);
    EXPECT_EQ(queue.NextAvail(), 1);
    EXPECT_FALSE(queue.Pop(ram.memory));
}

TEST(SegmentCopyTest, CopiesAcrossSegmentBoundariesFromAnOffset) {
    std::array<uint8_t, 3> a{1, 2, 3};
    std::array<uint8_t, 2> b{4, 5};
    std::array<uint8_t, 4> c{6, 7, 8, 9};
    const std::vector<std::span<uint8_t>> segments{a, b, c};
    EXPECT_EQ(TotalLength(segments), 9u);
    std::array<uint8_t, 5> out{};
    EXPECT_EQ(CopyFromSegments(segments, 2, out), 5u);
    EXPECT_EQ(out, (std::array<uint8_t, 5>{3, 4, 5, 6, 7}));
    std::array<uint8_t, 4> tail{};
    EXPECT_EQ(CopyFromSegments(segments, 7, tail), 2u) << "the segments end first";

    const std::array<uint8_t, 4> in{0xA, 0xB, 0xC, 0xD};
    EXPECT_EQ(CopyToSegments(segments, 1, in), 4u);
    EXPECT_EQ(a, (std::array<uint8_t, 3>{1, 0xA, 0xB}));
    EXPECT_EQ(b, (std::array<uint8_t, 2>{0xC, 0xD}));
    EXPECT_EQ(c[0], 6);
}

}  // namespace
}  // namespace flashtool
