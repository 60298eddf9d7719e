// Candidate enumeration of the SG_IO back-end on a fake sysfs tree, and what the user is
// told about drives that exist but cannot be used.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/ScriptedBackend.h"
#include "transport/linux/SgIoBackend.h"
#include "transport_linux/LinuxFakes.h"

namespace flashtool {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using testing::FakeLinuxSystem;
using testing::FakeSysfs;
using testing::RecordingNotifier;

const std::string kHeading = "This optical drive cannot be used to update firmware:\n\n";

struct Rig {
    FakeSysfs sysfs;
    FakeLinuxSystem* system = nullptr;
    std::unique_ptr<SgIoBackend> backend;
    RecordingNotifier notifier;

    Rig() {
        auto owned = std::make_unique<FakeLinuxSystem>();
        system = owned.get();
        backend = std::make_unique<SgIoBackend>(std::move(owned), sysfs.root, "/dev");
        backend->Start(notifier);
    }

    // The node each candidate was opened through.
    std::vector<std::string> Scan() {
        std::vector<std::string> nodes;
        backend->BeginDiscovery();
        while (const std::optional<DeviceAddress> candidate = backend->NextCandidate()) {
            nodes.push_back(backend->NodeNames(*candidate).at(0));
        }
        backend->EndDiscovery(notifier);
        return nodes;
    }
};

TEST(SgIoDiscoveryTest, OffersOpticalDrivesOnlyInNumericAddressOrder) {
    Rig rig;
    rig.sysfs.AddDevice("10:0:0:0", "5", "sg10", "sr3");
    rig.sysfs.AddDevice("2:0:0:0", "5", "sg2", "sr0");
    rig.sysfs.AddDevice("2:0:10:0", "5", "sg4", "sr2");
    rig.sysfs.AddDevice("2:0:9:0", "5", "sg3", "sr1");
    rig.sysfs.AddDevice("1:0:0:0", "0", "sg0", "");   // a disk
    rig.sysfs.AddDevice("3:0:0:0", "13", "sg5", "");  // an enclosure
    rig.sysfs.AddDevice("4:0:0:0", "5x", "sg6", "");  // not a type we can read
    for (const int n : {2, 3, 4, 10}) {
        rig.system->openResults["/dev/sg" + std::to_string(n)] = 20 + n;
    }

    EXPECT_THAT(rig.Scan(), ElementsAre("/dev/sg2", "/dev/sg3", "/dev/sg4", "/dev/sg10"));
    EXPECT_THAT(rig.system->opened, ElementsAre("/dev/sg2", "/dev/sg3", "/dev/sg4", "/dev/sg10"));
    EXPECT_THAT(rig.system->openFlags, Each(O_RDWR | O_NONBLOCK | O_CLOEXEC));
    EXPECT_TRUE(rig.notifier.messages.empty());
}

TEST(SgIoDiscoveryTest, LimitedToOneNodeTheOthersAreNotEvenOpened) {
    // Another worker may hold the other drives with O_EXCL: opening them would fail busy
    // (and be reported), or make that worker's own claim fail.
    Rig rig;
    rig.sysfs.AddDevice("2:0:0:0", "5", "sg2", "sr0");
    rig.sysfs.AddDevice("2:0:0:1", "5", "sg3", "sr1");
    rig.sysfs.AddDevice("3:0:0:0", "5", "", "sr2");  // no generic node: known by its block node
    rig.system->openResults = {{"/dev/sg2", 22}, {"/dev/sg3", 23}, {"/dev/sr2", 24}};

    rig.backend->LimitDiscoveryTo("/dev/sg3", 0);
    EXPECT_THAT(rig.Scan(), ElementsAre("/dev/sg3"));
    rig.backend->LimitDiscoveryTo("/dev/sr2", 0);
    EXPECT_THAT(rig.Scan(), ElementsAre("/dev/sr2"));
    rig.backend->LimitDiscoveryTo("/dev/sr0", 0);  // a drive's other node names no candidate
    EXPECT_THAT(rig.Scan(), ElementsAre());
    EXPECT_THAT(rig.system->opened, ElementsAre("/dev/sg3", "/dev/sr2"));
}

// A drive's place names the port it hangs off and its unit there, not the host adapter's
// number, which the system gives out in the order drivers start: after a restart that
// numbered the two ports' adapters the other way round, each drive is where it was.
TEST(SgIoDiscoveryTest, ADrivesPlaceOutlastsTheNumberingOfHostAdapters) {
    const std::string controller = "pci0000:00/0000:00:1f.2";
    const auto places = [&](const char* first, const char* second) {
        Rig rig;
        rig.sysfs.AddDeviceUnder(controller + "/ata1", first, "sg0", "sr0");
        rig.sysfs.AddDeviceUnder(controller + "/ata2", second, "sg1", "sr1");
        rig.sysfs.AddDevice("7:0:3:0", "5", "sg7", "sr7");  // sysfs leads nowhere else
        rig.system->openResults = {{"/dev/sg0", 20}, {"/dev/sg1", 21}, {"/dev/sg7", 27}};
        std::map<std::string, std::string> byNode;
        rig.backend->BeginDiscovery();
        while (const std::optional<DeviceAddress> candidate = rig.backend->NextCandidate()) {
            byNode[rig.backend->NodeNames(*candidate).at(0)] = rig.backend->DrivePlace(*candidate);
        }
        return byNode;
    };
    const std::map<std::string, std::string> expected{
        {"/dev/sg0", controller + "/ata1 0:0:0"},
        {"/dev/sg1", controller + "/ata2 0:0:0"},
        {"/dev/sg7", "scsi 7:0:3:0"},
    };
    EXPECT_EQ(places("0:0:0:0", "1:0:0:0"), expected);
    EXPECT_EQ(places("1:0:0:0", "0:0:0:0"), expected);
}

TEST(SgIoDiscoveryTest, AMissingTreeFindsNothingAndSaysNothing) {
    Rig rig;
    EXPECT_TRUE(rig.Scan().empty());
    EXPECT_TRUE(rig.system->opened.empty());
    EXPECT_TRUE(rig.notifier.messages.empty());
}

TEST(SgIoDiscoveryTest, WithoutAnSgNodeTheBlockNodeIsUsedAndItsLimitMadeKnown) {
    for (const bool rawIo : {false, true}) {
        SCOPED_TRACE(rawIo ? "with CAP_SYS_RAWIO" : "without CAP_SYS_RAWIO");
        Rig rig;
        rig.sysfs.AddDevice("0:0:0:0", "5", "", "sr0");
        rig.system->openResults["/dev/sr0"] = 3;
        rig.system->rawIo = rawIo;

        EXPECT_THAT(rig.Scan(), ElementsAre("/dev/sr0"));
        EXPECT_THAT(rig.system->opened, ElementsAre("/dev/sr0"));
        // Offered, if only for reading: the list is whole.
        EXPECT_FALSE(rig.backend->DiscoveryMissedDrives());
        if (rawIo) {
            // The block node passes every command for such a process: nothing to say.
            EXPECT_TRUE(rig.notifier.messages.empty());
            continue;
        }
        EXPECT_THAT(
            rig.notifier.messages,
            ElementsAre(kHeading +
                        "KESTREL DVD-ROM KD-1650 0113 (/dev/sr0): the SCSI generic driver (sg) is "
                        "not loaded, so this program can reach the drive only through its block "
                        "node, which refuses the commands that update firmware. Load the SCSI "
                        "generic driver with \"sudo modprobe sg\" and start this program again, or "
                        "run this program with the CAP_SYS_RAWIO capability (for example as "
                        "root)."));
    }
}

TEST(SgIoDiscoveryTest, ADriveThatCannotBeOpenedIsSkippedAndExplained) {
    const std::string asRoot =
        "this program was not allowed to open the drive. Run this program as root, or ask the "
        "administrator for read and write access to the device node.";
    struct Case {
        const char* name;
        bool sgNode;
        int error;
        std::optional<NodeGroup> group;
        std::string vendor;
        std::string paragraph;
    };
    const Case cases[] = {
        {"group may read and write", true, EACCES, NodeGroup{"cdrom", true}, "KESTREL ",
         "KESTREL DVD-ROM KD-1650 0113 (/dev/sg1): this program was not allowed to open the "
         "drive. Members of the group \"cdrom\" that owns the device node may open it for "
         "reading and writing and send the drive every command: add your user to that group "
         "(sudo usermod -aG cdrom $USER), log in again and start this program again, or run "
         "this program as root."},
        // Any group with read and write access is named, with the same promise.
        {"another group may read and write", true, EACCES, NodeGroup{"optical", true}, "KESTREL ",
         "KESTREL DVD-ROM KD-1650 0113 (/dev/sg1): this program was not allowed to open the "
         "drive. Members of the group \"optical\" that owns the device node may open it for "
         "reading and writing and send the drive every command: add your user to that group "
         "(sudo usermod -aG optical $USER), log in again and start this program again, or run "
         "this program as root."},
        {"group is root", true, EPERM, NodeGroup{"root", true}, "KESTREL ",
         "KESTREL DVD-ROM KD-1650 0113 (/dev/sg1): " + asRoot},
        {"group may only read", true, EACCES, NodeGroup{"disk", false}, "KESTREL ",
         "KESTREL DVD-ROM KD-1650 0113 (/dev/sg1): " + asRoot},
        {"group unknown", true, EACCES, std::nullopt, "KESTREL ",
         "KESTREL DVD-ROM KD-1650 0113 (/dev/sg1): " + asRoot},
        {"block node refused", false, EACCES, NodeGroup{"cdrom", true}, "KESTREL ",
         "KESTREL DVD-ROM KD-1650 0113 (/dev/sr1): the SCSI generic driver (sg) is not loaded, "
         "and this program was not allowed to open the drive's block node. Load the driver with "
         "\"sudo modprobe sg\" and start this program again, or run this program as root."},
        {"busy", true, EBUSY, std::nullopt, "KESTREL ",
         "KESTREL DVD-ROM KD-1650 0113 (/dev/sg1): the drive could not be opened (Device or "
         "resource busy)."},
        {"node missing from /dev", true, ENOENT, std::nullopt, "\x01\x7F",
         "?? DVD-ROM KD-1650 0113 (/dev/sg1): the drive could not be opened (No such file or "
         "directory)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.sysfs.AddDevice("0:0:0:0", "5", c.sgNode ? "sg1" : "", "sr1", c.vendor);
        rig.sysfs.AddDevice("0:0:1:0", "5", "sg2", "sr2", "PALLAS  ", "DVD RW PX-20    ", "1.02");
        const std::string refused = c.sgNode ? "/dev/sg1" : "/dev/sr1";
        if (c.error != ENOENT) {
            rig.system->openResults[refused] = -c.error;
        }
        if (c.group) {
            rig.system->groups[refused] = *c.group;
        }
        rig.system->openResults["/dev/sg2"] = 4;

        EXPECT_THAT(rig.Scan(), ElementsAre("/dev/sg2"));
        EXPECT_THAT(rig.notifier.messages, ElementsAre(kHeading + c.paragraph));
        EXPECT_TRUE(rig.backend->DiscoveryMissedDrives());

        // The drive opened the next time: nothing is missed any more.
        rig.system->openResults[refused] = 6;
        rig.notifier.messages.clear();
        EXPECT_EQ(rig.Scan().size(), 2u);
        EXPECT_FALSE(rig.backend->DiscoveryMissedDrives());
    }
}

TEST(SgIoDiscoveryTest, AllProblemsOfOneScanMakeOneMessage) {
    Rig rig;
    rig.sysfs.AddDevice("0:0:0:0", "5", "", "", "", "", "");
    rig.sysfs.AddDevice("0:0:1:0", "5", "", "", "PALLAS  ", "DVD RW PX-20    ", "1.02");
    rig.sysfs.AddDevice("1:0:0:0", "5", "sg1", "sr1");
    rig.system->openResults["/dev/sg1"] = -EACCES;

    EXPECT_TRUE(rig.Scan().empty());
    const std::string noNode =
        ": the system offers no device node for this drive. Load the SCSI generic driver with "
        "\"sudo modprobe sg\" and start this program again.";
    EXPECT_THAT(rig.notifier.messages,
                ElementsAre("These optical drives cannot be used to update firmware:\n\n"
                            "Optical drive (SCSI address 0:0:0:0)" +
                            noNode + "\n\n" + "PALLAS DVD RW PX-20 1.02 (SCSI address 0:0:1:0)" +
                            noNode + "\n\n" +
                            "KESTREL DVD-ROM KD-1650 0113 (/dev/sg1): this program was not "
                            "allowed to open the drive. Run this program as root, or ask the "
                            "administrator for read and write access to the device node."));
}

}  // namespace
}  // namespace flashtool
