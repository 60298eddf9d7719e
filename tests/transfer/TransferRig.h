#pragma once

// Small stored regions and a transport over one virtual drive, for the page transfer tests.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "emulator/VirtualDrive.h"
#include "flash/PageTransfer.h"
#include "support/ScriptedBackend.h"
#include "transport/ScsiTransport.h"

namespace flashtool::testing {

constexpr uint32_t kPage = 16384;

// A synthetic firmware image of `size` bytes (fwsynth's): the header a drive reads its
// revision from, then content that compresses as firmware does.
std::vector<uint8_t> SyntheticFirmware(uint32_t size, std::string_view revision, uint32_t seed = 1);

// The stored form of an image as fwpack makes it: a 4-byte little-endian length word, the
// zlib stream (level 9) and zero fill up to `payloadSize`.
std::vector<uint8_t> StoredForm(std::span<const uint8_t> image, uint32_t payloadSize);

// A single-layout region laid out by fwpack: the build configuration (key "TARN" + method
// digit, the family code, the payload's sums and size), the payload, the region's sums.
std::vector<uint8_t> StoredRegion(std::span<const uint8_t> payload, char methodDigit,
                                  std::string_view family = "");

// What the flash run would hand over for a single-layout region, without decompression.
TransferInputs InputsFor(std::span<const uint8_t> region, std::string_view currentFamily = "");

uint32_t Crc32(std::span<const uint8_t> bytes);

// One command as the drive saw it, with the timeout the host gave it, as one line:
//   "FA 12 34 ... | out 16384 crc32=1A2B3C4D | 200 s | ok"
std::string WireLine(std::span<const uint8_t> cdb, DataDirection direction, uint32_t length,
                     uint32_t crc32, uint32_t timeout, ExecResult result = ExecResult::Ok);
std::string DataOut(std::span<const uint8_t> cdb, std::span<const uint8_t> data, uint32_t timeout);
std::string DataIn(std::span<const uint8_t> cdb, std::span<const uint8_t> data, uint32_t timeout);
std::string NoData(std::span<const uint8_t> cdb, uint32_t timeout,
                   ExecResult result = ExecResult::Ok);

// A back-end with one device that hands every command to a virtual drive and keeps the
// timeout of each.
class DriveBackend final : public PassThroughBackend {
public:
    explicit DriveBackend(VirtualDrive& drive) : drive(drive) {}
    void BeginDiscovery() override { offered = false; }
    std::optional<DeviceAddress> NextCandidate() override;
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;
    void CloseDevice(const DeviceAddress&) override {}

    std::vector<uint32_t> timeouts;

private:
    VirtualDrive& drive;
    bool offered = false;
};

struct TransferRig {
    VirtualDrive drive;
    RecordingNotifier notifier;
    DriveBackend* backend = nullptr;
    std::unique_ptr<ScsiTransport> transport;
    FakeClock clock;
    CapturedDiagnostics diagnostics;
    std::unique_ptr<PageTransfer> transfer;

    TransferRig();
    TransferOutcome Transfer(const TransferInputs& inputs) {
        return transfer->TransferImage(inputs);
    }
    // Every command the drive received since the rig was made, as WireLine lines.
    std::vector<std::string> Wire() const;
};

}  // namespace flashtool::testing
