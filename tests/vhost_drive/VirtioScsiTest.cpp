// The virtio-scsi device over virtual drives: requests laid out in guest memory as the
// guest driver lays them out, answered through VirtualDrive.

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>

#include "core/Diagnostics.h"
#include "emulator/DemoDrives.h"
#include "emulator/EmulatedBackend.h"
#include "tools/vhost-drive/VirtioScsiQueues.h"
#include "tools/vhost-drive/VirtualDriveTarget.h"
#include "transport/Inquiry.h"
#include "vhost_drive/GuestRam.h"

namespace flashtool {
namespace {

namespace vs = virtio_scsi;
using testing::GuestRam;
using testing::kDescNext;
using testing::kDescWrite;

constexpr uint32_t kRequestQueue = VirtioScsiQueues::kFirstRequestQueue;

struct Response {
    uint32_t senseLength;
    uint32_t residual;
    uint8_t status;
    uint8_t response;
    std::vector<uint8_t> sense;
};

Response ReadResponse(std::span<const uint8_t> bytes) {
    Response r{};
    std::memcpy(&r.senseLength, bytes.data(), 4);
    std::memcpy(&r.residual, bytes.data() + 4, 4);
    r.status = bytes[10];
    r.response = bytes[11];
    r.sense.assign(bytes.begin() + 12, bytes.begin() + 12 + std::min<uint32_t>(r.senseLength, 96));
    return r;
}

std::array<uint8_t, vs::kCommandRequestSize> RequestHeader(std::span<const uint8_t> cdb,
                                                           uint16_t lun = 0, uint64_t tag = 1) {
    std::array<uint8_t, vs::kCommandRequestSize> bytes{};
    const auto field = vs::EncodeLun({0, lun});
    std::copy(field.begin(), field.end(), bytes.begin());
    std::memcpy(bytes.data() + 8, &tag, 8);
    std::copy(cdb.begin(), cdb.end(), bytes.begin() + 19);
    return bytes;
}

class VirtioScsiTest : public ::testing::Test {
protected:
    VirtioScsiTest() : target(drives, trace), queues(target, 1, errors) {}

    // A command chain: header (and data out) readable; response, then data in split in two
    // segments (to show the data need not be contiguous) writable.
    DescriptorChain Command(std::span<const uint8_t> cdb, std::span<const uint8_t> dataOut,
                            uint32_t dataIn, uint16_t lun = 0, uint64_t tag = 1) {
        DescriptorChain chain;
        chain.head = nextHead++;
        chain.readable.push_back(ram.At(ram.Buffer(RequestHeader(cdb, lun, tag)), 51));
        if (!dataOut.empty()) {
            chain.readable.push_back(ram.At(ram.Buffer(dataOut), dataOut.size()));
        }
        chain.writable.push_back(ram.At(ram.Buffer({}, vs::kCommandResponseSize), 108));
        const uint32_t half = dataIn / 2;
        for (const uint32_t part : {half, dataIn - half}) {
            if (part != 0) {
                chain.writable.push_back(ram.At(ram.Buffer({}, part), part));
            }
        }
        return chain;
    }
    std::vector<uint8_t> DataIn(const DescriptorChain& chain) {
        std::vector<uint8_t> out(TotalLength(chain.writable) - vs::kCommandResponseSize);
        CopyFromSegments(chain.writable, vs::kCommandResponseSize, out);
        return out;
    }

