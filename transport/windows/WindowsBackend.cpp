#include "transport/windows/WindowsBackend.h"

namespace flashtool {

WindowsBackend::WindowsBackend(std::shared_ptr<Win32Api> apiIn, Clock& clockIn)
    : api(std::move(apiIn)), clock(clockIn), aspiRequest(std::make_unique<AspiRequest>()) {}

WindowsBackend::~WindowsBackend() {
    if (!ReclaimAspiRequest()) {
        // The ASPI layer may still write into the block and its data: leave them to the
        // process.
        static_cast<void>(aspiRequest.release());
    }
}

bool WindowsBackend::Start(UserNotifier& notifier) {
    Win32Version version;
    useSpti = api->GetVersionExA(version) && version.platformId == kPlatformWin32Nt;
    // SPTI needs nothing loaded.
    return useSpti || LoadAspi(notifier);
}

uint8_t WindowsBackend::InquiryLength() const {
    return useSpti ? kSptiInquiryLength : kAspiInquiryLength;
}

void WindowsBackend::BeginDiscovery() {
    nextLetter = 'c';
    scanAdapter = 0;
    scanTarget = 0;
    scanTargets = 0;
}

std::optional<DeviceAddress> WindowsBackend::NextCandidate() {
    return useSpti ? NextVolume() : NextAspiTarget();
}

PassThroughOutcome WindowsBackend::Send(const DeviceAddress& device, const ScsiRequest& request) {
    return useSpti ? SendSpti(device, request) : SendAspi(device, request);
}

void WindowsBackend::CloseDevice(const DeviceAddress& device) {
    // Only SPTI opens anything per device; an ASPI address is a pair of numbers.
    if (useSpti && device.handle != 0 && device.handle != kInvalidHandleValue) {
        alignmentMasks.erase(device.handle);
        api->CloseHandle(device.handle);
    }
}

void WindowsBackend::Unload() {
    if (aspiModule == 0 || !ReclaimAspiRequest()) {
        // A library whose request is still in flight stays loaded until the process ends.
        return;
    }
    getSupportInfo = nullptr;
    sendCommand = nullptr;
    api->FreeLibrary(aspiModule);
    aspiModule = 0;
}

}  // namespace flashtool
