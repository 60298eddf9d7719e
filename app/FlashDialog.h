#pragma once

// The main dialog's behaviour, free of any toolkit. It owns what lives as long as the
// program: the transport, the copy of the build configuration, the gating's state and the
// selected drive's description; it reaches its window only through DialogWindow.
//
// Threading: the user-interface thread runs the handlers; one worker thread at a time runs
// what the operator waits for: the scan at start-up, or the checks of an Upgrade press and
// the flash run after them. The worker calls AppendLog, EnableButtons, ReportResult, the
// message boxes and the run controls below, and reaches the window through its seam. The
// busy flag (scan or checks) and the run-in-progress flag keep a second press from starting
// anything and the dialog from ending while a worker uses it; a close asked for while busy
// is kept and honoured once the worker has no command outstanding.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/DialogWindow.h"
#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "core/FixedText.h"
#include "core/SleepInhibitor.h"
#include "core/SystemRestart.h"
#include "core/WriteWindow.h"
#include "drive/VendorCommands.h"
#include "flash/FlashHost.h"
#include "flash/FlashRun.h"
#include "flash/PageTransfer.h"
#include "flash/RunEnding.h"
#include "history/HistoryStore.h"
#include "image/BuildConfig.h"
#include "image/FirmwareImage.h"
#include "policy/GatingState.h"
#include "transport/ScsiTransport.h"
#include "transport/UserNotifier.h"

namespace flashtool {

struct FlashDialogParts {
    DialogWindow& window;
    std::unique_ptr<PassThroughBackend> backend;
    std::span<const uint8_t> storedRegion;  // BuildConfig is its first 64 bytes
    SystemRestart& restart;
    Clock& clock;
    DiagnosticSink& diagnostics;
    SleepInhibitor& inhibitor;
    // Shared with whatever may end the program (signals, the toolkit's exit): each run opens
    // it before its first drive-changing command and closes it once its ending is shown and
    // recorded. None: the dialog keeps one of its own.
    WriteWindow* writeWindow = nullptr;
};

inline constexpr std::string_view kRootItemText = "My Computer";
inline constexpr std::string_view kNoDriveSelected = "No drive selected.";
inline constexpr std::string_view kCurrentFirmware = " Current firmware : ";
inline constexpr std::string_view kInitialFail = "Initial fail.";
inline constexpr std::string_view kNoDeviceFound = "No Device found!";
inline constexpr std::string_view kRebootFail = "Reboot Fail!!";
inline constexpr std::string_view kSelectDriveFirst =
    "No drive selected.Please select a drive to flash!";
inline constexpr std::string_view kDriveInUse =
    "Another program is using this drive. Close it, then press Upgrade again.";

// A drive's identification and revision, zero-terminated: 24 + 4 + 1, plus one spare.
inline constexpr size_t kDriveTextSize = 30;

class FlashDialog final : public FlashHost, public UserNotifier, public DialogHandlers {
public:
    explicit FlashDialog(FlashDialogParts parts);
    // Waits for a worker that is still finishing; the dialog never ends during a run.
    ~FlashDialog() override;
    FlashDialog(const FlashDialog&) = delete;
    FlashDialog& operator=(const FlashDialog&) = delete;

    // Window events.
    bool OnInitDialog() override;
    void OnSelectionChanged() override { ShowSelection(); }
    void OnUpgrade() override;
    // Keeps the history of runs in `store` (none: no history): each press that changed a
    // drive is recorded, and with `resolveAtStart` the scan settles the runs left pending.
    // Call before OnInitDialog.
    void KeepHistory(const HistoryStore* store, std::string version, bool resolveAtStart) {
        history = store;
        programVersion = std::move(version);
        resolvesHistory = resolveAtStart;
    }

    // Runs every check of an Upgrade press on the selected drive and stops there: nothing
    // that changes the drive is sent. The ending says whether an update would start.
    void OnCheck();
    void OnProgressTimer() override;
    bool OnCancel() override;
    // During a run the close is kept: the window ends once the run's ending has been shown
    // and recorded (without the restart question).
    void OnCloseRequest() override;

    // Start-up.
    bool ShowStartupNotice(BrandCode brand);
    void ApplyBrandTexts(BrandCode brand);

    // The drive tree: the scan and the fill on the calling thread (the start-up sequence
    // runs them on the worker and fills the tree on the user-interface thread).
    void FillDriveTree();
    void ShowScannedDrives(uint8_t count);
    void ShowSelection();

    // The log window and the run controls; either thread.
    void AppendLog(std::string_view line) override;
    void EnableButtons(bool enabled) override;
    void Reboot() override;
    void TransferProgress(uint32_t done, uint32_t total) override {
        window.ShowTransferProgress(done, total);
    }

    // Reporting; either thread.
    void ReportResult(ResultCode code) override;
    BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
    void SetUpgradeEnabled(bool enabled) override;
    // The transport's own messages: OK, no icon, the application's title.
    void ShowMessage(std::string_view text) override;

