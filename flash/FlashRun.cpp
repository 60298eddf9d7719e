#include "flash/FlashRun.h"

#include <string_view>

#include "core/FixedText.h"
#include "image/FamilyTraits.h"
#include "image/ImageLayout.h"
#include "image/PayloadCheck.h"

namespace flashtool {

namespace {

constexpr std::string_view kConfirmQuestion = "Do you really want to upgrade ?";
constexpr std::string_view kEjectPathExemptTarget = "ATAPI   DVD+RW 3X5X18   ";
constexpr uint8_t kRecordLocationPrimary = 0x02;
constexpr uint8_t kRecordLocationSecondary = 0x24;
constexpr uint8_t kRecordLength = 4;
constexpr uint8_t kMaxStoredPagesForInflate = 0x80;
constexpr std::string_view kInhibitWho = "Optical drive firmware update";
constexpr std::string_view kInhibitWhy =
    "A drive's firmware is being written; an interruption now can ruin the drive.";
constexpr std::string_view kInhibitRefusedLine =
    "The computer could not be kept awake during the update: do not let it sleep or shut down.";

// The traits of the family the gating resolved for the selected drive.
const FamilyTraits& DriveFamily(const GatingState& state) {
    return TraitsOf(WholeField(state.currentFamily));
}

MessageBoxRequest RestartQuestion(std::string_view text, std::string_view caption) {
    return {std::string(text), std::string(caption), BoxButtons::OkCancel, BoxIcon::Exclamation,
            QuestionKind::Restart};
}

}  // namespace

// The run's working values; discarded when it ends.
struct FlashRun::Plan {
    PayloadSelection selection;
    RunningSums sums;
    TransferMethod method = TransferMethod::SummedPages;
    BrandCode brand = BrandCode::Other;
    uint8_t pageCount = 0;
    bool expanded = false;
    bool longWait = false;
    bool confirmed = false;  // the drive confirmed the command that ends the transfer
};

void FlashRun::Log(std::string_view line) {
    context.host.AppendLog(line);
}

RunEnding FlashRun::RunFlash() {
    FlashHost& host = context.host;
    const BuildConfig& config = context.config;
    const GatingState& state = context.state;
    Plan plan;
    plan.selection = SelectPayload(state.variantTag, config, state.payloadHeader);
    const auto staged = CheckPayload(context.image, context.storedRegion, plan.selection, host);
    if (!staged) {
        host.ReportResult(ResultCode::ChecksumMismatch);
        return RunEnding::Refusal(ResultCode::ChecksumMismatch);
    }
    plan.sums = *staged;
    plan.pageCount = plan.selection.storedPageCount;
    const std::optional<TransferMethod> method = TransferMethodOf(config.TransferMethodDigit());
    if (!method) {
        // A build without a transfer method ends here, silently.
        return RunEnding::Of(RunEndingKind::NothingSent);
    }
    plan.method = *method;
    plan.brand = DeriveBrandCode(config.RevisionPattern());
    // An OEM drive below its boundary has its model records prepared before anything else is
    // sent to it, readiness wait included; those are writes, so the operator confirms first.
    // Either way the drive receives the same commands in the same order.
    const bool prepare = state.prepareRecords;
    const bool waitForReady = plan.method != TransferMethod::BufferWriteReadBack;
    if (!prepare && waitForReady) {
        context.vendor.WaitUntilReady();
    }
    const MessageBoxRequest confirm{std::string(kConfirmQuestion), std::nullopt,
                                    BoxButtons::OkCancel, BoxIcon::Exclamation,
                                    QuestionKind::Confirmation};
    if (host.ShowMessageBox(confirm) != BoxAnswer::Ok) {
        host.ReportResult(ResultCode::UserCancelled);
        RunEnding cancelled = RunEnding::Refusal(ResultCode::UserCancelled);
        cancelled.declined = QuestionKind::Confirmation;
        return cancelled;
    }
    host.StartProgressTimer();

    // From the first command that changes the drive until the records are written back,
    // the computer must not sleep or shut down. Taking the lock also opens the run's write
    // window and leaves its mark in the history (the front-end's inhibitor), so it comes
    // right before the first such command.
    {
        auto awake = context.inhibitor.Acquire(kInhibitWho, kInhibitWhy);
        if (!awake) {
            Log(kInhibitRefusedLine);
        }
        if (prepare) {
            context.vendor.PrepareModelRecords();
            if (waitForReady) {
                context.vendor.WaitUntilReady();
            }
        }
        if (plan.method == TransferMethod::SummedPages) {
            if (const auto ended = PreSteps(plan)) {
                return *ended;
            }
        }
        if (const auto ended = Transfer(plan)) {
            return *ended;
        }
        if (!plan.confirmed) {
            return CompleteUnconfirmed(plan);
        }
        if (!Complete(plan)) {
            return RunEnding::Failure(ResultCode::UpdateFailed);
        }
    }
    return RunEnding::Of(RunEndingKind::Updated);
}

std::optional<RunEnding> FlashRun::Transfer(Plan& plan) {
    FlashHost& host = context.host;
    Log("Start to upgrade...");
    Log("Don't turn off the power!!");
    host.SetCloseEnabled(false);

    TransferInputs inputs;
    inputs.storedRegion = context.storedRegion;
    inputs.method = plan.method;
    inputs.selectedSize = plan.selection.size;
    inputs.storedPageCount = plan.selection.storedPageCount;
    inputs.stagingFirst = static_cast<uint32_t>(plan.selection.first);
    inputs.linearSum = plan.sums.Linear();
    inputs.rotatedSum = plan.sums.Rotated();
    inputs.expanded = plan.expanded;
    inputs.expandedPageCount = plan.expanded ? plan.pageCount : 0;
    inputs.workBuffer = context.image.WorkBuffer();
    inputs.pageSums = TraitsOf(context.config.FamilyCode()).pageSums;
    inputs.twoSegments = TraitsOf(context.state.CurrentFamilyText()).twoSegments;
    inputs.progress = [&host](uint32_t done, uint32_t total) {
        host.TransferProgress(done, total);
    };
    const TransferOutcome transferred = context.transfer.TransferImage(inputs);
    if (transferred == TransferOutcome::Failed) {
        host.ReportResult(ResultCode::UpdateFailed);
        host.SetCloseEnabled(true);
        return RunEnding::Failure(ResultCode::UpdateFailed);
    }
    plan.confirmed = transferred == TransferOutcome::Done;
    return std::nullopt;
}

std::optional<RunEnding> FlashRun::PreSteps(Plan& plan) {
    FlashHost& host = context.host;
    const GatingState& state = context.state;
    VendorCommands& vendor = context.vendor;
    if (DriveFamily(state).ejectPath &&
        !SameBytes(context.config.TargetId(), kEjectPathExemptTarget,
                   kEjectPathExemptTarget.size())) {
        plan.longWait = true;
        vendor.EjectMedium();
        return std::nullopt;
    }
    const auto fail = [&host](ResultCode code) {
        host.ReportResult(code);
        return RunEnding::Failure(code);
    };
    if (!vendor.VendorHandshake()) {
        return fail(ResultCode::CommandFailed);
    }
    if (state.oemFamily &&
        (!vendor.WriteModelRecord(state.oemCode, kRecordLocationPrimary, kRecordLength, true) ||
         !vendor.WriteModelRecord(state.oemCode, kRecordLocationSecondary, kRecordLength, true))) {
        return fail(ResultCode::CheckFailed);
    }
    if (state.oemRevisionAhead &&
        !vendor.CheckHardwareVariant(plan.selection.storedPageCount, state.oemCode)) {
        return fail(ResultCode::NotAllowed);
    }
    return Decompress(plan);
}

std::optional<RunEnding> FlashRun::Decompress(Plan& plan) {
    const uint8_t stored = plan.selection.storedPageCount;
    if (DriveFamily(context.state).noInflate || stored >= kMaxStoredPagesForInflate ||
        !context.vendor.ReadBufferSize()) {
        return std::nullopt;
    }
    const uint8_t expandedPages = context.image.InflatePayload(stored);
    const auto sums = expandedPages == kInflateFailed
                          ? std::nullopt
                          : context.image.ExpandedImageSums(expandedPages);
    if (!sums) {
        // No page is sent. The heartbeat started at the confirmation would otherwise
        // keep the bar moving as if the run were still going, and without a word the
        // operator could not tell this end from a hang. The handshake and the records
        // already went to the drive: it is a failed run, not an untouched drive.
        context.host.StopProgressTimer();
        context.host.SetProgressPos(0);
        Log(kInflateFailedLine);
        return RunEnding::Failure(ResultCode::UpdateFailed);
    }
    plan.pageCount = expandedPages;
    plan.expanded = true;
    plan.sums = *sums;
    return std::nullopt;
}

void FlashRun::Settle(const Plan& plan) {
    if (plan.longWait) {
        context.clock.SleepMs(kEjectPathExtraSettleMs);
    }
    context.clock.SleepMs(kSettleMs);
    context.host.EnableButtons(true);
}

bool FlashRun::RestoreModelRecords() {
    if (context.state.oemFamily && !context.vendor.FinishModelRecords(context.state.oemCode)) {
        Log(kRecordsNotRestoredLine);
        return false;
    }
    return true;
}

bool FlashRun::Complete(const Plan& plan) {
    FlashHost& host = context.host;
    Settle(plan);
    Log(" ");
    Log(plan.brand == BrandCode::WV ? "Done" : "======== SUCCEED ========");
    Log(" ");
    host.SetProgressPos(100);
    host.StopProgressTimer();
    host.SetCloseEnabled(true);
    // The success lines are already in the log; without the records the restart question
    // is not asked.
    return RestoreModelRecords();
}

RunEnding FlashRun::CompleteUnconfirmed(const Plan& plan) {
    FlashHost& host = context.host;
    Settle(plan);
    // No success lines: nothing says the drive has the new firmware. The bar goes back to
    // its start as after a failure.
    Log(kUnconfirmedLine);
    host.SetProgressPos(0);
    host.StopProgressTimer();
    host.SetCloseEnabled(true);
    if (!RestoreModelRecords()) {
        return RunEnding::Failure(ResultCode::UpdateFailed);
    }
    return RunEnding::Of(RunEndingKind::NotConfirmed);
}

void ShowCompletion(FlashHost& host, BrandCode brand, std::string_view readBack) {
    if (brand != BrandCode::QZ) {
        return;  // the restart question says it
    }
    MessageBoxRequest box{"\n Firmware has been updated successfully !   \n",
                          std::string("Information"), BoxButtons::Ok, BoxIcon::Information};
    box.detail = std::string(readBack);
    host.ShowMessageBox(box);
}

void AskToRestart(FlashHost& host, BrandCode brand, std::string_view readBack) {
    MessageBoxRequest question;
    switch (brand) {
        case BrandCode::WV:
            question = RestartQuestion(
                "Upgrade completed! Do you want to Restart the computer Now ?", "Reboot Warning");
            break;
        case BrandCode::QZ:
            question =
                RestartQuestion("\n Your computer needs to be rebooted.    \n", "Reboot Warning");
            break;
        default:
            question = RestartQuestion(
                "Upgrade completed! Do you want to Restart the computer Now ?\n\nIf your device is "
                "an external model (USB/1394), please also cycle power on your device to ensure it "
                "will function properly.",
                "Reboot Warning");
            break;
    }
    // The QZ builds' success box has said what the drive reports.
    if (brand != BrandCode::QZ) {
        question.detail = std::string(readBack);
    }
    if (host.ShowMessageBox(question) == BoxAnswer::Ok) {
        host.AppendLog("Restart the computer");
        host.Reboot();
    }
}

}  // namespace flashtool
