#pragma once

// One firmware update of the selected drive, run on the flash worker once the Upgrade
// command's checks have passed: verify the payload, ask for a last confirmation, run the
// maker's pre-steps, hand the pages to the build's transfer method, wait for the drive to
// settle and report. The front-end then reads the drive's revision again, records the run,
// and offers to restart the computer (ShowCompletion, AskToRestart).
//
// The worker has the transport, the image buffers and the gating's values to itself while
// it runs; the window is reached only through FlashHost.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/Clock.h"
#include "core/SleepInhibitor.h"
#include "drive/VendorCommands.h"
#include "flash/FlashHost.h"
#include "flash/PageTransfer.h"
#include "flash/RunEnding.h"
#include "image/BuildConfig.h"
#include "image/FirmwareImage.h"
#include "policy/GatingState.h"
#include "transport/ScsiDevice.h"

namespace flashtool {

struct FlashRunContext {
    ScsiDevice device;  // the drive the operator chose
    VendorCommands& vendor;
    PageTransfer& transfer;
    FirmwareImage& image;
    FlashHost& host;
    Clock& clock;
    SleepInhibitor& inhibitor;
    const BuildConfig& config;
    const GatingState& state;
    std::span<const uint8_t> storedRegion;
};

// The lines that tell the operator about an end the result codes do not cover.
inline constexpr std::string_view kUnconfirmedLine =
    "The drive took every page but did not confirm the new firmware (it did not answer, or was "
    "busy): the update is not confirmed. Check its firmware revision after the computer has "
    "restarted; if it is still the old one, run the update again.";
inline constexpr std::string_view kInflateFailedLine =
    "The firmware image could not be unpacked, so none of it was sent to the drive. This copy of "
    "the program may be damaged: get it again before you retry.";
inline constexpr std::string_view kRecordsNotRestoredLine =
    "The firmware was sent, but the drive's model records could not be written back. Do not "
    "restart the computer: run the update again.";

// Settle times after a transfer, in milliseconds.
constexpr uint32_t kSettleMs = 5000;
constexpr uint32_t kEjectPathExtraSettleMs = 50000;

class FlashRun {
public:
    explicit FlashRun(const FlashRunContext& context) : context(context) {}

    // How the run ended. Updated means the drive confirmed the transfer; the caller reads the
    // drive's identification to say whether it shows the new revision.
    RunEnding RunFlash();

private:
    struct Plan;

    // Each returns the run's ending when the run ends there, nothing when it goes on.
    std::optional<RunEnding> PreSteps(Plan& plan);
    std::optional<RunEnding> Decompress(Plan& plan);
    std::optional<RunEnding> Transfer(Plan& plan);
    // After a transfer the drive confirmed: the success lines; false when the records could
    // not be written back (the run then ends without the restart question).
    bool Complete(const Plan& plan);
    // After a transfer whose end the drive did not confirm: no success lines.
    RunEnding CompleteUnconfirmed(const Plan& plan);
    void Settle(const Plan& plan);
    bool RestoreModelRecords();
    void Log(std::string_view line);

    FlashRunContext context;
};

// After a run that ended updated, once the drive's revision was read again (`readBack` says
// what it showed): the success box of the builds that have one...
void ShowCompletion(FlashHost& host, BrandCode brand, std::string_view readBack);
// ...and, once the run's ending is recorded, the question whether to restart now.
void AskToRestart(FlashHost& host, BrandCode brand, std::string_view readBack);

}  // namespace flashtool
