#pragma once

// A pass-through back-end that forwards to another and writes one trace line per command
// in the emulated program's format, so that what a program sent through the real system
// can be compared line by line with what a virtual drive received:
//   vdrive N: CDB-HEX | DIR LEN crc32=XXXXXXXX | RESULT
// N counts the devices in the order discovery opened them. The digest is over the whole
// buffer after the command, with what the drive did not send zero-filled, as the virtual
// drive records it.

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
    void CloseDevice(const DeviceAddress& device) override;
    void Unload() override { inner->Unload(); }

private:
    std::unique_ptr<PassThroughBackend> inner;
    DiagnosticSink& trace;
    std::map<std::intptr_t, size_t> indexOf;  // by handle
    size_t nextIndex = 0;
};

}  // namespace flashtool
