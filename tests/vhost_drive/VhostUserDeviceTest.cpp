// The vhost-user device without QEMU: messages as the front-end sends them, guest memory
// in a memfd that the device maps itself, rings laid out and kicked as a guest does.

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include "core/Diagnostics.h"
#include "emulator/DemoDrives.h"
#include "tools/vhost-drive/VhostUserDevice.h"
#include "tools/vhost-drive/VirtioScsiQueues.h"
#include "tools/vhost-drive/VirtualDriveTarget.h"
#include "transport/Inquiry.h"
#include "vhost_drive/GuestRam.h"

namespace flashtool {
namespace {

namespace vu = vhost_user;
using testing::GuestRam;
using testing::kDescNext;
using testing::kDescWrite;
using testing::kGuestBase;

constexpr size_t kRamSize = 0x40000;
constexpr uint32_t kRequestQueue = 2;

std::vector<uint8_t> Bytes(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> out;
    for (const uint32_t w : words) {
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(static_cast<uint8_t>(w >> shift));
        }
    }
    return out;
}
std::vector<uint8_t> U64(uint64_t v) {
    return Bytes({static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)});
}

TEST(VhostUserMessageTest, ParsesPayloadsAndRefusesShortOrOversizedOnes) {
    EXPECT_FALSE(vu::ParseHeader(Bytes({1, 1})));
    const auto header = vu::ParseHeader(Bytes({5, 1, 72}));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->request, 5u);
    EXPECT_EQ(header->size, 72u);

    auto table = Bytes({1, 0});
    for (const uint64_t v : {0x1000ull, 0x2000ull, 0x7F0000001000ull, 0x10ull}) {
        const auto b = U64(v);
        table.insert(table.end(), b.begin(), b.end());
    }
    const auto regions = vu::ParseMemoryTable(table);
    ASSERT_TRUE(regions);
    ASSERT_EQ(regions->size(), 1u);
    EXPECT_EQ((*regions)[0].userAddress, 0x7F0000001000u);
    EXPECT_EQ((*regions)[0].mmapOffset, 0x10u);
    EXPECT_FALSE(vu::ParseMemoryTable(std::span(table).first(table.size() - 1)));
    auto tooMany = table;
    tooMany[0] = 9;
    EXPECT_FALSE(vu::ParseMemoryTable(tooMany));

    const auto address = vu::ParseVringAddress(Bytes({2, 0, 0x100, 0, 0x300, 0, 0x200, 0, 0, 0}));
    ASSERT_TRUE(address);
    EXPECT_EQ(address->index, 2u);
    EXPECT_EQ(address->descriptors, 0x100u);
    EXPECT_EQ(address->used, 0x300u);
    EXPECT_EQ(address->avail, 0x200u);
    EXPECT_FALSE(vu::ParseVringAddress(Bytes({2, 0, 0x100})));
    EXPECT_FALSE(vu::ParseVringState(Bytes({2})));
}

class VhostUserDeviceTest : public ::testing::Test {
protected:
    VhostUserDeviceTest()
        : target(drives, trace), queues(target, 1, errors), device(queues, false) {
        ramFd = NewRam(guestView);
        // The front-end's address of the memory is its own; this view's address will do.
        userBase = reinterpret_cast<uint64_t>(guestView);
    }
    ~VhostUserDeviceTest() override {
        for (const auto& [fd, view] : rams) {
            munmap(view, kRamSize);
            close(fd);
        }
    }

