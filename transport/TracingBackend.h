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
#include "transport/ForwardingBackend.h"

namespace flashtool {

class TracingBackend final : public ForwardingBackend {
public:
    TracingBackend(std::unique_ptr<PassThroughBackend> inner, DiagnosticSink& trace);

    void BeginDiscovery() override;
    std::optional<DeviceAddress> NextCandidate() override;
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;
    void LimitDiscoveryTo(const std::string& node, size_t row) override;

private:
    DiagnosticSink& trace;
    std::map<std::intptr_t, size_t> indexOf;  // by handle
    size_t nextIndex = 0;
    size_t firstIndex = 0;  // where numbering starts: 0, or a limited discovery's row
};

}  // namespace flashtool
