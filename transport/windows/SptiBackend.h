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
#include <string>
#include <utility>

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
    // The device instance path of the volume's drive, which Windows keeps for a device at
    // the same port across restarts (a drive letter may be given to another drive): the
    // CD-ROM interface whose device number is the volume's. Asked of the system once per
    // volume, and only when asked; "" when it cannot be found.
    std::string DrivePlace(const DeviceAddress& device) const override;

private:
    // The type and number of the device behind an open handle; none when the system does
    // not say.
    std::optional<std::pair<uint32_t, uint32_t>> DeviceNumberOf(Win32Handle handle) const;
    std::string FindInstancePath(Win32Handle volume) const;

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
    // Each open volume's place, once found.
    mutable std::map<Win32Handle, std::string> places;
};

}  // namespace flashtool
