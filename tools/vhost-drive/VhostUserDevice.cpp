#include "tools/vhost-drive/VhostUserDevice.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace flashtool {

namespace vu = vhost_user;

namespace {

constexpr uint64_t kTransportFeatures = vu::kVirtioVersion1 | vu::kProtocolFeatures;
constexpr uint64_t kOfferedProtocolFeatures = vu::kProtocolReplyAck;

void CloseAll(std::vector<int>& fds) {
    for (const int fd : fds) {
        close(fd);
    }
    fds.clear();
}

void Replace(int& slot, int fd) {
    if (slot >= 0) {
        close(slot);
    }
    slot = fd;
}

}  // namespace

VhostUserDevice::VhostUserDevice(VirtqueueServer& serverIn, bool verboseIn)
    : server(serverIn), verbose(verboseIn) {}

VhostUserDevice::~VhostUserDevice() {
    StopAll();
    for (Ring& ring : rings) {
        Replace(ring.kick, -1);
        Replace(ring.call, -1);
    }
}

void VhostUserDevice::Log(const char* format, ...) const {
    va_list args;
    va_start(args, format);
    std::fputs("vhost-drive: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

bool VhostUserDevice::Serving(const Ring& ring) const {
    // With protocol features negotiated a ring starts disabled until the front-end
    // enables it; without them it runs as soon as it is kicked.
    const bool enabled = ring.enabled || (features & vu::kProtocolFeatures) == 0;
    return ring.started && enabled && ring.queue.Ready();
}

std::optional<std::vector<uint8_t>> VhostUserDevice::Handle(const vu::Header& header,
                                                            std::span<const uint8_t> payload,
                                                            std::vector<int>& fds, bool& ok) {
    ok = true;
    std::optional<std::vector<uint8_t>> reply;
    switch (header.request) {
        case vu::kGetFeatures:
            reply = vu::EncodeU64(kTransportFeatures | server.DeviceFeatures());
            break;
        case vu::kSetFeatures: {
            const auto value = vu::ParseU64(payload);
            ok = value && (*value & ~(kTransportFeatures | server.DeviceFeatures())) == 0;
            features = value.value_or(0);

            break;
        }
        case vu::kGetProtocolFeatures:
            reply = vu::EncodeU64(kOfferedProtocolFeatures);
            break;
        case vu::kSetProtocolFeatures: {
            const auto value = vu::ParseU64(payload);
            ok = value && (*value & ~kOfferedProtocolFeatures) == 0;
            protocolFeatures = value.value_or(0);
            break;
        }
        case vu::kGetQueueNum:
            reply = vu::EncodeU64(server.QueueCount());
            break;
        case vu::kSetOwner:
        case vu::kResetOwner:
            break;
        case vu::kSetMemTable:
            ok = SetMemTable(payload, fds);
            break;
        case vu::kGetVringBase:
            reply = GetVringBase(payload, ok);
            break;
        case vu::kSetVringKick:
        case vu::kSetVringCall:
        case vu::kSetVringErr:
            ok = SetVringFd(header.request, payload, fds);
            break;
        case vu::kSetVringNum:
        case vu::kSetVringAddr:
        case vu::kSetVringBase:
        case vu::kSetVringEnable:
            ok = HandleVring(header.request, payload);
            break;
        default:
            Log("request %u not supported", header.request);
            ok = false;
            break;
    }
    CloseAll(fds);
    if (!reply && (header.flags & vu::kNeedReplyFlag) &&
        (protocolFeatures & vu::kProtocolReplyAck)) {
        // The acknowledgement: zero for success.
        reply = vu::EncodeU64(ok ? 0 : 1);
    }
    return reply;
}

bool VhostUserDevice::SetMemTable(std::span<const uint8_t> payload, std::vector<int>& fds) {
    const auto regions = vu::ParseMemoryTable(payload);
    if (!regions || regions->size() != fds.size()) {
        Log("malformed memory table");
        return false;
    }
    // The rings and every command held point into the old table: the rings are set up
    // again after a new one, and the held commands go with the old mappings, since
    // answering one later would write where they no longer are.
    for (Ring& ring : rings) {
        ring.queue.Detach();
    }
    server.RingsStopped();
    memory.Clear();
    for (size_t i = 0; i < regions->size(); ++i) {
        const vu::MemoryRegion& r = (*regions)[i];
        const int fd = fds[i];
        fds[i] = -1;
        if (!memory.MapRegion(fd, r.guestAddress, r.size, r.userAddress, r.mmapOffset)) {
            Log("cannot map guest memory region %zu: %s", i, std::strerror(errno));
            memory.Clear();
            return false;
        }
        if (verbose) {
            Log("region %zu: guest 0x%llx size 0x%llx", i,
                static_cast<unsigned long long>(r.guestAddress),
                static_cast<unsigned long long>(r.size));
        }
    }
    std::erase(fds, -1);
    return true;
}

bool VhostUserDevice::HandleVring(uint32_t request, std::span<const uint8_t> payload) {
    if (request == vu::kSetVringAddr) {
        const auto address = vu::ParseVringAddress(payload);
        if (!address || address->index >= kMaxQueues) {
            return false;
        }
        Ring& ring = rings[address->index];
        if (!ring.queue.SetAddresses(memory, address->descriptors, address->avail, address->used)) {
            Log("ring %u: areas outside guest memory", address->index);
            return false;
        }
        return true;
    }
    const auto state = vu::ParseVringState(payload);
    if (!state || state->index >= kMaxQueues) {
        return false;
    }
    Ring& ring = rings[state->index];
    switch (request) {
        case vu::kSetVringNum:
            // The driver sized its ring when it was started; while the ring runs over its
            // areas it keeps that size (after a new memory table it has none to run over).
            if (ring.started && ring.queue.Ready()) {
                Log("ring %u: size change while the ring runs refused", state->index);
                return false;
            }
            if (!ring.queue.SetSize(memory, state->num)) {
                Log("ring %u: size %u refused (a power of two up to %u, its areas inside guest "
                    "memory)",
                    state->index, state->num, SplitVirtqueue::kMaxSize);
                return false;
            }
            return true;
        case vu::kSetVringBase:
            ring.queue.SetNextAvail(static_cast<uint16_t>(state->num));
            return state->num <= UINT16_MAX;
        default:  // kSetVringEnable
            ring.enabled = state->num != 0;
            if (Serving(ring)) {
                ServeRing(state->index);
            }
            return true;
    }
}

std::optional<std::vector<uint8_t>> VhostUserDevice::GetVringBase(std::span<const uint8_t> payload,
                                                                  bool& ok) {
    const auto state = vu::ParseVringState(payload);
    if (!state || state->index >= kMaxQueues) {
        ok = false;
        return vu::EncodeVringState({state ? state->index : 0, 0});
    }
    // The front-end stops the ring and takes its position back.
    Ring& ring = rings[state->index];
    ring.started = false;
    Replace(ring.kick, -1);
    server.RingsStopped();
    return vu::EncodeVringState({state->index, ring.queue.NextAvail()});
}

bool VhostUserDevice::SetVringFd(uint32_t request, std::span<const uint8_t> payload,
                                 std::vector<int>& fds) {
    const auto value = vu::ParseU64(payload);
    if (!value) {
        return false;
    }
    const auto index = static_cast<uint32_t>(*value & vu::kVringIndexMask);
    const bool noFd = (*value & vu::kVringNoFd) != 0;
    // Polling mode (no kick descriptor) is not offered.
    if (index >= kMaxQueues || noFd != fds.empty() || fds.size() > 1 ||
        (noFd && request == vu::kSetVringKick)) {
        return false;
    }
    const int fd = noFd ? -1 : fds.front();
    fds.clear();
    Ring& ring = rings[index];
    if (request == vu::kSetVringKick) {
        Replace(ring.kick, fd);
        ring.started = true;
        if (Serving(ring)) {
            ServeRing(index);
        }
    } else if (request == vu::kSetVringCall) {
        Replace(ring.call, fd);
    } else if (fd >= 0) {
        close(fd);  // errors are never reported through it
    }
    return true;
}

void VhostUserDevice::ServeRing(uint32_t index) {
    if (index >= kMaxQueues || server.KeepsBuffers(index)) {
        return;
    }
    Ring& ring = rings[index];
    while (Serving(ring)) {
        const auto popped = ring.queue.Pop(memory);
        if (!popped) {
            break;
        }
        if (popped->error == ChainError::BadHead) {
            Log("ring %u: chain head out of range; ring stopped", index);
            ring.started = false;
            break;
        }
        if (popped->error != ChainError::None) {
            Log("ring %u: malformed chain at head %u refused", index, popped->chain.head);
            GiveBack({UsedChain{index, popped->chain.head, 0}});
            continue;
        }
        GiveBack(server.Serve(index, popped->chain));
    }
}

void VhostUserDevice::GiveBack(const std::vector<UsedChain>& used) {
    std::array<bool, kMaxQueues> touched{};
    for (const UsedChain& chain : used) {
        if (chain.queue < kMaxQueues) {
            rings[chain.queue].queue.Push(chain.head, chain.written);
            touched[chain.queue] = true;
        }
    }
    for (uint32_t i = 0; i < kMaxQueues; ++i) {
        if (touched[i] && rings[i].call >= 0) {
            const uint64_t one = 1;
            if (write(rings[i].call, &one, sizeof one) != sizeof one) {
                Log("ring %u: cannot signal the guest: %s", i, std::strerror(errno));
            }
        }
    }
}

void VhostUserDevice::StopAll() {
    for (Ring& ring : rings) {
        ring.started = false;
        ring.queue.Detach();
    }
    server.RingsStopped();
    memory.Clear();
}

}  // namespace flashtool
