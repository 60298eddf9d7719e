#include "transport/TracingBackend.h"

#include <algorithm>
#include <cstring>

#include "transport/TraceLine.h"

namespace flashtool {

TracingBackend::TracingBackend(std::unique_ptr<PassThroughBackend> innerIn, DiagnosticSink& traceIn)
    : ForwardingBackend(std::move(innerIn)), trace(traceIn) {}

void TracingBackend::LimitDiscoveryTo(const std::string& node, size_t row) {
    firstIndex = row;
    Inner().LimitDiscoveryTo(node, row);
}

void TracingBackend::BeginDiscovery() {
    indexOf.clear();
    nextIndex = firstIndex;
    Inner().BeginDiscovery();
}

std::optional<DeviceAddress> TracingBackend::NextCandidate() {
    auto address = Inner().NextCandidate();
    if (address) {
        indexOf[address->handle] = nextIndex++;
    }
    return address;
}

PassThroughOutcome TracingBackend::Send(const DeviceAddress& device, const ScsiRequest& request) {
    const PassThroughOutcome outcome = Inner().Send(device, request);
    TraceEntry entry;
    entry.cdb.assign(request.cdb.begin(), request.cdb.end());
    entry.direction = request.direction;
    entry.length = request.length;
    entry.result = ClassifyOutcome(outcome);
    if (entry.result != ExecResult::Ok && outcome.sense) {
        entry.sense = *outcome.sense;
    }
    if (request.direction != DataDirection::None && request.data != nullptr) {
        if (request.direction == DataDirection::In) {
            // What the drive did not send reads as zero, whatever the system left there.
            const uint32_t residual = std::min(outcome.residual, request.length);
            std::memset(request.data + (request.length - residual), 0, residual);
        }
        entry.crc32 = TraceDigest(std::span<const uint8_t>(request.data, request.length));
    }
    const auto index = indexOf.find(device.handle);
    trace.Write(FormatTraceLine(index != indexOf.end() ? index->second : 0, entry));
    return outcome;
}

}  // namespace flashtool
