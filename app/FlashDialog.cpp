#include "app/FlashDialog.h"

#include "app/LogText.h"
#include "app/ResultMessages.h"
#include "app/StartupTexts.h"

namespace flashtool {

namespace {

MessageBoxRequest PlainBox(std::string_view text, BoxIcon icon = BoxIcon::None) {
    return {std::string(text), std::nullopt, BoxButtons::Ok, icon};
}

// A stored region too short to hold the configuration leaves an all-zero one: no maker
// key, so every drive is greyed and every check refuses.
BuildConfig ConfigFrom(std::span<const uint8_t> storedRegion) {
    return BuildConfig::FromBytes(storedRegion).value_or(BuildConfig{});
}

}  // namespace

FlashDialog::FlashDialog(FlashDialogParts parts)
    : window(parts.window),
      restart(parts.restart),
      clock(parts.clock),
      diagnostics(parts.diagnostics),
      inhibitor(parts.inhibitor),
      writeWindow(parts.writeWindow != nullptr ? *parts.writeWindow : ownWriteWindow),
      storedRegion(parts.storedRegion),
      transport(std::move(parts.backend), *this),
      config(ConfigFrom(parts.storedRegion)) {}

FlashDialog::Press::Press(ScsiDevice deviceIn, FlashDialog& dialog)
    : device(deviceIn),
      vendor(deviceIn, dialog, dialog.diagnostics, dialog.clock),
      transfer(deviceIn, dialog.clock, dialog.diagnostics) {}

void FlashDialog::LogNotices() {
    for (const std::string& notice : transport.TakeNotices()) {
        AppendLog(notice);
    }
}

FlashDialog::~FlashDialog() {
    WaitForRun();
}

bool FlashDialog::OnInitDialog() {
    const BrandCode brand = Brand();
    // The notice comes before the transport is loaded: declining it touches no drive.
    if (!ShowStartupNotice(brand)) {
        ReportResult(ResultCode::UserCancelled);
        SetEnding(EndingOfChecks());
        window.EndDialog(kDialogCancel);
        return false;
    }
    if (!transport.LoadBackend()) {
        ShowMessage(kInitialFail);
        window.EndDialog(kDialogCancel);
        return false;
    }
    ApplyBrandTexts(brand);
    window.EnableButton(DialogButton::Upgrade, false);
    // The window appears at once; a drive that is slow to answer the scan's INQUIRY keeps
    // only the worker waiting.
    WaitForRun();
    BeginBusy();
    worker = std::thread([this] { ScanWorker(); });
    return true;
}

bool FlashDialog::ShowStartupNotice(BrandCode brand) {
    const MessageBoxRequest notice{StartupNoticeText(brand, config.FamilyCode10()),
                                   std::string(kNoticeCaption), BoxButtons::OkCancel,
                                   BoxIcon::Exclamation, QuestionKind::StartupNotice};
    return ShowMessageBox(notice) == BoxAnswer::Ok;
}

void FlashDialog::ApplyBrandTexts(BrandCode brand) {
    if (brand != BrandCode::QZ) {
        return;
    }
    window.ShowTexts(
        {std::string(kBrandCaptionPrefix) + std::string(ModelNameForFamily(config.FamilyCode10())),
         std::string(kStringSelectDrive), std::string(kStringClose), std::string(kStringUpdate)});
}

void FlashDialog::OnProgressTimer() {
    window.StepProgress();
}

bool FlashDialog::OnCancel() {
    // Ending the dialog destroys the transport and the gating state; never while a worker
    // may still use them. During the scan or the checks the request is kept: the worker
    // honours it when its phase ends.
    if (Busy()) {
        closeRequested.store(true);
        return false;
    }
    if (RunInProgress() || !closeEnabled.load() || !window.IsButtonEnabled(DialogButton::Exit)) {
        return false;
    }
    window.EndDialog(kDialogCancel);
    return true;
}

void FlashDialog::OnCloseRequest() {
    if (RunInProgress()) {
        if (!closeRequested.exchange(true)) {
            AppendLog("The window closes once the update has ended.");
        }
        return;
    }
    OnCancel();
}

void FlashDialog::BeginBusy() {
    closeRequested.store(false);
    busy.store(true);
    window.ShowBusy(true);
}

void FlashDialog::EndBusy() {
    window.ShowBusy(false);
    busy.store(false);
}

void FlashDialog::HonourCloseRequest() {
    if (closeRequested.exchange(false)) {
        OnCancel();
    }
}

void FlashDialog::AppendLog(std::string_view line) {
    // Read, compose and write on the window's thread in one go, so that a line from the
    // worker never overwrites a text the user-interface thread put there meanwhile.
    window.RunOnWindowThread([&] {
        window.SetLogText(ComposeLogText(window.LogText(), line));
        window.ScrollLogToEnd();
    });
}

void FlashDialog::EnableButtons(bool enabled) {
    // During a run the buttons come back only when the worker ends (EndRun).
    const bool usable = enabled && !RunInProgress();
    window.EnableButton(DialogButton::Upgrade, usable);
    window.EnableButton(DialogButton::Exit, usable);
}

void FlashDialog::Reboot() {
    if (!restart.RequestRestart()) {
        window.ShowMessageBox(PlainBox(kRebootFail, BoxIcon::Stop));
    }
}

void FlashDialog::ReportResult(ResultCode code) {
    lastReportedCode.store(static_cast<int32_t>(code));
    window.SetProgress(0);
    window.StopProgressTimer();
    EnableButtons(true);
    const auto message = MessageForResult(code);
    if (!message) {
        return;
    }
    for (std::string_view line : message->logBefore) {
        AppendLog(line);
    }
    window.ShowMessageBox(message->box);
    for (std::string_view line : message->logAfter) {
        AppendLog(line);
    }
}

BoxAnswer FlashDialog::ShowMessageBox(const MessageBoxRequest& request) {
    const BoxAnswer answer = window.ShowMessageBox(request);
    if (answer != BoxAnswer::Ok && request.question != QuestionKind::None) {
        lastDeclined.store(request.question);
    }
    return answer;
}

void FlashDialog::SetEnding(const RunEnding& ending) {
    std::lock_guard lock(endingMutex);
    lastEnding = ending;
}

RunEnding FlashDialog::EndingOfChecks() const {
    const int32_t code = lastReportedCode.load();
    if (code == 0) {
        return RunEnding::Of(RunEndingKind::NothingSent);
    }
    RunEnding ending = RunEnding::Refusal(static_cast<ResultCode>(code));
    ending.declined = lastDeclined.load();
    if (ending.code == ResultCode::UserCancelled && ending.declined == QuestionKind::SameRevision) {
        ending.kind = RunEndingKind::UpToDate;
    }
    return ending;
}

void FlashDialog::SetUpgradeEnabled(bool enabled) {
    window.EnableButton(DialogButton::Upgrade, enabled && !RunInProgress());
}

void FlashDialog::ShowMessage(std::string_view text) {
    window.ShowMessageBox(PlainBox(text));
}

bool FlashDialog::BeginRun() {
    bool expected = false;
    return runInProgress.compare_exchange_strong(expected, true);
}

void FlashDialog::EndRun() {
    // The buttons first, the flag last: once the flag is clear the worker touches the window
    // no more, so the user-interface thread may wait for it to end without a deadlock.
    window.EnableButton(DialogButton::Upgrade, true);
    window.EnableButton(DialogButton::Exit, true);
    runInProgress.store(false);
}

void FlashDialog::PrepareProgress() {
    window.SetProgress(0);
}

void FlashDialog::SetProgressPos(int position) {
    window.SetProgress(position);
}

void FlashDialog::StartProgressTimer() {
    window.StartProgressTimer();
}

void FlashDialog::StopProgressTimer() {
    window.StopProgressTimer();
}

void FlashDialog::SetCloseEnabled(bool enabled) {
    closeEnabled.store(enabled);
    window.EnableCloseCommand(enabled);
}

}  // namespace flashtool
