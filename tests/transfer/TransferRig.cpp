#include "transfer/TransferRig.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "core/Bytes.h"
#include "core/Format.h"
#include "image/Checksums.h"
#include "image/FirmwareHeader.h"

namespace flashtool::testing {

std::vector<uint8_t> SyntheticFirmware(uint32_t size, std::string_view revision, uint32_t seed) {
    std::vector<uint8_t> image(size);
    uint32_t state = seed;
    for (uint32_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        // Runs of equal bytes with every fourth byte random: about 37 % after zlib.
        image[i] = static_cast<uint8_t>((i >> 7) ^ (i % 4 == 0 ? (state >> 16) & 0xFF : 0));
    }
    if (size < kFirmwareHeaderSize) {
        return image;
    }
    std::copy(kFirmwareMagic.begin(), kFirmwareMagic.end(), image.begin());
    std::fill_n(image.begin() + 8, 24, 0);
    std::copy_n(revision.begin(), std::min<size_t>(revision.size(), 4), image.begin() + 8);
    std::memcpy(image.data() + 12, "KM7300", 6);
    StoreLittleEndian32(image, 20, size);
    return image;
}

std::vector<uint8_t> StoredForm(std::span<const uint8_t> image, uint32_t payloadSize) {
    uLongf streamLength = compressBound(static_cast<uLong>(image.size()));
    std::vector<uint8_t> payload(4 + streamLength);
    if (compress2(payload.data() + 4, &streamLength, image.data(), static_cast<uLong>(image.size()),
                  9) != Z_OK ||
        4 + streamLength > payloadSize) {
        throw std::runtime_error("the image does not fit the payload");
    }
    StoreLittleEndian32(payload, 0, static_cast<uint32_t>(streamLength));
    payload.resize(payloadSize, 0);
    std::fill(payload.begin() + 4 + static_cast<ptrdiff_t>(streamLength), payload.end(), 0);
    return payload;
}

std::vector<uint8_t> StoredRegion(std::span<const uint8_t> payload, char methodDigit,
                                  std::string_view family) {
    std::vector<uint8_t> region(64);
    std::memcpy(region.data(), "TARN", 4);
    region[4] = static_cast<uint8_t>(methodDigit);
    std::copy_n(family.begin(), std::min<size_t>(family.size(), 8), region.begin() + 38);
    StoreLittleEndian16(region, 56, LinearSum(payload));
    StoreLittleEndian16(region, 58, RotatedSum(payload));
    StoreLittleEndian32(region, 60, static_cast<uint32_t>(payload.size()));
    region.insert(region.end(), payload.begin(), payload.end());
    const uint16_t linear = LinearSum(region);
    const uint16_t rotated = RotatedSum(region);
    region.resize(region.size() + 4);
    StoreLittleEndian16(region, region.size() - 4, linear);
    StoreLittleEndian16(region, region.size() - 2, rotated);
    return region;
}

TransferInputs InputsFor(std::span<const uint8_t> region, std::string_view currentFamily) {
    TransferInputs inputs;
    inputs.storedRegion = region;
    inputs.methodDigit = static_cast<char>(region[4]);
    inputs.selectedSize = *LittleEndian32At(region, 60);
    inputs.storedPageCount = static_cast<uint8_t>(inputs.selectedSize / kPage);
    inputs.stagingFirst = 64;
    inputs.linearSum = *LittleEndian16At(region, 56);
    inputs.rotatedSum = *LittleEndian16At(region, 58);
    inputs.buildFamily = std::string_view(reinterpret_cast<const char*>(region.data()) + 38, 8);
    inputs.currentFamily = currentFamily;
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
    transfer = std::make_unique<PageTransfer>(*transport, clock, diagnostics);
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
