#pragma once

// The virtio-scsi device on top of its virtqueues: queue 0 carries control requests (task
// management, asynchronous notification), queue 1 holds the driver's buffers for events,
// queues 2 and up carry commands. Each command chain becomes one ScsiCommand for the
// handler, and the handler's completion is written back as the response header followed
// by the data for the guest.
//
// A command the handler holds stays unanswered, the way a drive that hangs leaves it,
// until the guest gives up on it: its abort (or a reset of the unit or of the nexus)
// completes it as aborted, before the task management request itself is answered.

#include <cstdint>
#include <vector>

#include "core/Diagnostics.h"
#include "tools/vhost-drive/ScsiHandler.h"
#include "tools/vhost-drive/VirtioScsiLayout.h"
#include "tools/vhost-drive/VirtqueueServer.h"

namespace flashtool {

class VirtioScsiQueues final : public VirtqueueServer {
public:
    static constexpr uint32_t kControlQueue = 0;
    static constexpr uint32_t kEventQueue = 1;
    static constexpr uint32_t kFirstRequestQueue = 2;

    // No more commands can be outstanding than the largest ring holds: past that the guest
    // has made one chain available twice.
    static constexpr size_t kMaxHeld = SplitVirtqueue::kMaxSize;

    // `errors` gets a line for every command refused for its size.
    VirtioScsiQueues(ScsiHandler& handler, uint32_t requestQueues, DiagnosticSink& errors)
        : handler(handler), requestQueues(requestQueues), errors(errors) {}

    // Parameter-change events may be negotiated (QEMU acknowledges them on its own); this
    // device simply never reports one. Hot-plug and protection information are not offered.
    static constexpr uint64_t kFeatureChange = 1ULL << 2;

    uint32_t QueueCount() const override { return kFirstRequestQueue + requestQueues; }
    uint64_t DeviceFeatures() const override { return kFeatureChange; }
    // The event queue's buffers stay with the device until it has an event to report,
    // and this device never has one.
    bool KeepsBuffers(uint32_t queue) const override { return queue == kEventQueue; }

    // Serves one chain taken from `queue`; returns the chains to give back to the guest,
    // in order (none while a command is held; a held command and then the control request
    // when the guest aborts it).
    std::vector<UsedChain> Serve(uint32_t queue, const DescriptorChain& chain) override;
    void RingsStopped() override { held.clear(); }

    size_t HeldCommands() const { return held.size(); }

private:
    struct HeldCommand {
        uint32_t queue;
        DescriptorChain chain;
        virtio_scsi::UnitAddress unit;
        uint64_t tag;
    };

    uint32_t ServeCommand(uint32_t queue, const DescriptorChain& chain, bool& heldOut);
    std::vector<UsedChain> ServeControl(const DescriptorChain& chain);
    std::vector<UsedChain> AbortHeld(const virtio_scsi::TmfRequest& request);

    ScsiHandler& handler;
    uint32_t requestQueues;
    DiagnosticSink& errors;
    std::vector<HeldCommand> held;
};

// Writes a command response with no data into a chain; returns the bytes written.
uint32_t AnswerCommand(const DescriptorChain& chain, const virtio_scsi::CommandResponse& response);

}  // namespace flashtool