    std::vector<std::shared_ptr<VirtualDrive>> drives = MakeDemoDrives();
    CapturedDiagnostics trace;
    CapturedDiagnostics errors;
    VirtualDriveTarget target;
    VirtioScsiQueues queues;
    GuestRam ram;
    uint16_t nextHead = 0;
};

TEST(VirtioScsiLayoutTest, LunFieldNamesTargetAndUnit) {
    struct Case {
        std::array<uint8_t, 8> field;
        std::optional<vs::UnitAddress> unit;
    };
    const Case cases[] = {
        {{1, 0, 0x40, 0, 0, 0, 0, 0}, vs::UnitAddress{0, 0}},
        {{1, 3, 0x40, 2, 0, 0, 0, 0}, vs::UnitAddress{3, 2}},
        {{1, 0, 0x41, 0x05, 0, 0, 0, 0}, vs::UnitAddress{0, 0x105}},
        {{1, 0, 0x00, 2, 0, 0, 0, 0}, vs::UnitAddress{0, 2}},  // peripheral addressing
        {{0, 0, 0x40, 0, 0, 0, 0, 0}, std::nullopt},           // not a unit address
        {{1, 0, 0x80, 0, 0, 0, 0, 0}, std::nullopt},           // logical unit addressing
        {{1, 0, 0x40, 0, 0, 1, 0, 0}, std::nullopt},           // a second level
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vs::ParseLun(c.field), c.unit) << int(c.field[0]) << int(c.field[2]);
    }
    EXPECT_EQ(vs::EncodeLun({2, 7}), (std::array<uint8_t, 8>{1, 2, 0x40, 7, 0, 0, 0, 0}));
}

TEST(VirtioScsiLayoutTest, ResponseFieldsSitWhereTheDriverReadsThem) {
    vs::CommandResponse response;
    response.senseLength = 200;  // more than the field holds
    response.residual = 0x01020304;
    response.status = 0x02;
    response.response = vs::kBadTarget;
    response.sense[0] = 0x70;
    response.sense[95] = 0xEE;
    const auto bytes = vs::EncodeCommandResponse(response);
    const Response r = ReadResponse(bytes);
    EXPECT_EQ(r.senseLength, 96u);
    EXPECT_EQ(r.residual, 0x01020304u);
    EXPECT_EQ(bytes[8], 0);
    EXPECT_EQ(bytes[9], 0);
    EXPECT_EQ(r.status, 0x02);
    EXPECT_EQ(r.response, vs::kBadTarget);
    EXPECT_EQ(bytes[12], 0x70);
    EXPECT_EQ(bytes[107], 0xEE);
}

TEST_F(VirtioScsiTest, InquiryDataComesBackAcrossSegmentsWithItsTraceLine) {
    const auto cdb = InquiryCdb(125);
    const auto chain = Command(cdb, {}, 125);
    const auto used = queues.Serve(kRequestQueue, chain);
    ASSERT_EQ(used.size(), 1u);
    EXPECT_EQ(used[0].queue, kRequestQueue);
    EXPECT_EQ(used[0].head, chain.head);
    EXPECT_EQ(used[0].written, 108u + 125u);
    const Response r = ReadResponse(chain.writable[0]);
    EXPECT_EQ(r.response, vs::kOk);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.residual, 0u);
    EXPECT_EQ(r.senseLength, 0u);
    const auto data = DataIn(chain);
    EXPECT_EQ(std::string(data.begin() + 8, data.begin() + 36), "ORIN    DVD RW QV-5500A 1.0d");
    EXPECT_EQ(trace.Text(), FormatTraceLine(0, drives[0]->Trace().back()));
    EXPECT_EQ(trace.Text().rfind("vdrive 0: 12 00 00 00 7D 00 | in 125 crc32=", 0), 0u);
}

TEST_F(VirtioScsiTest, ShortReplyReportsResidualAndEachLunReachesItsDrive) {
    // The drive answers at most its 125 bytes; the rest of a 200-byte buffer is residual.
    const auto cdb = InquiryCdb(200);
    const auto chain = Command(cdb, {}, 200, 2);
    ASSERT_EQ(queues.Serve(kRequestQueue, chain).size(), 1u);
    const Response r = ReadResponse(chain.writable[0]);
    EXPECT_EQ(r.residual, 75u);
    const auto data = DataIn(chain);
    EXPECT_EQ(std::string(data.begin() + 8, data.begin() + 32), "KESTREL DVD-ROM KD-1650 ");
    EXPECT_EQ(drives[2]->Trace().size(), 1u);
    EXPECT_TRUE(drives[0]->Trace().empty());
}

