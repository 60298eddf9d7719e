// Descriptors of the SG_IO back-end under threads: while one back-end claims and releases its
// drive over and over, other threads scan with their own back-end and open files of their own,
// as the workers of --all, the keep-awake lock and a trace file do. No descriptor may ever lead
// to a node other than the one its owner opened.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "support/ScriptedBackend.h"
#include "transport/linux/SgIoBackend.h"
#include "transport_linux/LinuxFakes.h"

namespace flashtool {
namespace {

using testing::FakeSysfs;
using testing::RecordingNotifier;

constexpr int kClaimCycles = 1000;
// The scanner stops with the claims; this only bounds it should the claims stall.
constexpr int kMaxScanRounds = 100000;

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
};

std::optional<FileId> IdOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    return FileId{info.st_dev, info.st_ino};
}

FileId IdOf(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return FileId{info.st_dev, info.st_ino};
}

bool Leads(int fd, FileId expected) {
    const std::optional<FileId> id = IdOf(fd);
    return id && id->device == expected.device && id->inode == expected.inode;
}

// The real open and close on ordinary files standing in for the nodes (the kernel ignores
// O_EXCL there). Every open first runs beforeOpen, which may let another thread open something
// right then. Every SG_IO counts a stray when its descriptor leads anywhere but to the node this
// back-end was made for.
class CheckingSystem final : public LinuxSystem {
public:
    CheckingSystem(FileId nodeIn, std::atomic<int>& straysIn) : node(nodeIn), strays(straysIn) {}

    std::function<void()> beforeOpen;

    int Open(const std::string& path, int flags) override {
        if (beforeOpen) {
            beforeOpen();
        }
        return real.Open(path, flags);
    }
    void Close(int fd) override { real.Close(fd); }
    int SgIo(int fd, sg_io_hdr_t& /*header*/) override {
        if (!Leads(fd, node)) {
            ++strays;
        }
        return 0;
    }
    std::optional<NodeGroup> GroupOf(const std::string& /*path*/) override { return std::nullopt; }
    bool HasRawIoCapability() override { return false; }

private:
    RealLinuxSystem real;
    FileId node;
    std::atomic<int>& strays;
};

struct Node {
    std::filesystem::path path;
    FileId id;
};

// Two drives in one sysfs tree, their nodes ordinary files in a folder beside it.
struct StressRig {
    FakeSysfs sysfs;
    std::filesystem::path devices = sysfs.root / "dev";
    Node first;
    Node second;
    Node other;  // what the interloper opens

    StressRig() {
        std::filesystem::create_directories(devices);
        sysfs.AddDevice("1:0:0:0", "5", "sg1", "sr0");
        sysfs.AddDevice("2:0:0:0", "5", "sg2", "sr1");
        first = MakeNode("sg1");
        second = MakeNode("sg2");
        other = MakeNode("trace.txt");
    }

    Node MakeNode(const std::string& name) {
        const std::filesystem::path path = devices / name;
        std::ofstream(path) << name;
        return Node{path, IdOf(path)};
    }

    // A back-end limited to one node, as a worker of --all makes it.
    std::unique_ptr<SgIoBackend> Backend(const Node& node, std::atomic<int>& strays,
                                         CheckingSystem** system = nullptr) {
        auto owned = std::make_unique<CheckingSystem>(node.id, strays);
        if (system != nullptr) {
            *system = owned.get();
        }
        auto backend = std::make_unique<SgIoBackend>(std::move(owned), sysfs.root, devices);
        backend->LimitDiscoveryTo(node.path.string(), 0);
        return backend;
    }
};

// A thread that opens a file of its own whenever asked, at the worst moment for the back-end,
// as the keep-awake lock or a trace file may be opened by another thread. It holds the file
// until the next request and then checks that its descriptor still leads to it.
class Interloper {
public:
    explicit Interloper(Node fileIn) : file(std::move(fileIn)), thread([this] { Run(); }) {}
    ~Interloper() { Stop(); }
    Interloper(const Interloper&) = delete;
    Interloper& operator=(const Interloper&) = delete;

