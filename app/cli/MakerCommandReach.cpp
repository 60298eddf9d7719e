#include "app/cli/MakerCommandReach.h"

#include <algorithm>

#include "app/cli/DriveSession.h"
#include "emulator/EmulatedBackend.h"

namespace flashtool {

namespace {

constexpr uint8_t kFirstMakerOpcode = 0xF0;

}  // namespace

bool BuildSendsMakerCommands(const DriveDescription& drive, CliEnvironment& environment) {
    // The stand-in's waits (readiness polls, latency) pass at once, and it keeps no history:
    // nothing of this is a run.
    FakeClock clock;
    // Judged with the tray empty: a disc is the operator's to take out, and the checks'
    // refusal of one says so; it does not make the drive another build's.
    DriveDescription emptied = drive;
    emptied.setup.discPresent = false;
    const std::vector<std::shared_ptr<VirtualDrive>> standIn = BuildDrives({emptied}, &clock);
    CliEnvironment quiet = environment;
    quiet.history = nullptr;
    // Every question the checks may ask is answered yes, so that they go as far as an
    // operator could take them.
    Prompter prompter(environment.terminal, {true, true, true, false});
    DiscardedLines discarded;
    DriveSession session(quiet, prompter, nullptr, discarded, discarded, clock,
                         std::make_unique<EmulatedBackend>(standIn, discarded), false);
    FlashDialog& dialog = session.dialog;
    bool passed = false;
    if (dialog.Transport().LoadBackend()) {
        dialog.FillDriveTree();
        if (session.window.DriveCount() == 1) {
            session.window.BeginPress();
            session.window.SelectDrive(0);
            dialog.OnSelectionChanged();
            dialog.OnCheck();
            dialog.WaitForRun();
            passed = dialog.LastEnding().kind == RunEndingKind::WouldUpdate;
        }
    }
    const std::vector<TraceEntry>& sent = standIn[0]->Trace();
    return passed || std::any_of(sent.begin(), sent.end(), [](const TraceEntry& entry) {
               return !entry.cdb.empty() && entry.cdb[0] >= kFirstMakerOpcode;
           });
}

}  // namespace flashtool