TEST_F(VirtioScsiTest, CheckConditionCarriesFixedFormatSenseAndNoData) {
    // No disc: TEST UNIT READY fails 02/3A/00. A failed INQUIRY-sized read moves nothing.
    const std::array<uint8_t, 6> tur{};
    const auto chain = Command(tur, {}, 0);
    queues.Serve(kRequestQueue, chain);
    Response r = ReadResponse(chain.writable[0]);
    EXPECT_EQ(r.response, vs::kOk);
    EXPECT_EQ(r.status, 0x02);
    EXPECT_EQ(r.sense, (std::vector<uint8_t>{0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0, 0,
                                             0, 0, 0}));

    drives[0]->AddFault(Fault{0x12, std::nullopt, 1, FaultKind::CheckCondition, {5, 0x24, 0}});
    const auto cdb = InquiryCdb(56);
    const auto failed = Command(cdb, {}, 56);
    const auto used = queues.Serve(kRequestQueue, failed);
    r = ReadResponse(failed.writable[0]);
    EXPECT_EQ(r.status, 0x02);
    EXPECT_EQ(r.residual, 56u);
    EXPECT_EQ(used[0].written, 108u);
    EXPECT_EQ(r.sense[2], 5);
    EXPECT_EQ(r.sense[12], 0x24);
}

TEST_F(VirtioScsiTest, DataOutReachesTheDriveWhole) {
    // The handshake carries no data; the capabilities page answers after it.
    const std::array<uint8_t, 12> handshake{0xFD, 0xF1, 'T', 'A', 'R', 'N', 0, 0, 0, 0, 0, 0};
    queues.Serve(kRequestQueue, Command(handshake, {}, 0));
    std::vector<uint8_t> page(2048);
    for (size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<uint8_t>(i * 7);
    }
    const std::array<uint8_t, 10> writeBuffer{0x3B, 0x07, 0, 0, 0, 0, 0, 0x08, 0x00, 0};
    const auto chain = Command(writeBuffer, page, 0);
    queues.Serve(kRequestQueue, chain);
    const TraceEntry& entry = drives[0]->Trace().back();
    EXPECT_EQ(entry.direction, DataDirection::Out);
    EXPECT_EQ(entry.length, 2048u);
    EXPECT_EQ(entry.cdb.size(), 10u) << "the CDB is cut to its group's length";
    EXPECT_EQ(entry.crc32, static_cast<uint32_t>(crc32(0, page.data(), page.size())));
}

TEST_F(VirtioScsiTest, RefusesUnitsThatAreNotServedAndMalformedRequests) {
    const auto cdb = InquiryCdb(36);
    for (const uint16_t lun : {3, 200}) {
        const auto chain = Command(cdb, {}, 36, lun);
        queues.Serve(kRequestQueue, chain);
        EXPECT_EQ(ReadResponse(chain.writable[0]).response, vs::kBadTarget) << lun;
    }
    // Data both ways, and a header cut short: the transport fails them.
    const std::array<uint8_t, 4> out{1, 2, 3, 4};
    const auto both = Command(cdb, out, 36);
    queues.Serve(kRequestQueue, both);
    EXPECT_EQ(ReadResponse(both.writable[0]).response, vs::kFailure);
    auto shortHeader = Command(cdb, {}, 0);
    shortHeader.readable[0] = shortHeader.readable[0].first(20);
    queues.Serve(kRequestQueue, shortHeader);
    EXPECT_EQ(ReadResponse(shortHeader.writable[0]).response, vs::kFailure);
    // No room for a response: nothing is written.
    auto noRoom = Command(cdb, {}, 0);
    noRoom.writable[0] = noRoom.writable[0].first(100);
    EXPECT_EQ(queues.Serve(kRequestQueue, noRoom)[0].written, 0u);
    for (const auto& drive : drives) {
        EXPECT_TRUE(drive->Trace().empty());
    }
}