    // The run-in-progress flag. BeginRun is false when a run is already in progress; EndRun
    // enables both buttons and then clears the flag (the worker's last act).
    bool BeginRun();
    void EndRun();
    bool RunInProgress() const { return runInProgress.load(); }
    // True from the start of the scan or of a press's checks until the worker's last call of
    // that phase has been served on the user-interface thread.
    bool Busy() const { return busy.load(); }

    // Window operations of a run; either thread.
    void PrepareProgress();  // the bar back at its start
    void SetProgressPos(int position) override;
    void StartProgressTimer() override;
    void StopProgressTimer() override;
    // Greys (false) or enables the system menu's Close item; while greyed the title bar
    // cannot close the window.
    void SetCloseEnabled(bool enabled) override;

    // The worker of a flash run: RunFlash, then the buttons come back. WaitForRun blocks
    // until the last worker started (the scan, or a press's checks and run) has ended:
    // tests, and the end of the program. On the user-interface thread call it only once
    // Busy() and RunInProgress() are false, since the worker's window calls are served
    // there.
    void FlashWorker();
    void WaitForRun();

    // How the last press ended (or the start-up, when the notice was declined): what every
    // front-end reports. NothingSent until a press has ended. Read it once the worker has
    // ended (WaitForRun).
    RunEnding LastEnding() const {
        std::lock_guard lock(endingMutex);
        return lastEnding;
    }

    ScsiTransport& Transport() { return transport; }
    const BuildConfig& Config() const { return config; }
    BrandCode Brand() const { return DeriveBrandCode(config.RevisionPattern()); }
    uint32_t SelectedIndex() const { return selectedIndex; }
    // The tree item last handled: identification then revision, up to the first zero.
    std::string_view DriveText() const { return TextOf(driveText); }
    DialogWindow& Window() { return window; }

private:
    // What one Upgrade press works with: the drive taken from the operator's choice when the
    // button was pressed, and the command sets bound to it. Lives until the next press (the
    // worker of this press uses it to its end).
    struct Press {
        Press(ScsiDevice device, FlashDialog& dialog);
        ScsiDevice device;
        VendorCommands vendor;
        PageTransfer transfer;
        bool checksOnly = false;  // --check: the checks, never a run
    };

    // The device-table row of the drive item selected in the tree right now; none when the
    // selection is empty, the root, or not a drive.
    std::optional<uint8_t> ChosenRow() const;
    bool VerifyRegion() const;
    void StartPress(bool checksOnly);
    // A check press whose checks passed: the payload's sums, then the ending.
    RunEnding CheckPayloadOnly();
    // The off-thread phases: the scan at start-up, and a press's checks followed by its run.
    void ScanWorker();
    void UpgradeWorker();
    // On the user-interface thread: the window shows the busy phase and its end.
    void BeginBusy();
    void EndBusy();
    // The worker's last act of a phase that ends without a run: a close asked for during it.
    void HonourCloseRequest();
    std::string SelectionDisplay() const;
    // After a run: the drive's identification as it now reports it, in the table and tree.
    // False when the drive did not answer.
    bool RefreshDrive(uint8_t row);
    // The ending of a press whose checks did not let the run start.
    RunEnding EndingOfChecks() const;
    // After a run that changed the drive: what its identification shows now, told in the log.
    RevisionAfterRun CompareRevisions(std::string_view now, std::string_view before) const;
    // The log line that says it; also the detail of the boxes that follow.
    std::string TellRevisionAfterRun(RunEnding& ending, std::string_view now);
    void SetEnding(const RunEnding& ending);
    // The lines that settle the history's pending runs against the drives just scanned.
    std::vector<std::string> ResolveHistory();
    // What the back-ends asked to tell the user, as log lines (never a box the worker would
    // wait on).
    void LogNotices();

    DialogWindow& window;
    SystemRestart& restart;
    Clock& clock;
    DiagnosticSink& diagnostics;
    SleepInhibitor& inhibitor;
    WriteWindow ownWriteWindow;
    WriteWindow& writeWindow;
    std::span<const uint8_t> storedRegion;
    ScsiTransport transport;
    BuildConfig config;
    GatingState gating;
    std::unique_ptr<Press> press;
    FirmwareImage image;
    std::thread worker;
    bool upgradeHandlerActive = false;  // the Upgrade handler runs (user-interface thread)
    std::atomic<bool> busy{false};
    std::atomic<bool> closeRequested{false};
    // The drives' texts as the tree shows them, in its order (user-interface thread).
    std::vector<std::string> shownDrives;
    FixedText<kDriveTextSize> driveText{};
    uint32_t selectedIndex = 0;
    std::atomic<bool> runInProgress{false};
    std::atomic<bool> closeEnabled{true};
    // The press's last result code and the question it declined, for its ending.
    std::atomic<int32_t> lastReportedCode{0};
    std::atomic<QuestionKind> lastDeclined{QuestionKind::None};
    mutable std::mutex endingMutex;
    RunEnding lastEnding;
    const HistoryStore* history = nullptr;
    std::string programVersion;
    bool resolvesHistory = false;
};

}  // namespace flashtool