    // A memfd of guest memory and the test's own view of it.
    int NewRam(uint8_t*& view) {
        const int fd = memfd_create("guest", MFD_CLOEXEC);
        EXPECT_EQ(ftruncate(fd, kRamSize), 0);
        void* mapped = mmap(nullptr, kRamSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        EXPECT_NE(mapped, MAP_FAILED);
        view = static_cast<uint8_t*>(mapped);
        rams.emplace_back(fd, view);
        return fd;
    }

    std::optional<std::vector<uint8_t>> Send(uint32_t request, std::vector<uint8_t> payload,
                                             std::vector<int> fds = {}, uint32_t flags = 1) {
        bool ok = false;
        auto reply = device.Handle({request, flags, static_cast<uint32_t>(payload.size())}, payload,
                                   fds, ok);
        lastOk = ok;
        return reply;
    }

    // What QEMU sends before the guest's first request: features, the memory table, and
    // the request ring's size, base, addresses and eventfds.
    void StartRequestRing() {
        // As QEMU acknowledges them for a guest: parameter-change events included.
        Send(vu::kSetFeatures,
             U64(vu::kVirtioVersion1 | vu::kProtocolFeatures | VirtioScsiQueues::kFeatureChange));
        ASSERT_TRUE(lastOk);
        Send(vu::kSetProtocolFeatures, U64(vu::kProtocolReplyAck));
        SendMemTable(ramFd, userBase);
        ASSERT_TRUE(lastOk);
        callFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        StartRing(kRequestQueue, userBase);
    }

    // One region at kGuestBase, the whole of the memfd, at the front-end's address `user`.
    void SendMemTable(int fd, uint64_t user) {
        auto table = Bytes({1, 0});
        for (const uint64_t v : {kGuestBase, uint64_t{kRamSize}, user, uint64_t{0}}) {
            const auto b = U64(v);
            table.insert(table.end(), b.begin(), b.end());
        }
        Send(vu::kSetMemTable, table, {dup(fd)});
    }

    // A ring laid out as GuestRam lays it out in the memory at `user`, kicked; every ring
    // signals callFd.
    void StartRing(uint32_t index, uint64_t user) {
        Send(vu::kSetVringNum, Bytes({index, GuestRam::kRingSize}));
        Send(vu::kSetVringBase, Bytes({index, 0}));
        const uint64_t desc = user + GuestRam::kDescOffset;
        const uint64_t avail = user + GuestRam::kAvailOffset;
        const uint64_t used = user + GuestRam::kUsedOffset;
        Send(vu::kSetVringAddr,
             Bytes({index, 0, static_cast<uint32_t>(desc), static_cast<uint32_t>(desc >> 32),
                    static_cast<uint32_t>(used), static_cast<uint32_t>(used >> 32),
                    static_cast<uint32_t>(avail), static_cast<uint32_t>(avail >> 32), 0, 0}));
        ASSERT_TRUE(lastOk);
        Send(vu::kSetVringCall, U64(index), {callFd == -1 ? -1 : dup(callFd)});
        Send(vu::kSetVringKick, U64(index), {eventfd(0, EFD_CLOEXEC)});
        ASSERT_TRUE(lastOk);
    }

    uint64_t Calls() {
        uint64_t count = 0;
        return read(callFd, &count, sizeof count) == sizeof count ? count : 0;
    }

    std::vector<std::shared_ptr<VirtualDrive>> drives = MakeDemoDrives();
    CapturedDiagnostics trace;
    CapturedDiagnostics errors;
    VirtualDriveTarget target;
    VirtioScsiQueues queues;
    VhostUserDevice device;
    std::vector<std::pair<int, uint8_t*>> rams;
    int ramFd = -1;
    int callFd = -1;
    uint8_t* guestView = nullptr;
    uint64_t userBase = 0;
    bool lastOk = false;
};

TEST_F(VhostUserDeviceTest, OffersOnlyWhatItCarriesOutAndAcknowledgesWhenAsked) {
    const auto features = Send(vu::kGetFeatures, {});
    ASSERT_TRUE(features);
    EXPECT_EQ(*features,
              U64(vu::kVirtioVersion1 | vu::kProtocolFeatures | VirtioScsiQueues::kFeatureChange));
    EXPECT_EQ(*Send(vu::kGetProtocolFeatures, {}), U64(vu::kProtocolReplyAck));
    EXPECT_EQ(*Send(vu::kGetQueueNum, {}), U64(3));

    Send(vu::kSetFeatures, U64(vu::kVirtioVersion1 | (1ULL << 28)));  // indirect descriptors
    EXPECT_FALSE(lastOk);
    EXPECT_FALSE(Send(vu::kSetOwner, {}, {}, 1 | vu::kNeedReplyFlag))
        << "no acknowledgement before it is negotiated";
    Send(vu::kSetProtocolFeatures, U64(vu::kProtocolReplyAck));
    EXPECT_EQ(*Send(vu::kSetOwner, {}, {}, 1 | vu::kNeedReplyFlag), U64(0));
    EXPECT_EQ(*Send(vu::kSetVringNum, Bytes({0, 3}), {}, 1 | vu::kNeedReplyFlag), U64(1));
    EXPECT_EQ(*Send(99, {}, {}, 1 | vu::kNeedReplyFlag), U64(1));
    // A memory table whose region count and descriptors disagree is refused.
    Send(vu::kSetMemTable, Bytes({1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(lastOk);
}

TEST_F(VhostUserDeviceTest, ServesAKickedRingOnceEnabledAndSignalsTheGuest) {
    StartRequestRing();
    GuestRam ram(std::span(guestView, kRamSize), userBase);
    std::array<uint8_t, 51> header{1, 0, 0x40, 0};
    const auto cdb = InquiryCdb(96);
    std::copy(cdb.begin(), cdb.end(), header.begin() + 19);
    const uint64_t req = ram.Buffer(header);
    const uint64_t resp = ram.Buffer({}, 108);
    const uint64_t data = ram.Buffer({}, 96);
    ram.Descriptor(0, req, 51, kDescNext, 1);
    ram.Descriptor(1, resp, 108, kDescNext | kDescWrite, 2);
    ram.Descriptor(2, data, 96, kDescWrite);
    ram.MakeAvailable(0);

    device.ServeRing(kRequestQueue);
    EXPECT_EQ(ram.UsedIndex(), 0) << "with protocol features a ring starts disabled";
    Send(vu::kSetVringEnable, Bytes({kRequestQueue, 1}));
    EXPECT_EQ(ram.UsedIndex(), 1);
    EXPECT_EQ(ram.UsedLength(0), 108u + 96u);
    EXPECT_EQ(Calls(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ram.At(data, 96).data()) + 8, 24),
              "ORIN    DVD RW QV-5500A ");
    EXPECT_EQ(trace.Text().rfind("vdrive 0: 12 00 00 00 60 00 | in 96 crc32=", 0), 0u);

    // Stopping the ring hands back its position.
    EXPECT_EQ(*Send(vu::kGetVringBase, Bytes({kRequestQueue, 0})), Bytes({kRequestQueue, 1}));
    ram.MakeAvailable(0);
    device.ServeRing(kRequestQueue);
    EXPECT_EQ(ram.UsedIndex(), 1) << "a stopped ring is not served";
}

TEST_F(VhostUserDeviceTest, MalformedChainIsReturnedEmptyAndServingGoesOn) {
    StartRequestRing();
    Send(vu::kSetVringEnable, Bytes({kRequestQueue, 1}));
    GuestRam ram(std::span(guestView, kRamSize), userBase);
    ram.Descriptor(0, kGuestBase + kRamSize - 8, 64, 0);  // runs past guest memory
    ram.MakeAvailable(0);
    device.ServeRing(kRequestQueue);
    EXPECT_EQ(ram.UsedIndex(), 1);
    EXPECT_EQ(ram.UsedLength(0), 0u);
    EXPECT_TRUE(trace.Text().empty());
    EXPECT_EQ(Calls(), 1u);
}

TEST_F(VhostUserDeviceTest, RunningRingKeepsItsSizeAndAStoppedOneIsCheckedAgain) {
    StartRequestRing();
    Send(vu::kSetVringNum, Bytes({kRequestQueue, 16}));
    EXPECT_FALSE(lastOk) << "the ring was kicked: it runs";

    Send(vu::kGetVringBase, Bytes({kRequestQueue, 0}));
    const std::pair<uint32_t, bool> sizes[] = {{16, true}, {1024, true}, {2048, false}};
    for (const auto& [size, ok] : sizes) {
        Send(vu::kSetVringNum, Bytes({kRequestQueue, size}));
        EXPECT_EQ(lastOk, ok) << size;
    }
    // Areas that would end past guest memory at the new size refuse it.
    Send(vu::kSetVringNum, Bytes({kRequestQueue, 8}));
    const uint64_t desc = userBase + kRamSize - 8 * SplitVirtqueue::kDescriptorSize;
    const uint64_t avail = userBase + GuestRam::kAvailOffset;
    const uint64_t used = userBase + GuestRam::kUsedOffset;
    Send(vu::kSetVringAddr,
         Bytes({kRequestQueue, 0, static_cast<uint32_t>(desc), static_cast<uint32_t>(desc >> 32),
                static_cast<uint32_t>(used), static_cast<uint32_t>(used >> 32),
                static_cast<uint32_t>(avail), static_cast<uint32_t>(avail >> 32), 0, 0}));
    ASSERT_TRUE(lastOk);
    Send(vu::kSetVringNum, Bytes({kRequestQueue, 16}));
    EXPECT_FALSE(lastOk);
}

TEST_F(VhostUserDeviceTest, NewMemoryTableDropsTheCommandsHeldInTheOldOne) {
    // A held command's buffers lie in the old mappings: answering its abort after the
    // table changed would write into memory the device no longer has.
    drives[1]->AddFault(Fault{0x00, std::nullopt, 1, FaultKind::TimeOut, {}});
    StartRequestRing();
    Send(vu::kSetVringEnable, Bytes({kRequestQueue, 1}));
    GuestRam ram(std::span(guestView, kRamSize), userBase);
    const std::array<uint8_t, 51> tur{1, 0, 0x40, 1, 0, 0, 0, 0, 7};  // LUN 1, tag 7
    ram.Descriptor(0, ram.Buffer(tur), 51, kDescNext, 1);
    ram.Descriptor(1, ram.Buffer({}, 108), 108, kDescWrite);
    ram.MakeAvailable(0);
    device.ServeRing(kRequestQueue);
    ASSERT_EQ(queues.HeldCommands(), 1u);

    uint8_t* movedView = nullptr;
    const int movedFd = NewRam(movedView);
    const uint64_t movedBase = reinterpret_cast<uint64_t>(movedView);
    SendMemTable(movedFd, movedBase);
    ASSERT_TRUE(lastOk);
    ASSERT_EQ(queues.HeldCommands(), 0u);
    Send(vu::kSetVringNum, Bytes({kRequestQueue, 16}));
    EXPECT_TRUE(lastOk) << "the request ring's areas went with the old table: it may be resized";

    // The guest gives up on the command: only its abort comes back.
    GuestRam moved(std::span(movedView, kRamSize), movedBase);
    StartRing(VirtioScsiQueues::kControlQueue, movedBase);
    Send(vu::kSetVringEnable, Bytes({VirtioScsiQueues::kControlQueue, 1}));
    const std::array<uint8_t, 24> abort{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0x40, 1, 0, 0, 0, 0, 7};
    moved.Descriptor(0, moved.Buffer(abort), 24, kDescNext, 1);
    moved.Descriptor(1, moved.Buffer({}, 1), 1, kDescWrite);
    moved.MakeAvailable(0);
    device.ServeRing(VirtioScsiQueues::kControlQueue);
    EXPECT_EQ(moved.UsedIndex(), 1);
    EXPECT_EQ(moved.UsedLength(0), 1u);
}

}  // namespace
}  // namespace flashtool
