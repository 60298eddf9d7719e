// The ASPI back-end: the library's loading, discovery over adapters and targets, and each
// command as one request block that the layer owns until it completes.

#include "transport/windows/AspiBackend.h"

#include <algorithm>
#include <atomic>

#include "transport/UserNotifier.h"
#include "transport/windows/SenseArea.h"

namespace flashtool {

namespace {

// The library's full path in the system folder. Loading it by bare name would search the
// current folder first, where anyone could leave a library of that name.
std::string SystemLibraryPath(const std::string& folder, const char* name) {
    return folder.back() == '\\' ? folder + name : folder + '\\' + name;
}

uint32_t WaitBoundMs(uint32_t timeoutSeconds) {
    const uint64_t bound = (uint64_t{timeoutSeconds} + kAspiGraceSeconds) * 1000;
    return static_cast<uint32_t>(std::min<uint64_t>(bound, 0xFFFF0000u));
}

PassThroughOutcome ExecOutcome(std::span<const uint8_t> block) {
    const AspiExecLayout& layout = kNativeAspiExecLayout;
    if (block[kSrbStatusOffset] == kSsComp) {
        return PassThroughOutcome::Good();
    }
    const SenseInfo sense = SenseFromArea(block.subspan(layout.senseOffset, kExecSenseAreaLength));
    const uint8_t haStat = block[layout.haStatOffset];
    const uint8_t targStat = block[layout.targStatOffset];
    PassThroughOutcome outcome = PassThroughOutcome::TransportFailure();
    if (haStat == kHaStatTimeout) {
        outcome = PassThroughOutcome::TimedOut();
    } else if (haStat == 0 && targStat == kStatusCheckCondition) {
        outcome = PassThroughOutcome::CheckCondition(sense);
    } else {
        outcome.scsiStatus = targStat;
    }
    outcome.sense = sense;
    return outcome;
}

}  // namespace

AspiBackend::AspiBackend(std::shared_ptr<Win32Api> apiIn, Clock& clockIn)
    : api(std::move(apiIn)), clock(clockIn), execRequest(std::make_unique<ExecRequest>()) {}

AspiBackend::~AspiBackend() {
    if (!ReclaimRequest()) {
        // The layer may still write into the block and its data: leave them to the process.
        static_cast<void>(execRequest.release());
    }
}

bool AspiBackend::Start(UserNotifier& notifier) {
    const std::string folder = api->GetSystemDirectoryA();
    if (folder.empty()) {
        return false;
    }
    library = api->LoadLibraryA(SystemLibraryPath(folder, kAspiLibraryName));
    if (library == 0) {
        return false;
    }
    // A library without both entry points stays loaded until Unload.
    getSupportInfo = reinterpret_cast<GetSupportInfoFunction>(
        api->GetProcAddress(library, "GetASPI32SupportInfo"));
    sendCommand =
        reinterpret_cast<SendCommandFunction>(api->GetProcAddress(library, "SendASPI32Command"));
    if (getSupportInfo == nullptr || sendCommand == nullptr) {
        getSupportInfo = nullptr;
        sendCommand = nullptr;
        return false;
    }
    const uint32_t info = getSupportInfo();
    const uint8_t status = static_cast<uint8_t>(info >> 8);
    if (status != kSsComp && status != kSsNoAdapters) {
        notifier.ShowMessage(kAspiUnexpectedFailure);
        return false;
    }
    adapterCount = static_cast<int32_t>(info & 0xFF);
    return true;
}

void AspiBackend::BeginDiscovery() {
    scanAdapter = 0;
    scanTarget = 0;
    scanTargets = 0;
}

std::optional<DeviceAddress> AspiBackend::NextCandidate() {
    if (sendCommand == nullptr) {
        return std::nullopt;
    }
    while (scanAdapter < adapterCount) {
        const auto adapter = static_cast<uint8_t>(scanAdapter);
        if (scanTargets == 0) {
            std::array<uint8_t, kHaInquirySize> inquiry = HaInquiryBlock(adapter);
            sendCommand(inquiry.data());
            if (inquiry[kSrbStatusOffset] != kSsComp) {
                ++scanAdapter;
                continue;
            }
            scanTargets = TargetsToProbe(inquiry);
            scanTarget = 0;
        }
        while (scanTarget < scanTargets) {
            const uint8_t target = scanTarget++;
            std::array<uint8_t, kGetDevTypeSize> device = GetDevTypeBlock(adapter, target);
            sendCommand(device.data());
            if (device[kSrbStatusOffset] == kSsComp &&
                device[kGdevDeviceTypeOffset] == kDeviceTypeCdrom) {
                return DeviceAddress{0, adapter, target};
            }
        }
        ++scanAdapter;
        scanTargets = 0;
    }
    return std::nullopt;
}

PassThroughOutcome AspiBackend::Send(const DeviceAddress& device, const ScsiRequest& request) {
    if (sendCommand == nullptr || !ReclaimRequest() ||
        (request.length != 0 && request.data == nullptr)) {
        return PassThroughOutcome::TransportFailure();
    }
    // The layer gets the request's own copy of the data. The caller's bytes go in whatever
    // the direction, so that what comes back for data in is exactly what the caller would
    // have seen had the layer written into its buffer: no residual is reported.
    std::vector<uint8_t>& data = execRequest->data;
    data.assign(request.data, request.data + request.length);
    const Win32Handle event = api->CreateEventA(true, false);
    const uint8_t flags =
        AspiDirectionFlags(request.direction) | (event != 0 ? kSrbEventNotify : 0);
    const AspiCommand command{device.hostAdapter,
                              device.target,
                              flags,
                              request.cdb,
                              request.length,
                              data.empty() ? 0 : reinterpret_cast<uintptr_t>(data.data()),
                              static_cast<uint64_t>(event)};
    const std::span<uint8_t> block(execRequest->block);
    if (!BuildExecBlock(kNativeAspiExecLayout, command, block)) {
        if (event != 0) {
            api->CloseHandle(event);
        }
        return PassThroughOutcome::TransportFailure();
    }

    const uint32_t sendStatus = sendCommand(block.data());
    if (!AwaitCompletion(event, sendStatus, WaitBoundMs(request.timeoutSeconds))) {
        // The layer still owns the block, its data and the event; all wait for it to let
        // go. The caller's buffer is not touched again.
        requestOutstanding = true;
        outstandingEvent = event;
        return PassThroughOutcome::TimedOut();
    }
    if (event != 0) {
        api->CloseHandle(event);
    }
    if (request.direction == DataDirection::In) {
        std::copy(data.begin(), data.end(), request.data);
    }
    return ExecOutcome(block);
}

bool AspiBackend::AwaitCompletion(Win32Handle event, uint32_t sendStatus, uint32_t boundMs) {
    std::atomic_ref<uint8_t> status(execRequest->block[kSrbStatusOffset]);
    if ((sendStatus & 0xFF) != kSsPending) {
        // Completed or refused at once: the layer is done with the block. A refusal that
        // left the block's own status untouched is reported with the status returned.
        if (status.load(std::memory_order_acquire) == kSsPending) {
            status.store(static_cast<uint8_t>(sendStatus), std::memory_order_relaxed);
        }
        return true;
    }
    if (event != 0) {
        api->WaitForSingleObject(event, boundMs);
        return ExecStatus() != kSsPending;
    }
    // No event to wait on: look at the status again after each short pause.
    for (uint32_t waited = 0; ExecStatus() == kSsPending; waited += kAspiPollIntervalMs) {
        if (waited >= boundMs) {
            return false;
        }
        clock.SleepMs(kAspiPollIntervalMs);
    }
    return true;
}

uint8_t AspiBackend::ExecStatus() {
    // The layer completes the request from another thread.
    return std::atomic_ref<uint8_t>(execRequest->block[kSrbStatusOffset])
        .load(std::memory_order_acquire);
}

bool AspiBackend::ReclaimRequest() {
    if (!requestOutstanding) {
        return true;
    }
    if (ExecStatus() == kSsPending) {
        return false;
    }
    requestOutstanding = false;
    if (outstandingEvent != 0) {
        api->CloseHandle(outstandingEvent);
        outstandingEvent = 0;
    }
    return true;
}

void AspiBackend::Unload() {
    if (library == 0 || !ReclaimRequest()) {
        // A library whose request is still in flight stays loaded until the process ends.
        return;
    }
    getSupportInfo = nullptr;
    sendCommand = nullptr;
    api->FreeLibrary(library);
    library = 0;
}

}  // namespace flashtool
