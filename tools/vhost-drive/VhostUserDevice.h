#pragma once

// The vhost-user back-end side of one device: it takes the front-end's (QEMU's) messages
// from a unix socket (features, the guest's memory table, each ring's size, addresses,
// base and kick/call eventfds) and serves the rings when the guest kicks them, handing
// every chain to the VirtqueueServer. One front-end at a time, one thread.
//
// Only what a virtio-scsi device needs is offered: version 1 and protocol features (with
// acknowledgements), no indirect descriptors, no event index, no dirty-page log, no more
// than eight memory regions, rings of at most 1024 entries.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/vhost-drive/GuestMemory.h"
#include "tools/vhost-drive/SplitVirtqueue.h"
#include "tools/vhost-drive/VhostUserMessage.h"
#include "tools/vhost-drive/VirtqueueServer.h"

namespace flashtool {

class VhostUserDevice {
public:
    static constexpr uint32_t kMaxQueues = 16;

    // `log` gets a line per message when verbose, and every protocol error.
    VhostUserDevice(VirtqueueServer& server, bool verbose);
    ~VhostUserDevice();
    VhostUserDevice(const VhostUserDevice&) = delete;
    VhostUserDevice& operator=(const VhostUserDevice&) = delete;

    // Listens on `socketPath` (replacing a stale socket there), serves the first front-end
    // that connects until it goes away. 0 when it went away, 1 on an error.
    int Run(const std::string& socketPath);

    // One message, already read: returns the reply's payload, or nothing when the message
    // has none. Descriptors in `fds` are taken over (closed or kept). False in `ok` on a
    // message that breaks the protocol.
    std::optional<std::vector<uint8_t>> Handle(const vhost_user::Header& header,
                                               std::span<const uint8_t> payload,
                                               std::vector<int>& fds, bool& ok);

    // Serves every chain waiting on ring `index`.
    void ServeRing(uint32_t index);

    const GuestMemory& Memory() const { return memory; }
    uint64_t AckedFeatures() const { return features; }

private:
    struct Ring {
        SplitVirtqueue queue;
        int kick = -1;
        int call = -1;
        bool enabled = false;
        bool started = false;
    };

    enum class Step : uint8_t { Continue, Disconnected, Failed };

    // Waits for the front-end or a kick and handles what came.
    Step ServeOnce(int socket);
    bool Serving(const Ring& ring) const;
    bool SetMemTable(std::span<const uint8_t> payload, std::vector<int>& fds);
    bool SetVringFd(uint32_t request, std::span<const uint8_t> payload, std::vector<int>& fds);
    std::optional<std::vector<uint8_t>> GetVringBase(std::span<const uint8_t> payload, bool& ok);
    bool HandleVring(uint32_t request, std::span<const uint8_t> payload);
    void GiveBack(const std::vector<UsedChain>& used);
    void StopAll();
    void Log(const char* format, ...) const;

    VirtqueueServer& server;
    bool verbose;
    GuestMemory memory;
    std::array<Ring, kMaxQueues> rings;
    uint64_t features = 0;
    uint64_t protocolFeatures = 0;
};

}  // namespace flashtool
