#pragma once

// The pass-through back-end of NT systems: CD/DVD drives found by drive letter, each opened
// as a volume, and every command sent as one pass-through-direct ioctl on that volume, its
// data through a buffer aligned as the volume's adapter asks. It needs nothing loaded, so
// its Start always succeeds (and the load failure message is the default one, never shown).
//
// Used by one thread at a time.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>

#include "transport/PassThroughBackend.h"
#include "transport/windows/SptiBuffer.h"
#include "transport/windows/Win32Api.h"
#include "transport/windows/WindowsBackend.h"

namespace flashtool {

class SptiBackend final : public PassThroughBackend {
public:
    explicit SptiBackend(std::shared_ptr<Win32Api> api);

    uint8_t InquiryLength() const override { return kSptiInquiryLength; }
    std::string NoDriveHint() const override {
        return "Check that the drive is connected and has a drive letter in Explorer, and that "
               "the program was started as an administrator.";
    }

    void BeginDiscovery() override;
    std::optional<DeviceAddress> NextCandidate() override;
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;
    void CloseDevice(const DeviceAddress& device) override;

private:
    uint32_t QueryAlignmentMask(Win32Handle volume);
    // The request's data in the back-end's own buffer, aligned for the device's adapter.
    std::span<uint8_t> StageData(const DeviceAddress& device, const ScsiRequest& request);

    std::shared_ptr<Win32Api> api;

    // The drive letter discovery tries next.
    char nextLetter = 'c';

    // Each open volume's alignment mask, asked once when the volume is found, and the
    // buffer every request's data goes through.
    std::map<Win32Handle, uint32_t> alignmentMasks;
    SptiBuffer buffer;
};

}  // namespace flashtool
