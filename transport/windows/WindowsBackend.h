#pragma once

// The pass-through back-end of the Windows build. Start chooses between the
// system's SCSI pass-through on drive-letter volumes (SPTI, on every NT system) and the
// ASPI library (on the others); the back-end then behaves as the chosen layer: it loads
// what that layer needs, offers candidate drives and sends commands. It reports the SCSI
// status it got; ScsiTransport decides what counts as success.
//
// Its Win32 calls go through Win32Api and its pauses through Clock, so that its logic is
// tested with fakes on any platform. Used by one thread at a time.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "transport/PassThroughBackend.h"
#include "transport/windows/AspiBlocks.h"
#include "transport/windows/SptiBuffer.h"
#include "transport/windows/Win32Api.h"

namespace flashtool {

// The ASPI library, loaded from the system folder only.
inline constexpr char kAspiLibraryName[] = "WNASPI32.DLL";
inline constexpr char kAspiLoadFailure[] = "Can't load WNASPI32.DLL!!";
inline constexpr char kAspiUnexpectedFailure[] = "Unexpected ASPI Failure";

// Allocation lengths of the discovery INQUIRY.
constexpr uint8_t kSptiInquiryLength = 56;
constexpr uint8_t kAspiInquiryLength = 36;

// An ASPI request without a completion event is polled at this pace. However it is
// awaited, a request gets the caller's timeout and this much more to complete; the ASPI
// layer's own adapter time-out normally ends a stuck command well before.
constexpr uint32_t kAspiPollIntervalMs = 10;
constexpr uint32_t kAspiGraceSeconds = 15;

class WindowsBackend final : public PassThroughBackend {
public:
    // The library's entry points, as it exports them.
    using GetSupportInfoFunction = uint32_t (*)();
    using SendCommandFunction = uint32_t (*)(void* requestBlock);

    WindowsBackend(std::shared_ptr<Win32Api> api, Clock& clock);
    ~WindowsBackend() override;
    WindowsBackend(const WindowsBackend&) = delete;
    WindowsBackend& operator=(const WindowsBackend&) = delete;

    bool Start(UserNotifier& notifier) override;
    std::string LoadFailureMessage() const override { return kAspiLoadFailure; }
    uint8_t InquiryLength() const override;

    void BeginDiscovery() override;
    std::optional<DeviceAddress> NextCandidate() override;
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override;
    void CloseDevice(const DeviceAddress& device) override;
    void Unload() override;

    bool UsesSpti() const { return useSpti; }
    int32_t AdapterCount() const { return adapterCount; }

private:
    // SPTI (WindowsSpti.cpp).
    std::optional<DeviceAddress> NextVolume();
    uint32_t QueryAlignmentMask(Win32Handle volume);
    // The request's data in the back-end's own buffer, aligned for the device's adapter.
    std::span<uint8_t> StageSptiData(const DeviceAddress& device, const ScsiRequest& request);
    PassThroughOutcome SendSpti(const DeviceAddress& device, const ScsiRequest& request);

    // ASPI (WindowsAspi.cpp).
    bool LoadAspi(UserNotifier& notifier);
    std::optional<DeviceAddress> NextAspiTarget();
    PassThroughOutcome SendAspi(const DeviceAddress& device, const ScsiRequest& request);
    bool AwaitCompletion(Win32Handle event, uint32_t sendStatus, uint32_t boundMs);
    // True when no request owns the block and its data any more (closing the event of one
    // that did).
    bool ReclaimAspiRequest();
    uint8_t ExecStatus();

    std::shared_ptr<Win32Api> api;
    Clock& clock;
    bool useSpti = false;
    int32_t adapterCount = 0;
    Win32Module aspiModule = 0;
    GetSupportInfoFunction getSupportInfo = nullptr;
    SendCommandFunction sendCommand = nullptr;

    // Where discovery goes on: the next drive letter, or the next adapter and target
    // (scanTargets is 0 until the adapter has been asked how many targets it has).
    char nextLetter = 'c';
    int32_t scanAdapter = 0;
    uint8_t scanTarget = 0;
    uint8_t scanTargets = 0;

    // SPTI: each open volume's alignment mask, asked once when the volume is found, and the
    // buffer every request's data goes through.
    std::map<Win32Handle, uint32_t> alignmentMasks;
    SptiBuffer sptiBuffer;

    // The ASPI command block and the data the command moves, which the layer reads and
    // writes until it completes the request. A request the layer did not complete in time
    // still owns both (and its event): they are not reused until the layer lets go, and
    // never freed before, so a late completion writes into them and never into a caller's
    // buffer that has long been given back.
    //
    // Aborting such a request (SC_ABORT_SRB) would not do instead: an abort is itself only
    // a request, the layer may still complete the command and move its data after the
    // abort returns, and some layers cannot abort a command that has reached the device.
    struct AspiRequest {
        std::array<uint8_t, kAspiExecMaxSize> block{};
        std::vector<uint8_t> data;
    };
    std::unique_ptr<AspiRequest> aspiRequest;
    bool requestOutstanding = false;
    Win32Handle outstandingEvent = 0;
};

}  // namespace flashtool
