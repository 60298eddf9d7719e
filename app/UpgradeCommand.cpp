// The Upgrade command: the drive taken from the tree on the user-interface thread, then one
// worker thread that runs the checks in their fixed order and, when they pass, the flash.

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FlashDialog.h"
#include "app/RunHistory.h"
#include "flash/FlashRun.h"
#include "image/PayloadCheck.h"
#include "image/StoredRegion.h"
#include "policy/Gating.h"
#include "policy/GatingChain.h"

namespace flashtool {

namespace {
// The handler reads back at most this many characters of the information window.
constexpr size_t kShownTextLimit = 49;

// The revision a drive reported, up to its first zero.
std::string RevisionText(const DeviceEntry& drive) {
    const auto end =
        std::find(drive.revision.begin(), drive.revision.begin() + kRevisionLength, '\0');
    return std::string(drive.revision.begin(), end);
}
}  // namespace

bool FlashDialog::VerifyRegion() const {
    return VerifyStoredRegion(storedRegion, gating.variantTag, config, gating.payloadHeader);
}

void FlashDialog::OnUpgrade() {
    StartPress(false);
}

void FlashDialog::OnCheck() {
    StartPress(true);
}

void FlashDialog::StartPress(bool checksOnly) {
    // Whatever enabled the button, a press during a run, the scan or the checks of an earlier
    // press never starts anything.
    if (RunInProgress() || Busy() || upgradeHandlerActive) {
        return;
    }
    upgradeHandlerActive = true;
    // A press that ends before its worker starts sent nothing.
    lastReportedCode.store(0);
    lastDeclined.store(QuestionKind::None);
    SetEnding(RunEnding::Of(RunEndingKind::NothingSent));
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{upgradeHandlerActive};

    // The drive is taken from the tree as it is now, once: every command of this press goes
    // to it. With no drive item selected (the root, or nothing at all) nothing is sent.
    const std::string shown = window.LogText().substr(0, kShownTextLimit);
    const std::optional<uint8_t> chosen = ChosenRow();
    if (SameBytes(shown, kNoDriveSelected, kNoDriveSelected.size()) || !chosen) {
        window.ShowMessageBox(
            {std::string(kSelectDriveFirst), std::nullopt, BoxButtons::Ok, BoxIcon::Exclamation});
        return;
    }
    const std::optional<ScsiDevice> device = transport.DeviceAt(*chosen);
    if (!device) {
        // A tree item the device table does not hold names no drive.
        ReportResult(ResultCode::CheckFailed);
        SetEnding(EndingOfChecks());
        return;
    }
    // The worker of the previous run has already ended (the flag was clear); collect it
    // before its press is replaced.
    if (worker.joinable()) {
        worker.join();
    }
    transport.SelectDevice(device->Row());
    // From the first check to the end of the run, no other program may send this drive
    // anything where the system can promise it.
    if (transport.ClaimExclusive(device->Row()) == ExclusiveClaim::Busy) {
        window.ShowMessageBox(
            {std::string(kDriveInUse), std::nullopt, BoxButtons::Ok, BoxIcon::Exclamation});
        return;
    }
    press = std::make_unique<Press>(*device, *this);
    press->checksOnly = checksOnly;
    // The checks wait on the drive (up to a minute for the disc check): the window keeps
    // answering meanwhile, and shows their boxes modally as before.
    BeginBusy();
    worker = std::thread([this] { UpgradeWorker(); });
}

void FlashDialog::UpgradeWorker() {
    const uint8_t row = press->device.Row();
    GatingContext context{press->device, press->vendor, *this, clock, config, gating, storedRegion};
    const bool passed = RunUpgradeChecks(context, [this] { return VerifyRegion(); });
    LogNotices();
    if (press->checksOnly) {
        // Never a run: the payload's own check is the last one, and it reads only the image.
        SetEnding(passed ? CheckPayloadOnly() : EndingOfChecks());
        window.RunOnWindowThread([&] {
            EndBusy();
            HonourCloseRequest();
        });
        transport.ReleaseExclusive(row);
        return;
    }
    // Whether the run starts is decided on the user-interface thread, in the same call that
    // ends the busy phase, so that no press or close slips in between.
    bool start = false;
    window.RunOnWindowThread([&] {
        EndBusy();
        start = passed && !closeRequested.load() && BeginRun();
        if (start) {
            EnableButtons(false);
            PrepareProgress();
        } else {
            HonourCloseRequest();
        }
    });
    if (!start) {
        // No window call after the busy phase ended: the user-interface thread may already
        // be waiting for this worker.
        SetEnding(EndingOfChecks());
        transport.ReleaseExclusive(row);
        return;
    }
    FlashWorker();
}

namespace {

// The run takes the keep-awake lock right before its first command that changes the drive:
// that is the moment to open its write window and to leave its mark in the history, so that
// a run the program never finishes (killed, or the power gone) is still there at the next
// start.
class MarkingInhibitor final : public SleepInhibitor {
public:
    MarkingInhibitor(SleepInhibitor& inner, std::function<void()> mark)
        : inner(inner), mark(std::move(mark)) {}
    std::unique_ptr<Lock> Acquire(std::string_view who, std::string_view why) override {
        mark();
        return inner.Acquire(who, why);
    }

private:
    SleepInhibitor& inner;
    std::function<void()> mark;
};

}  // namespace

void FlashDialog::FlashWorker() {
    const uint8_t row = press->device.Row();
    const std::string before = RevisionText(transport.Device(row));
    const std::string identification(
        transport.Device(row).identification.data(),
        std::find(transport.Device(row).identification.begin(),
                  transport.Device(row).identification.begin() + kIdentificationLength, '\0'));
    const std::vector<std::string> nodes = transport.NodeNames(row);
    RunFacts facts{programVersion,
                   std::string(config.NewRevision()),
                   identification,
                   nodes.empty() ? std::string() : nodes.front(),
                   before,
                   "",
                   RunEnding::Of(RunEndingKind::NothingSent)};
    bool begun = false;
    bool windowOpen = false;
    MarkingInhibitor marking(inhibitor, [&] {
        if (!windowOpen) {
            writeWindow.Open();
            windowOpen = true;
        }
        if (history == nullptr || begun) {
            return;
        }
        begun = true;
        if (const auto line =
                RecordBegun(*history, facts, press->device, std::chrono::system_clock::now())) {
            AppendLog(*line);
        }
    });
    const FlashRunContext context{press->device, press->vendor, press->transfer, image,
                                  *this,         clock,         marking,         config,
                                  gating,        storedRegion};
    FlashRun run(context);
    RunEnding ending = run.RunFlash();
    const bool completed = ending.kind == RunEndingKind::Updated;
    // However the run ended, the drive may now report another revision: the tree and the
    // next press see what it says, not what the scan at start-up found.
    const bool answered = RefreshDrive(row);
    const std::string now = RevisionText(transport.Device(row));
    std::string readBack;
    if (ending.DriveChanged()) {
        ending.after = answered ? CompareRevisions(now, before) : RevisionAfterRun::Unreadable;
        readBack = TellRevisionAfterRun(ending, now);
    }
    SetEnding(ending);
    if (history != nullptr) {
        // A drive that did not answer keeps its old revision in the table: nothing was read.
        facts.revisionAfter = answered ? now : "";
        facts.ending = ending;
        if (const auto line = RecordRun(*history, facts, std::chrono::system_clock::now(), begun)) {
            AppendLog(*line);
        }
    }
    if (completed) {
        ShowCompletion(*this, Brand(), readBack);
    }
    // The ending is decided, shown and recorded: the program may end again. The restart
    // question comes after, so that a restart's own stopping of programs is not refused.
    if (windowOpen) {
        writeWindow.Close();
    }
    if (completed && !closeRequested.load()) {
        AskToRestart(*this, Brand(), readBack);
    }
    transport.ReleaseExclusive(row);
    LogNotices();
    // A close asked for during the run is honoured in the same call that ends it, so that no
    // window call of this worker comes after the flag is clear.
    window.RunOnWindowThread([this] {
        EndRun();
        HonourCloseRequest();
    });
}

RunEnding FlashDialog::CheckPayloadOnly() {
    const PayloadSelection selection =
        SelectPayload(gating.variantTag, config, gating.payloadHeader);
    if (!CheckPayload(image, storedRegion, selection, *this)) {
        ReportResult(ResultCode::ChecksumMismatch);
        return RunEnding::Refusal(ResultCode::ChecksumMismatch);
    }
    if (!TransferMethodOf(config.TransferMethodDigit())) {
        return RunEnding::Of(RunEndingKind::NothingSent);
    }
    return RunEnding::Of(RunEndingKind::WouldUpdate);
}

RevisionAfterRun FlashDialog::CompareRevisions(std::string_view now,
                                               std::string_view before) const {
    if (now.size() == kRevisionLength && now == config.NewRevision()) {
        // Only a revision that changed says the drive took the image.
        return before == now ? RevisionAfterRun::Same : RevisionAfterRun::New;
    }
    return now == before ? RevisionAfterRun::Old : RevisionAfterRun::Other;
}

std::string FlashDialog::TellRevisionAfterRun(RunEnding& ending, std::string_view now) {
    const std::string revision(now);
    std::string line;
    switch (ending.after) {
        case RevisionAfterRun::New:
            // The drive shows the build's revision, which it did not have before: whatever
            // its last answer was, it has it.
            if (ending.kind == RunEndingKind::NotConfirmed) {
                ending.kind = RunEndingKind::Updated;
            }
            // A failed run stays failed (the records may not be back), whatever it shows.
            line = "The drive now reports firmware revision " + revision +
                   (ending.kind == RunEndingKind::Updated ? ": verified." : ".");
            break;
        case RevisionAfterRun::Same:
            // A reinstall: the revision it showed before tells nothing now, so a run the
            // drive did not confirm stays unconfirmed.
            line = "The drive reports firmware revision " + revision +
                   ", as it did before: a reinstall cannot be verified by its revision.";
            break;
        case RevisionAfterRun::Old:
            // Only a drive that confirmed the transfer may be waiting for a restart to show
            // it; after a failure the old revision is what it has.
            line = ending.kind == RunEndingKind::Updated
                       ? "The drive still reports firmware revision " + revision +
                             ": it may show the new one only after the computer has restarted."
                       : "The drive still reports firmware revision " + revision + ".";
            break;
        case RevisionAfterRun::Other:
            line = "The drive now reports firmware revision " + revision + ", not " +
                   std::string(config.NewRevision()) + ".";
            break;
        case RevisionAfterRun::Unreadable:
            line = "The drive did not answer when its identification was read after the run.";
            break;
        case RevisionAfterRun::NotRead:
            break;
    }
    if (!line.empty()) {
        AppendLog(line);
    }
    return line;
}

void FlashDialog::WaitForRun() {
    if (worker.joinable() && worker.get_id() != std::this_thread::get_id()) {
        worker.join();
    }
}

}  // namespace flashtool
