#pragma once

// The pass-through back-end of the systems without SPTI: the ASPI library loaded from the
// system folder, CD/DVD devices found adapter by adapter and target by target, and every
// command sent as one SRB_ExecSCSICmd that completes through an event or is polled.
//
// Used by one thread at a time; the library completes a request from a thread of its own.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "transport/PassThroughBackend.h"
#include "transport/windows/AspiBlocks.h"
#include "transport/windows/Win32Api.h"
#include "transport/windows/WindowsBackend.h"

namespace flashtool {

class AspiBackend final : public PassThroughBackend {
public:
    // The library's entry points, as it exports them.
    using GetSupportInfoFunction = uint32_t (*)();
    using SendCommandFunction = uint32_t (*)(void* requestBlock);

    AspiBackend(std::shared_ptr<Win32Api> api, Clock& clock);
    ~AspiBackend() override;
    AspiBackend(const AspiBackend&) = delete;
    AspiBackend& operator=(const AspiBackend&) = delete;

    // Loads the library and asks it how many adapters there are.
    bool Start(UserNotifier& notifier) override;
    std::string LoadFailureMessage() const override { return kAspiLoadFailure; }
    uint8_t InquiryLength() const override { return kAspiInquiryLength; }
    std::string NoDriveHint() const override {
        return "Check that the drive is connected and that the ASPI layer lists it on an "
               "adapter.";
    }

    void BeginDiscovery() override;
    std::optional<DeviceAddress> NextCandidate() override;
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;
    // An ASPI address is a pair of numbers: nothing was opened for it.
    void CloseDevice(const DeviceAddress& /*device*/) override {}
    void Unload() override;

    int32_t AdapterCount() const { return adapterCount; }

private:
    bool AwaitCompletion(Win32Handle event, uint32_t sendStatus, uint32_t boundMs);
    // True when no request owns the block and its data any more (closing the event of one
    // that did).
    bool ReclaimRequest();
    uint8_t ExecStatus();

    std::shared_ptr<Win32Api> api;
    Clock& clock;
    int32_t adapterCount = 0;
    Win32Module library = 0;
    GetSupportInfoFunction getSupportInfo = nullptr;
    SendCommandFunction sendCommand = nullptr;

    // Where discovery goes on: the next adapter and target (scanTargets is 0 until the
    // adapter has been asked how many targets it has).
    int32_t scanAdapter = 0;
    uint8_t scanTarget = 0;
    uint8_t scanTargets = 0;

    // The command block and the data the command moves, which the layer reads and writes
    // until it completes the request. A request the layer did not complete in time still
    // owns both (and its event): they are not reused until the layer lets go, and never
    // freed before, so a late completion writes into them and never into a caller's buffer
    // that has long been given back.
    //
    // Aborting such a request (SC_ABORT_SRB) would not do instead: an abort is itself only
    // a request, the layer may still complete the command and move its data after the
    // abort returns, and some layers cannot abort a command that has reached the device.
    struct ExecRequest {
        std::array<uint8_t, kAspiExecMaxSize> block{};
        std::vector<uint8_t> data;
    };
    std::unique_ptr<ExecRequest> execRequest;
    bool requestOutstanding = false;
    Win32Handle outstandingEvent = 0;
};

}  // namespace flashtool
