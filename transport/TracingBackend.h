#pragma once

// A pass-through back-end that forwards everything to another and writes one trace line
// per command sent (TraceLine.h), so that what the program sent through the real system
// can go with a bug report, or be compared line by line with what a virtual drive received.
// N counts the devices in the order discovery opened them, as the emulated program numbers
// its drives; a discovery limited to one device numbers it by the row it was given. The digest is
// over the whole buffer after the command, with what the drive did not send zero-filled, as a
// virtual drive records it.
//
// The sink may be shared by back-ends on several threads (--all): each line is one Write.

#include <map>
#include <memory>

#include "core/Diagnostics.h"
#include "transport/PassThroughBackend.h"

namespace flashtool {

class TracingBackend final : public PassThroughBackend {
public:
    TracingBackend(std::unique_ptr<PassThroughBackend> inner, DiagnosticSink& trace);

    bool Start(UserNotifier& notifier) override { return inner->Start(notifier); }
    std::string LoadFailureMessage() const override { return inner->LoadFailureMessage(); }
    uint8_t InquiryLength() const override { return inner->InquiryLength(); }
    void BeginDiscovery() override;
    std::optional<DeviceAddress> NextCandidate() override;
    void EndDiscovery(UserNotifier& notifier) override { inner->EndDiscovery(notifier); }
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;
    void CloseDevice(const DeviceAddress& device) override { inner->CloseDevice(device); }
    std::vector<std::string> NodeNames(const DeviceAddress& device) const override {
        return inner->NodeNames(device);
    }
    void LimitDiscoveryTo(const std::string& node, size_t row) override;
    ExclusiveClaim ClaimExclusive(const DeviceAddress& device) override {
        return inner->ClaimExclusive(device);
    }
    void ReleaseExclusive(const DeviceAddress& device) override { inner->ReleaseExclusive(device); }
    void Unload() override { inner->Unload(); }

private:
    std::unique_ptr<PassThroughBackend> inner;
    DiagnosticSink& trace;
    std::map<std::intptr_t, size_t> indexOf;  // by handle
    size_t nextIndex = 0;
    size_t firstIndex = 0;  // where numbering starts: 0, or a limited discovery's row
};

}  // namespace flashtool
