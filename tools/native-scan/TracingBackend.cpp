#include "tools/native-scan/TracingBackend.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "emulator/EmulatedBackend.h"

namespace flashtool {

TracingBackend::TracingBackend(std::unique_ptr<PassThroughBackend> innerIn, DiagnosticSink& traceIn)
    : inner(std::move(innerIn)), trace(traceIn) {}

void TracingBackend::BeginDiscovery() {
    indexOf.clear();
    nextIndex = 0;
    inner->BeginDiscovery();
}

std::optional<DeviceAddress> TracingBackend::NextCandidate() {
    auto address = inner->NextCandidate();
    if (address) {
        indexOf[address->handle] = nextIndex++;
    }
    return address;
}

PassThroughOutcome TracingBackend::Send(const DeviceAddress& device, const ScsiRequest& request) {
    const PassThroughOutcome outcome = inner->Send(device, request);
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
            const uint32_t residual = std::min(outcome.residual, request.length);
            std::memset(request.data + (request.length - residual), 0, residual);
        }
        entry.crc32 =
            request.length == 0
                ? 0
                : static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), request.data, request.length));
    }
    const auto index = indexOf.find(device.handle);
    trace.Write(FormatTraceLine(index != indexOf.end() ? index->second : 0, entry));
    return outcome;
}

void TracingBackend::CloseDevice(const DeviceAddress& device) {
    inner->CloseDevice(device);
}

}  // namespace flashtool
