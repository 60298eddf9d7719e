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
    VhostUserDeviceTest() : target(drives, trace), queues(target, 1), device(queues, false) {
        ramFd = memfd_create("guest", MFD_CLOEXEC);
        EXPECT_EQ(ftruncate(ramFd, kRamSize), 0);
        void* view = mmap(nullptr, kRamSize, PROT_READ | PROT_WRITE, MAP_SHARED, ramFd, 0);
        EXPECT_NE(view, MAP_FAILED);
        guestView = static_cast<uint8_t*>(view);
        // The front-end's address of the memory is its own; this view's address will do.
        userBase = reinterpret_cast<uint64_t>(guestView);
    }
    ~VhostUserDeviceTest() override {
        munmap(guestView, kRamSize);
        close(ramFd);
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
        auto table = Bytes({1, 0});
        for (const uint64_t v : {kGuestBase, uint64_t{kRamSize}, userBase, uint64_t{0}}) {
            const auto b = U64(v);
            table.insert(table.end(), b.begin(), b.end());
        }
        Send(vu::kSetMemTable, table, {dup(ramFd)});
        ASSERT_TRUE(lastOk);
        Send(vu::kSetVringNum, Bytes({kRequestQueue, GuestRam::kRingSize}));
        Send(vu::kSetVringBase, Bytes({kRequestQueue, 0}));
        const uint64_t desc = userBase + GuestRam::kDescOffset;
        const uint64_t avail = userBase + GuestRam::kAvailOffset;
        const uint64_t used = userBase + GuestRam::kUsedOffset;
        Send(
            vu::kSetVringAddr,
            Bytes({kRequestQueue, 0, static_cast<uint32_t>(desc), static_cast<uint32_t>(desc >> 32),
                   static_cast<uint32_t>(used), static_cast<uint32_t>(used >> 32),
                   static_cast<uint32_t>(avail), static_cast<uint32_t>(avail >> 32), 0, 0}));
        ASSERT_TRUE(lastOk);
        callFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        Send(vu::kSetVringCall, U64(kRequestQueue), {callFd == -1 ? -1 : dup(callFd)});
        Send(vu::kSetVringKick, U64(kRequestQueue), {eventfd(0, EFD_CLOEXEC)});
        ASSERT_TRUE(lastOk);
    }

    uint64_t Calls() {
        uint64_t count = 0;
        return read(callFd, &count, sizeof count) == sizeof count ? count : 0;
    }

    std::vector<std::shared_ptr<VirtualDrive>> drives = MakeDemoDrives();
    CapturedDiagnostics trace;
    VirtualDriveTarget target;
    VirtioScsiQueues queues;
    VhostUserDevice device;
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

}  // namespace
}  // namespace flashtool
