#pragma once

// The window seam in a terminal: the texts, the buttons, the drives and the progress bar
// live in memory; each line added to the log is printed as it comes; message boxes are printed
// and their questions answered by the Prompter. Any thread may call it: a lock keeps each
// operation (and each RunOnWindowThread) whole, which is all the dialog needs of its
// window's thread here.

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/DialogWindow.h"
#include "app/cli/Prompter.h"

namespace flashtool {

class TerminalWindow final : public DialogWindow {
public:
    // `out`: where log lines and messages are printed; null prints nothing (--json keeps
    // them for the report instead).
    TerminalWindow(Prompter& prompter, DiagnosticSink* out, DiagnosticSink& questions);

    // Where log lines and messages are printed from now on (null: nowhere): the scan's go to
    // standard error, a run's where the action prints.
    void SetOutput(DiagnosticSink* newOut);
    // Selects the n-th drive of the tree as a click would; false when there is none.
    bool SelectDrive(size_t n);
    // Whether the n-th drive item is drawn in grey (this build cannot update it).
    bool DriveGreyed(size_t n) const;
    size_t DriveCount() const;
    // Every line the log received, and each message box's text, in order; a box that only
    // repeats the log line before it is left out, as it is on the terminal.
    std::vector<std::string> LogLines() const;
    // Before a press: prints what the last one kept quiet.
    void BeginPress();

    void RunOnWindowThread(const std::function<void()>& work) override;
    // A terminal has no title bar or buttons to label.
    void ShowTexts(const DialogTexts& /*shown*/) override {}
    std::string LogText() const override;
    void SetLogText(std::string_view text) override;
    void ScrollLogToEnd() override {}
    void EnableButton(DialogButton button, bool enabled) override;
    bool IsButtonEnabled(DialogButton button) const override;

    void ShowDrives(std::string_view computer, std::span<const DriveItem> shown) override;
    TreeSelection Selection() const override;
    void SetDriveText(size_t position, std::string_view text) override;

    void SetProgress(int position) override;
    void StepProgress() override;
    int Progress() const override;
    // The timer drives a bar no one sees here; progress is drawn from the pages.
    void StartProgressTimer() override {}
    void StopProgressTimer() override {}

    BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
    // Where the pages taken go (the progress display); none: nowhere.
    void OnTransferProgress(std::function<void(uint32_t, uint32_t)> show) {
        transferProgress = std::move(show);
    }
    void ShowTransferProgress(uint32_t done, uint32_t total) override {
        if (transferProgress) {
            transferProgress(done, total);
        }
    }
    void EnableCloseCommand(bool /*enabled*/) override {}
    void EndDialog(int result) override;

private:
    void Print(std::string_view line);

    Prompter& prompter;
    DiagnosticSink* out;
    DiagnosticSink& questions;
    mutable std::recursive_mutex mutex;
    // The rules declined reinstalling or going back: the refusal's own texts (a cancel no
    // one typed) are kept for the report but not printed; the command line says what happened.
    bool declinedByRule = false;
    std::string log;
    std::map<DialogButton, bool> enabled{{DialogButton::Upgrade, true}, {DialogButton::Exit, true}};
    std::vector<DriveItem> drives;
    TreeSelection selection;
    int progress = 0;
    std::vector<std::string> logLines;
    std::function<void(uint32_t, uint32_t)> transferProgress;
};

}  // namespace flashtool
