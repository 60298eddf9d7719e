// The SPTI half of the Windows back-end: CD/DVD drives found by drive letter, each opened
// as a volume, and every command sent as one pass-through-direct ioctl on that volume.

#include <algorithm>

#include "core/Bytes.h"
#include "core/Format.h"
#include "transport/windows/SenseArea.h"
#include "transport/windows/SptiRequest.h"
#include "transport/windows/WindowsBackend.h"

namespace flashtool {

std::optional<DeviceAddress> WindowsBackend::NextVolume() {
    // "a" and "b" are floppy letters: opening them could wake a floppy drive, and no
    // CD/DVD drive lives there.
    while (nextLetter <= 'z') {
        const char letter = nextLetter++;
        const Win32Handle handle =
            api->CreateFileA(FormatText("\\\\.\\%c:", letter), kGenericRead | kGenericWrite,
                             kFileShareRead | kFileShareWrite, kOpenExisting);
        if (handle == kInvalidHandleValue || handle == 0) {
            continue;
        }
        if (api->GetDriveTypeA(FormatText("%c:", letter)) != kDriveCdrom) {
            api->CloseHandle(handle);
            continue;
        }
        return DeviceAddress{handle, 0, 0};
    }
    return std::nullopt;
}

PassThroughOutcome WindowsBackend::SendSpti(const DeviceAddress& device,
                                            const ScsiRequest& request) {
    const SptiLayout& layout = kNativeSptiLayout;
    alignas(8) std::array<uint8_t, kSptiMaxRequestSize> block{};
    const SptiCommand command{device.hostAdapter,
                              device.target,
                              request.cdb,
                              request.direction,
                              request.length,
                              request.timeoutSeconds,
                              reinterpret_cast<uintptr_t>(request.data)};
    if (!BuildSptiRequest(layout, command, block)) {
        return PassThroughOutcome::TransportFailure();
    }

    uint32_t returned = 0;
    if (!api->DeviceIoControl(device.handle, kIoctlScsiPassThroughDirect, block.data(),
                              layout.headerLength, block.data(), layout.requestSize, returned)) {
        const uint32_t error = api->GetLastError();
        return error == kErrorSemTimeout ? PassThroughOutcome::TimedOut()
                                         : PassThroughOutcome::OsFailure(static_cast<int>(error));
    }

    const uint8_t status = block[kSptiScsiStatusOffset];
    PassThroughOutcome outcome = PassThroughOutcome::Status(status);
    if (status == kStatusCheckCondition) {
        const std::span<const uint8_t> sense(block.data() + layout.senseOffset, kSptiSenseLength);
        outcome = PassThroughOutcome::CheckCondition(SenseFromArea(sense));
    }
    if (request.direction == DataDirection::In) {
        // The driver writes back how many bytes actually came in.
        const uint32_t moved = LittleEndian32At(block, kSptiDataTransferLengthOffset).value_or(0);
        outcome.residual = request.length - std::min(moved, request.length);
    }
    return outcome;
}

}  // namespace flashtool