TEST_F(VirtioScsiTest, DataLargerThanACommandMayMoveIsRefusedBeforeAnyBufferIsMade) {
    // The guest's buffers may overlap, so a chain can name far more bytes than its memory
    // holds: here the same 256 KB over and over, up to or past the limit.
    const auto segments = [&](uint64_t total) {
        std::vector<std::span<uint8_t>> out;
        const auto whole = ram.At(testing::kGuestBase, 0x40000);
        for (; total != 0; total -= std::min<uint64_t>(total, whole.size())) {
            out.push_back(whole.first(std::min<uint64_t>(total, whole.size())));
        }
        return out;
    };
    const std::array<uint8_t, 10> writeBuffer{0x3B, 0x07, 0, 0, 0, 0, 0, 0x08, 0x00, 0};
    const auto inquiry = InquiryCdb(96);
    struct Case {
        const char* name;
        bool dataOut;
        uint64_t length;
        uint8_t response;
    };
    const Case cases[] = {
        {"data in at the limit", false, kMaxTransferLength, vs::kOk},
        {"data in past it", false, uint64_t{kMaxTransferLength} + 1, vs::kFailure},
        {"data in past 4 GB", false, 0x100000000ULL + 96, vs::kFailure},
        {"data out past it", true, uint64_t{kMaxTransferLength} + 1, vs::kFailure},
    };
    for (const Case& c : cases) {
        auto chain = c.dataOut ? Command(writeBuffer, {}, 0) : Command(inquiry, {}, 0);
        auto& side = c.dataOut ? chain.readable : chain.writable;
        for (const auto& segment : segments(c.length)) {
            side.push_back(segment);
        }
        const size_t commands = drives[0]->Trace().size();
        errors.Clear();
        queues.Serve(kRequestQueue, chain);
        EXPECT_EQ(ReadResponse(chain.writable[0]).response, c.response) << c.name;
        const bool refused = c.response == vs::kFailure;
        EXPECT_EQ(drives[0]->Trace().size(), commands + (refused ? 0 : 1)) << c.name;
        EXPECT_EQ(errors.Text().find("more than the 33553920 a command may") != std::string::npos,
                  refused)
            << c.name << ": " << errors.Text();
    }
}

TEST_F(VirtioScsiTest, AChainOfferedOverAndOverIsNotHeldPastWhatARingHolds) {
    struct Holding final : ScsiHandler {
        ScsiCompletion Execute(const ScsiCommand&) override {
            ScsiCompletion held;
            held.delivery = ScsiDelivery::Held;
            return held;
        }
    } holding;
    VirtioScsiQueues holder(holding, 1, errors);
    const std::array<uint8_t, 6> tur{};
    const auto chain = Command(tur, {}, 0);
    for (size_t i = 0; i < VirtioScsiQueues::kMaxHeld; ++i) {
        ASSERT_TRUE(holder.Serve(kRequestQueue, chain).empty());
    }
    const auto used = holder.Serve(kRequestQueue, chain);
    ASSERT_EQ(used.size(), 1u);
    EXPECT_EQ(ReadResponse(chain.writable[0]).response, vs::kFailure);
    EXPECT_EQ(holder.HeldCommands(), VirtioScsiQueues::kMaxHeld);
    EXPECT_NE(errors.Text().find("1024 commands are held already"), std::string::npos);
}

