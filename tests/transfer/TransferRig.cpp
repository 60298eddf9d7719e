#include "transfer/TransferRig.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "core/Bytes.h"
#include "core/Format.h"
#include "image/Checksums.h"
#include "image/FirmwareHeader.h"
#include "image/ImageLayout.h"
#include "image/FamilyTraits.h"
#include "tools/fwpack/RegionPacker.h"
#include "tools/fwpack/SyntheticFirmware.h"

namespace flashtool::testing {

std::vector<uint8_t> SyntheticFirmware(uint32_t size, std::string_view revision, uint32_t seed) {
    return GenerateSyntheticFirmware({std::string(revision), "KM7300", size, seed, size / 2});
}

std::vector<uint8_t> StoredForm(std::span<const uint8_t> image, uint32_t payloadSize) {
    const std::vector<uint8_t> stream = CompressImage(image);
    if (kStreamLengthSize + stream.size() > payloadSize) {
        throw std::runtime_error("the image does not fit the payload");
    }
    return MakePayload(stream, payloadSize);
}

std::vector<uint8_t> StoredRegion(std::span<const uint8_t> payload, char methodDigit,
                                  std::string_view family) {
    BuildDescription build;
    build.key = std::string("TARN") + methodDigit;
    build.target = "KESTREL DVD RW KW-7300  ";
    build.revision = "1.0e";
    build.family = std::string(family);
    build.pattern = "QZ*.**";
    build.layout = RegionLayout::Single;
    return LayOutRegion(build, payload, {});
}

TransferInputs InputsFor(std::span<const uint8_t> region, std::string_view currentFamily) {
    TransferInputs inputs;
    inputs.storedRegion = region;
    // The key's digit as the method's value: a digit that names no method gives a value
    // outside the enumeration, which TransferImage must refuse without sending anything.
    inputs.method = static_cast<TransferMethod>(region[4] - '0');
    inputs.selectedSize = *LittleEndian32At(region, 60);
    inputs.storedPageCount = static_cast<uint8_t>(inputs.selectedSize / kPage);
    inputs.stagingFirst = 64;
    inputs.linearSum = *LittleEndian16At(region, 56);
    inputs.rotatedSum = *LittleEndian16At(region, 58);
    // The flash run hands over what the families' traits say, as it does here.
    const std::string_view buildFamily(reinterpret_cast<const char*>(region.data()) + 38, 8);
    inputs.pageSums = TraitsOf(buildFamily).pageSums;
    inputs.twoSegments = TraitsOf(currentFamily).twoSegments;
    return inputs;
}

uint32_t Crc32(std::span<const uint8_t> bytes) {
    if (bytes.empty()) {
        return 0;
    }
    return static_cast<uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

std::string WireLine(std::span<const uint8_t> cdb, DataDirection direction, uint32_t length,
                     uint32_t crc32, uint32_t timeout, ExecResult result) {
    std::string line;
    for (const uint8_t byte : cdb) {
        line += FormatText("%02X ", byte);
    }
    const char* name = direction == DataDirection::Out  ? "out"
                       : direction == DataDirection::In ? "in"
                                                        : "none";
    const char* outcome = result == ExecResult::Ok         ? "ok"
                          : result == ExecResult::TimedOut ? "timedout"
                                                           : "failed";
    return line +
           FormatText("| %s %u crc32=%08X | %u s | %s", name, length, crc32, timeout, outcome);
}

std::string DataOut(std::span<const uint8_t> cdb, std::span<const uint8_t> data, uint32_t timeout) {
    return WireLine(cdb, DataDirection::Out, static_cast<uint32_t>(data.size()), Crc32(data),
                    timeout);
}

std::string DataIn(std::span<const uint8_t> cdb, std::span<const uint8_t> data, uint32_t timeout) {
    return WireLine(cdb, DataDirection::In, static_cast<uint32_t>(data.size()), Crc32(data),
                    timeout);
}

std::string NoData(std::span<const uint8_t> cdb, uint32_t timeout, ExecResult result) {
    return WireLine(cdb, DataDirection::None, 0, 0, timeout, result);
}

std::optional<DeviceAddress> DriveBackend::NextCandidate() {
    if (offered) {
        return std::nullopt;
    }
    offered = true;
    return DeviceAddress{1, 0, 0};
}

PassThroughOutcome DriveBackend::Send(const DeviceAddress&, const ScsiRequest& request) {
    timeouts.push_back(request.timeoutSeconds);
    return drive.Handle(request);
}

TransferRig::TransferRig() {
    auto owned = std::make_unique<DriveBackend>(drive);
    backend = owned.get();
    transport = std::make_unique<ScsiTransport>(std::move(owned), notifier);
    transport->LoadBackend();
    transport->ScanDevices();
    drive.ClearTrace();
    backend->timeouts.clear();
    transfer = std::make_unique<PageTransfer>(ScsiDevice(*transport, 0), clock, diagnostics);
}

std::vector<std::string> TransferRig::Wire() const {
    std::vector<std::string> lines;
    const auto& trace = drive.Trace();
    for (size_t i = 0; i < trace.size(); ++i) {
        const TraceEntry& entry = trace[i];
        lines.push_back(WireLine(entry.cdb, entry.direction, entry.length, entry.crc32,
                                 backend->timeouts.at(i), entry.result));
    }
    return lines;
}

}  // namespace flashtool::testing
