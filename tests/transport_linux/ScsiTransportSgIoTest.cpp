// A scan through ScsiTransport on the SG_IO back-end, with a fake sysfs tree and ioctl.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/ScriptedBackend.h"
#include "transport/ScsiTransport.h"
#include "transport/linux/SgIoBackend.h"
#include "transport_linux/LinuxFakes.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;
using testing::FakeLinuxSystem;
using testing::FakeSysfs;
using testing::RecordingNotifier;
using ::testing::UnorderedElementsAre;

// Answers INQUIRY with 36 bytes (the rest is left to the residual) from the drive on `fd`.
int AnswerInquiry(const std::map<int, std::string>& drives, int fd, sg_io_hdr_t& h) {
    const std::string& text = drives.at(fd);  // identification (24) and revision (4)
    auto* reply = static_cast<uint8_t*>(h.dxferp);
    reply[0] = 0x05;
    std::copy(text.begin(), text.end(), reply + 8);
    h.resid = static_cast<int>(h.dxfer_len) - 36;
    return 0;
}

TEST(ScsiTransportSgIoTest, AScanFillsTheTableAndExplainsTheDrivesLeftOut) {
    FakeSysfs sysfs;
    sysfs.AddDevice("0:0:0:0", "5", "sg0", "sr0", "ORIN    ", "DVD RW QV-5500A ", "1.0d");
    sysfs.AddDevice("0:0:1:0", "5", "sg1", "sr1", "PALLAS  ", "DVD RW PX-20    ", "1.02");
    sysfs.AddDevice("0:0:2:0", "0", "sg2", "");
    sysfs.AddDevice("1:0:0:0", "5", "sg3", "sr2", "KESTREL ", "DVD-ROM KD-1650 ", "0113");
    sysfs.AddDevice("1:0:1:0", "5", "sg4", "sr3", "KESTREL ", "DVD-ROM KD-1680 ", "0201");

    auto owned = std::make_unique<FakeLinuxSystem>();
    FakeLinuxSystem* system = owned.get();
    system->openResults = {
        {"/dev/sg0", 3}, {"/dev/sg1", -EACCES}, {"/dev/sg3", 5}, {"/dev/sg4", 6}};
    system->groups["/dev/sg1"] = NodeGroup{"cdrom", true};
    const std::map<int, std::string> drives = {{3, "ORIN    DVD RW QV-5500A 1.0d"},
                                               {5, "KESTREL DVD-ROM KD-1650 0113"}};
    system->ioctl = [&drives](int fd, sg_io_hdr_t& h) {
        return fd == 6 ? EPERM : AnswerInquiry(drives, fd, h);
    };

    RecordingNotifier notifier;
    ScsiTransport transport(std::make_unique<SgIoBackend>(std::move(owned), sysfs.root, "/dev"),
                            notifier);
    ASSERT_TRUE(transport.LoadBackend());
    ASSERT_EQ(transport.ScanDevices(), 2);

    std::array<char, 50> text{};
    EXPECT_TRUE(transport.DescribeSelected(text));
    EXPECT_STREQ(text.data(), "ORIN    DVD RW QV-5500A 1.0d");
    transport.SelectDevice(1);
    EXPECT_TRUE(transport.DescribeSelected(text));
    EXPECT_STREQ(text.data(), "KESTREL DVD-ROM KD-1650 0113");

    // Every discovery INQUIRY asks for the 36 bytes every device must answer.
    ASSERT_EQ(system->seen.size(), 3u);
    for (const auto& seen : system->seen) {
        EXPECT_THAT(seen.cdb, ElementsAre(0x12, 0, 0, 0, 36, 0));
        EXPECT_EQ(seen.header.dxfer_direction, SG_DXFER_FROM_DEV);
        EXPECT_EQ(seen.header.dxfer_len, 36u);
        EXPECT_EQ(seen.header.timeout, 15000u);
    }

    // The drive refused at open and the one that refused INQUIRY: one message, once.
    EXPECT_THAT(notifier.messages,
                ElementsAre("These optical drives cannot be used to update firmware:\n\n"
                            "PALLAS DVD RW PX-20 1.02 (/dev/sg1): this program was not allowed to "
                            "open the drive. Members of the group \"cdrom\" that owns the device "
                            "node may open it for reading and writing and send the drive every "
                            "command: add your user to that group (sudo usermod -aG cdrom $USER), "
                            "log in again and start this program again, or run this program as "
                            "root.\n\n"
                            "KESTREL DVD-ROM KD-1680 0201 (/dev/sg4): the system refused to pass a "
                            "command to the drive (Operation not permitted). Run this program with "
                            "the CAP_SYS_RAWIO capability (for example as root)."));
    EXPECT_THAT(system->closed, ElementsAre(6));

    // Each row's commands go through its own drive's descriptor.
    system->ioctl = nullptr;
    const uint8_t testUnitReady[6] = {};
    for (const auto& [row, fd] : {std::pair<uint8_t, int>{0, 3}, {1, 5}}) {
        transport.ExecuteOn(row, testUnitReady, DataDirection::None, nullptr, 0, 15);
        EXPECT_EQ(system->seen.back().fd, fd);
    }

    transport.Release();
    EXPECT_THAT(system->closed, UnorderedElementsAre(6, 3, 5));
}

}  // namespace
}  // namespace flashtool