TEST_F(VirtioScsiTest, TimedOutCommandIsHeldUntilTheGuestAbortsIt) {
    drives[1]->AddFault(Fault{0x00, std::nullopt, 1, FaultKind::TimeOut, {}});
    const std::array<uint8_t, 6> tur{};
    const auto held = Command(tur, {}, 0, 1, 0xABCDEF);
    EXPECT_TRUE(queues.Serve(kRequestQueue, held).empty());
    EXPECT_EQ(queues.HeldCommands(), 1u);
    EXPECT_NE(trace.Text().find("| none 0 crc32=00000000 | timedout"), std::string::npos);

    // An abort of another tag leaves it; the abort of its own tag answers it first.
    auto tmf = [&](uint32_t subtype, uint64_t tag) {
        std::array<uint8_t, vs::kTmfRequestSize> request{};
        std::memcpy(request.data() + 4, &subtype, 4);
        const auto lun = vs::EncodeLun({0, 1});
        std::copy(lun.begin(), lun.end(), request.begin() + 8);
        std::memcpy(request.data() + 16, &tag, 8);
        DescriptorChain chain;
        chain.head = nextHead++;
        chain.readable.push_back(ram.At(ram.Buffer(request), request.size()));
        chain.writable.push_back(ram.At(ram.Buffer({}, 1), 1));
        chain.writable[0][0] = 0xFF;
        return chain;
    };
    const auto other = tmf(vs::kTmfAbortTask, 1);
    auto used = queues.Serve(VirtioScsiQueues::kControlQueue, other);
    ASSERT_EQ(used.size(), 1u);
    EXPECT_EQ(other.writable[0][0], vs::kFunctionComplete);
    EXPECT_EQ(queues.HeldCommands(), 1u);

    const auto abort = tmf(vs::kTmfAbortTask, 0xABCDEF);
    used = queues.Serve(VirtioScsiQueues::kControlQueue, abort);
    ASSERT_EQ(used.size(), 2u);
    EXPECT_EQ(used[0].queue, kRequestQueue);
    EXPECT_EQ(used[0].head, held.head);
    EXPECT_EQ(ReadResponse(held.writable[0]).response, vs::kAborted);
    EXPECT_EQ(used[1].queue, VirtioScsiQueues::kControlQueue);
    EXPECT_EQ(abort.writable[0][0], vs::kFunctionComplete);
    EXPECT_EQ(queues.HeldCommands(), 0u);

    // A function this device does not carry out is rejected.
    const auto query = tmf(7, 0);  // QUERY TASK
    queues.Serve(VirtioScsiQueues::kControlQueue, query);
    EXPECT_EQ(query.writable[0][0], vs::kFunctionRejected);
}

TEST_F(VirtioScsiTest, ForALinuxGuestATimedOutCommandIsAnsweredAsAbortedAtOnce) {
    // A Linux guest's virtio-scsi driver never gives up on a command: held, it would hang.
    VirtualDriveTarget aborting(drives, trace, VirtualDriveTarget::TimeOuts::Abort);
    VirtioScsiQueues served(aborting, 1, errors);
    drives[0]->AddFault(Fault{0xFD, std::nullopt, 1, FaultKind::TimeOut, {}});
    const std::array<uint8_t, 12> handshake{0xFD, 0xF1, 0x54, 0x41, 0x52, 0x4E};
    const auto chain = Command(handshake, {}, 0);
    const auto used = served.Serve(kRequestQueue, chain);
    ASSERT_EQ(used.size(), 1u);
    EXPECT_EQ(used[0].head, chain.head);
    EXPECT_EQ(served.HeldCommands(), 0u);
    EXPECT_EQ(ReadResponse(chain.writable[0]).response, vs::kAborted);
    EXPECT_NE(trace.Text().find("| none 0 crc32=00000000 | timedout"), std::string::npos);
}

TEST_F(VirtioScsiTest, EventBuffersAreKeptAndVanishedDrivesLookGone) {
    EXPECT_TRUE(queues.KeepsBuffers(VirtioScsiQueues::kEventQueue));
    EXPECT_FALSE(queues.KeepsBuffers(kRequestQueue));
    EXPECT_EQ(queues.QueueCount(), 3u);
    drives[0]->Vanish();
    const std::array<uint8_t, 6> tur{};
    const auto chain = Command(tur, {}, 0);
    queues.Serve(kRequestQueue, chain);
    EXPECT_EQ(ReadResponse(chain.writable[0]).response, vs::kBadTarget);
}

}  // namespace
}  // namespace flashtool
