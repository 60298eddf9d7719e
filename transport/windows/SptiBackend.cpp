// The SPTI back-end: discovery by drive letter, and each command as one
// pass-through-direct ioctl on the drive's volume.

#include "transport/windows/SptiBackend.h"

#include <algorithm>

#include "core/Bytes.h"
#include "core/Format.h"
#include "transport/windows/SenseArea.h"
#include "transport/windows/SptiRequest.h"

namespace flashtool {

SptiBackend::SptiBackend(std::shared_ptr<Win32Api> apiIn) : api(std::move(apiIn)) {}

void SptiBackend::BeginDiscovery() {
    nextLetter = 'c';
}

std::optional<DeviceAddress> SptiBackend::NextCandidate() {
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
        alignmentMasks[handle] = QueryAlignmentMask(handle);
        return DeviceAddress{handle, 0, 0};
    }
    return std::nullopt;
}

uint32_t SptiBackend::QueryAlignmentMask(Win32Handle volume) {
    std::array<uint8_t, kScsiCapabilitiesSize> reply{};
    uint32_t returned = 0;
    if (!api->DeviceIoControl(volume, kIoctlScsiGetCapabilities, nullptr, 0, reply.data(),
                              static_cast<uint32_t>(reply.size()), returned)) {
        return kDefaultAlignmentMask;
    }
    return AlignmentMaskFrom(reply, returned);
}

std::span<uint8_t> SptiBackend::StageData(const DeviceAddress& device, const ScsiRequest& request) {
    if (request.length == 0) {
        return {};
    }
    const auto mask = alignmentMasks.find(device.handle);
    const std::span<uint8_t> data = buffer.Take(
        request.length, mask != alignmentMasks.end() ? mask->second : kDefaultAlignmentMask);
    // Zero for data in: bytes of an earlier command must never pass for this drive's.
    if (request.direction == DataDirection::Out) {
        std::copy_n(request.data, request.length, data.begin());
    } else {
        std::fill(data.begin(), data.end(), uint8_t{0});
    }
    return data;
}

PassThroughOutcome SptiBackend::Send(const DeviceAddress& device, const ScsiRequest& request) {
    const SptiLayout& layout = kNativeSptiLayout;
    if (request.length != 0 && request.data == nullptr) {
        return PassThroughOutcome::TransportFailure();
    }
    const std::span<uint8_t> data = StageData(device, request);
    alignas(8) std::array<uint8_t, kSptiMaxRequestSize> block{};
    const SptiCommand command{device.hostAdapter,
                              device.target,
                              request.cdb,
                              request.direction,
                              request.length,
                              request.timeoutSeconds,
                              reinterpret_cast<uintptr_t>(data.data())};
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
        // The driver writes back how many bytes actually came in; only those are the
        // drive's.
        const uint32_t moved = std::min(
            LittleEndian32At(block, kSptiDataTransferLengthOffset).value_or(0), request.length);
        std::copy_n(data.begin(), moved, request.data);
        outcome.residual = request.length - moved;
    }
    return outcome;
}

std::optional<std::pair<uint32_t, uint32_t>> SptiBackend::DeviceNumberOf(Win32Handle handle) const {
    std::array<uint8_t, kStorageDeviceNumberSize> reply{};
    uint32_t returned = 0;
    if (!api->DeviceIoControl(handle, kIoctlStorageGetDeviceNumber, nullptr, 0, reply.data(),
                              static_cast<uint32_t>(reply.size()), returned) ||
        returned < 8) {
        return std::nullopt;
    }
    return std::pair{LittleEndian32At(reply, 0).value_or(0),
                     LittleEndian32At(reply, 4).value_or(0)};
}

std::string SptiBackend::FindInstancePath(Win32Handle volume) const {
    const auto number = DeviceNumberOf(volume);
    const Win32DeviceList list = number ? api->GetCdromInterfaces() : 0;
    if (list == 0) {
        return "";
    }
    // No computer has more CD-ROM interfaces than this; a list that never ends is a fault.
    constexpr uint32_t kMostInterfaces = 64;
    std::string found;
    for (uint32_t index = 0; index < kMostInterfaces && found.empty(); ++index) {
        const std::optional<Win32DeviceInterface> entry = api->CdromInterfaceAt(list, index);
        if (!entry) {
            break;
        }
        // Opened for no access at all: only the device's number is asked.
        const Win32Handle device =
            api->CreateFileA(entry->path, 0, kFileShareRead | kFileShareWrite, kOpenExisting);
        if (device == kInvalidHandleValue || device == 0) {
            continue;
        }
        if (DeviceNumberOf(device) == number) {
            found = entry->instanceId;
        }
        api->CloseHandle(device);
    }
    api->DestroyDeviceList(list);
    return found;
}

std::string SptiBackend::DrivePlace(const DeviceAddress& device) const {
    if (alignmentMasks.count(device.handle) == 0) {
        return "";  // not a volume this back-end opened
    }
    const auto known = places.find(device.handle);
    if (known != places.end()) {
        return known->second;
    }
    return places[device.handle] = FindInstancePath(device.handle);
}

void SptiBackend::CloseDevice(const DeviceAddress& device) {
    if (device.handle != 0 && device.handle != kInvalidHandleValue) {
        alignmentMasks.erase(device.handle);
        places.erase(device.handle);
        api->CloseHandle(device.handle);
    }
}

}  // namespace flashtool
