// Every vendor operation sends exactly the commands of the command table: CDB bytes,
// direction, transfer length and timeout. Expected bytes are written out by hand.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "drive/VendorCommands.h"
#include "support/ScriptedBackend.h"
#include "transport/ScsiTransport.h"
#include "vendor/RecordingHost.h"

namespace flashtool {
namespace {

struct Expected {
    std::vector<uint8_t> cdb;
    DataDirection direction;
    uint32_t length;
    uint32_t timeout;
};

const Expected kHandshake{{0xFD, 0xF1, 0x54, 0x41, 0x52, 0x4E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
                          DataDirection::None,
                          0,
                          15};
const Expected kTestUnitReady{{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, DataDirection::None, 0, 15};
const Expected kModeSense{
    {0x5A, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1E, 0x00}, DataDirection::In, 16384, 200};
const Expected kRead24{{0xF5, 0x01, 0x00, 0xA2, 0x00, 0x24, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00},
                       DataDirection::In,
                       4,
                       200};
const Expected kRead02{{0xF5, 0x01, 0x00, 0xA2, 0x00, 0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00},
                       DataDirection::In,
                       4,
                       200};
const Expected kWrite24{{0xF5, 0x03, 0x00, 0xA2, 0x00, 0x24, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00},
                        DataDirection::Out,
                        4,
                        200};
const Expected kWrite02{{0xF5, 0x03, 0x00, 0xA2, 0x00, 0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00},
                        DataDirection::Out,
                        4,
                        200};
const Expected kEject{{0x1B, 0x00, 0x00, 0x00, 0x02, 0x00}, DataDirection::None, 0, 15};

struct Case {
    const char* name;
    std::function<void(VendorCommands&)> run;
    std::vector<Expected> expected;
};

TEST(VendorCdbTest, EveryOperationSendsTheCommandTable) {
    const Case cases[] = {
        {"VendorHandshake", [](VendorCommands& v) { v.VendorHandshake(); }, {kHandshake}},
        {"WaitUntilReady", [](VendorCommands& v) { v.WaitUntilReady(); }, {kTestUnitReady}},
        {"ReadBufferSize", [](VendorCommands& v) { v.ReadBufferSize(); }, {kModeSense}},
        {"CheckModel", [](VendorCommands& v) { v.CheckModel(); }, {kHandshake, kRead24}},
        {"WriteModelRecord 02",
         [](VendorCommands& v) { v.WriteModelRecord(5, 0x02, 4, true); },
         {kRead02, kWrite02}},
        {"WriteModelRecord 24",
         [](VendorCommands& v) { v.WriteModelRecord(0x30, 0x24, 4, false); },
         {kRead24, kWrite24}},
        {"CheckHardwareVariant",
         [](VendorCommands& v) { v.CheckHardwareVariant(55, 0x05); },
         {kModeSense, kHandshake, kRead24}},
        {"FinishModelRecords",
         [](VendorCommands& v) { v.FinishModelRecords(0x105); },
         {kTestUnitReady, kRead02, kWrite02, kRead24, kWrite24}},
        {"EjectMedium", [](VendorCommands& v) { v.EjectMedium(); }, {kEject}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::RecordingNotifier notifier;
        testing::RecordingHost host;
        CapturedDiagnostics diagnostics;
        FakeClock clock;
        auto owned = std::make_unique<testing::ScriptedBackend>();
        auto* backend = owned.get();
        backend->candidates = {DeviceAddress{7, 0, 0}};
        ScsiTransport transport(std::move(owned), notifier);
        transport.ScanDevices();
        backend->requests.clear();
        VendorCommands vendor(ScsiDevice(transport, 0), host, diagnostics, clock);

        c.run(vendor);

        ASSERT_EQ(backend->requests.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i) {
            const auto& sent = backend->requests[i];
            const Expected& want = c.expected[i];
            EXPECT_EQ(sent.cdb, want.cdb) << "command " << i;
            EXPECT_EQ(sent.direction, want.direction) << "command " << i;
            EXPECT_EQ(sent.length, want.length) << "command " << i;
            EXPECT_EQ(sent.timeoutSeconds, want.timeout) << "command " << i;
            EXPECT_EQ(sent.hasBuffer, want.direction != DataDirection::None) << "command " << i;
        }
    }
}

}  // namespace
}  // namespace flashtool
