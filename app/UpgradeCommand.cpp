// The Upgrade command: the checks in their fixed order on the user-interface thread, then
// one worker thread that runs the flash.

#include <array>

#include "app/FlashDialog.h"
#include "flash/FlashRun.h"
#include "image/StoredRegion.h"
#include "policy/Gating.h"
#include "policy/GatingChain.h"

namespace flashtool {

namespace {
// The handler reads back at most this many characters of the information window.
constexpr size_t kShownTextLimit = 49;
}  // namespace

bool FlashDialog::VerifyRegion() const {
    return VerifyStoredRegion(storedRegion, gating.variantTag, config, gating.payloadHeader);
}

void FlashDialog::OnUpgrade() {
    // Whatever enabled the button, a press during a run (or while the checks of an earlier
    // press still wait for an answer) never starts anything.
    if (RunInProgress() || upgradeHandlerActive) {
        return;
    }
    upgradeHandlerActive = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{upgradeHandlerActive};

    const std::string shown = window.ControlText(ControlId::Log).substr(0, kShownTextLimit);
    if (SameBytes(shown, kNoDriveSelected, kNoDriveSelected.size())) {
        window.ShowMessageBox(
            {std::string(kSelectDriveFirst), std::nullopt, BoxButtons::Ok, BoxIcon::Exclamation});
        return;
    }
    const GatingContext context{transport, vendor, *this, clock, config, gating, storedRegion};
    if (!RunUpgradeChecks(context, static_cast<uint8_t>(selectedIndex & 0xFF),
                          [this] { return VerifyRegion(); })) {
        return;
    }
    if (!BeginRun()) {
        return;
    }
    EnableButtons(false);
    PrepareProgress();
    // The worker of the previous run has already ended (the flag was clear); collect it.
    if (worker.joinable()) {
        worker.join();
    }
    worker = std::thread([this] { FlashWorker(); });
}

void FlashDialog::FlashWorker() {
    const FlashRunContext context{transport, vendor,    transfer, image,  *this,
                                  clock,     inhibitor, config,   gating, storedRegion};
    FlashRun run(context);
    run.RunFlash();
    EndRun();
}

void FlashDialog::WaitForRun() {
    if (worker.joinable() && worker.get_id() != std::this_thread::get_id()) {
        worker.join();
    }
}

}  // namespace flashtool