    // Returns once the thread holds a freshly opened descriptor.
    void OpenNow() {
        std::unique_lock lock(mutex);
        const int wanted = ++requested;
        wake.notify_all();
        wake.wait(lock, [&] { return served >= wanted; });
    }
    // Ends the thread, which checks what it still holds first.
    void Stop() {
        if (!thread.joinable()) {
            return;
        }
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        wake.notify_all();
        thread.join();
    }
    int Strays() const { return strays; }
    int Opens() const { return opens; }

private:
    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stop || requested > served; });
            if (held >= 0) {
                if (!Leads(held, file.id)) {
                    ++strays;
                }
                ::close(held);
                held = -1;
            }
            if (stop) {
                return;
            }
            held = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
            opens += held >= 0 ? 1 : 0;
            served = requested;
            wake.notify_all();
        }
    }

    const Node file;
    std::mutex mutex;
    std::condition_variable wake;
    int requested = 0;
    int served = 0;
    bool stop = false;
    int held = -1;
    std::atomic<int> strays{0};
    std::atomic<int> opens{0};
    std::thread thread;
};

bool SendOne(SgIoBackend& backend, const DeviceAddress& drive) {
    const uint8_t cdb[6] = {};
    ScsiRequest request;
    request.cdb = cdb;
    return backend.Send(drive, request).kind == OutcomeKind::Completed;
}

TEST(SgIoHandleStressTest, ClaimsAndReleasesNeverHandAnotherThreadsDescriptorElsewhere) {
    StressRig rig;
    std::atomic<int> claimStrays{0};
    std::atomic<int> scanStrays{0};
    std::atomic<int> failures{0};
    std::atomic<bool> done{false};

    CheckingSystem* system = nullptr;
    const std::unique_ptr<SgIoBackend> backend = rig.Backend(rig.first, claimStrays, &system);
    RecordingNotifier notifier;
    backend->BeginDiscovery();
    const std::optional<DeviceAddress> drive = backend->NextCandidate();
    backend->EndDiscovery(notifier);
    ASSERT_TRUE(drive);
    EXPECT_TRUE(notifier.messages.empty());

    // Another worker of --all, scanning and sending to its own drive the whole time.
    std::thread scanner([&] {
        const std::unique_ptr<SgIoBackend> other = rig.Backend(rig.second, scanStrays);
        RecordingNotifier otherNotifier;
        for (int round = 0; round < kMaxScanRounds && !done; ++round) {
            other->BeginDiscovery();
            const std::optional<DeviceAddress> found = other->NextCandidate();
            other->EndDiscovery(otherNotifier);
            if (!found || !SendOne(*other, *found)) {
                ++failures;
            }
            if (found) {
                other->CloseDevice(*found);
            }
        }
    });
    Interloper interloper(rig.other);
    system->beforeOpen = [&] { interloper.OpenNow(); };
    for (int cycle = 0; cycle < kClaimCycles; ++cycle) {
        if (backend->ClaimExclusive(*drive) != ExclusiveClaim::Claimed ||
            !SendOne(*backend, *drive)) {
            ++failures;
        }
        backend->ReleaseExclusive(*drive);
        if (!SendOne(*backend, *drive)) {
            ++failures;
        }
    }
    backend->CloseDevice(*drive);
    system->beforeOpen = nullptr;
    interloper.Stop();
    done = true;
    scanner.join();

    const int interloperOpens = interloper.Opens();
    // One open of the interloper inside every claim and every release.
    EXPECT_EQ(interloperOpens, 2 * kClaimCycles);
    EXPECT_EQ(claimStrays, 0) << "commands of the claiming back-end sent elsewhere";
    EXPECT_EQ(scanStrays, 0) << "commands of the scanning back-end sent elsewhere";
    EXPECT_EQ(interloper.Strays(), 0)
        << "of " << interloperOpens << " descriptors opened meanwhile led to a drive";
    EXPECT_EQ(failures, 0) << "claims, scans or commands that failed";
}

}  // namespace
}  // namespace flashtool
