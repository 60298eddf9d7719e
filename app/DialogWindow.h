#pragma once

// The window seam: everything the main dialog does to its window, in the dialog's own terms
// and free of any toolkit. The Qt window, the Win32 window, the terminal and a recording
// fake in the tests implement it.
//
// Threading: the user-interface thread calls every operation; the dialog's worker thread
// calls them too. Nothing the operator waits for runs on the user-interface thread: the
// worker runs the scan at start-up, the checks of an Upgrade press and the flash run that
// follows them. An implementation carries a call made on another thread over to the
// user-interface thread and returns only once it has been done there (a message box returns
// only once it has been answered); a call made on the user-interface thread runs at once.
// While a worker waits for such a call the user-interface thread must serve it, in its
// event loop and in a message box's: it must never block waiting for the worker itself. A
// window without an event loop of its own (a terminal) may instead run each call at once
// on the calling thread, under a lock of its own.
//
// What a window does while the worker scans or checks (FlashDialog::Busy() is true):
// - ShowBusy(true) comes first and ShowBusy(false) last, both on the user-interface thread;
//   between them the window shows that it is busy and keeps answering: repainting, moving,
//   and taking a close request (DialogHandlers::OnCancel), which the dialog honours once
//   the worker has no command outstanding.
// - To wait until the scan or the checks have ended, serve the window's calls until
//   FlashDialog::Busy() is false (it turns false on the user-interface thread, in the
//   worker's last call of that phase); a thread that serves no window call may instead
//   block in FlashDialog::WaitForRun(), which returns once the last worker has ended.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/DialogTemplate.h"
#include "core/MessageBox.h"

namespace flashtool {

// The dialog's two buttons.
enum class DialogButton : uint8_t { Upgrade, Exit };

constexpr ControlId ControlOf(DialogButton button) {
    return button == DialogButton::Upgrade ? ControlId::Upgrade : ControlId::Exit;
}

// The texts a build may put in place of the template's: the title bar, the label above the
// drive tree and the buttons' texts (with their access keys).
struct DialogTexts {
    std::string caption;
    std::string devicesLabel;
    std::string exitButton;
    std::string upgradeButton;
    friend bool operator==(const DialogTexts&, const DialogTexts&) = default;
};

// The texts the dialog template starts with.
inline DialogTexts TemplateTexts() {
    return {std::string(kMainCaption), std::string(TemplateText(ControlId::DevicesLabel)),
            std::string(TemplateText(ControlId::Exit)),
            std::string(TemplateText(ControlId::Upgrade))};
}

// A drive as the tree shows it, under the computer: its identification and revision, and
// whether it is greyed (this build cannot update it: drawn in grey, and described so to a
// screen reader). A greyed drive stays selectable; the Upgrade command's checks refuse it.
struct DriveItem {
    std::string text;
    bool greyed = false;
    friend bool operator==(const DriveItem&, const DriveItem&) = default;
};

// What the tree has selected: nothing, the computer, or a drive (by its position under the
// computer).
struct TreeSelection {
    enum class Item : uint8_t { Nothing, Computer, Drive };
    Item item = Item::Nothing;
    size_t drive = 0;

    static TreeSelection Computer() { return {Item::Computer, 0}; }
    static TreeSelection Drive(size_t position) { return {Item::Drive, position}; }
    std::optional<size_t> DrivePosition() const {
        return item == Item::Drive ? std::optional(drive) : std::nullopt;
    }
    friend bool operator==(const TreeSelection&, const TreeSelection&) = default;
};

// The progress bar runs from 0 to 100; the timer moves it one step on, and past the end it
// starts again from the beginning.
inline constexpr int kProgressEnd = 100;
constexpr int SteppedProgress(int position) {
    return position >= kProgressEnd || position < 0 ? 0 : position + 1;
}

class DialogWindow {
public:
    virtual ~DialogWindow() = default;

    // Runs `work` on the user-interface thread and returns when it is done, so that a
    // read-modify-write of the window is whole.
    virtual void RunOnWindowThread(const std::function<void()>& work) = 0;

    // The title bar, the tree's label and the buttons' texts.
    virtual void ShowTexts(const DialogTexts& texts) = 0;

    // The information and log window. Texts are the program's own bytes; line breaks are
    // CR LF.
    virtual std::string LogText() const = 0;
    virtual void SetLogText(std::string_view text) = 0;
    // Scrolls the log so that its last line is in view.
    virtual void ScrollLogToEnd() = 0;

    virtual void EnableButton(DialogButton button, bool enabled) = 0;
    virtual bool IsButtonEnabled(DialogButton button) const = 0;

    // The drive tree: the computer at the top, expanded, with the drives under it in the
    // device table's order; nothing is selected afterwards.
    virtual void ShowDrives(std::string_view computer, std::span<const DriveItem> drives) = 0;
    virtual TreeSelection Selection() const = 0;
    // A drive's new text (it reported another identification); its greying stays.
    virtual void SetDriveText(size_t position, std::string_view text) = 0;

    // The progress bar, from 0 to kProgressEnd.
    virtual void SetProgress(int position) = 0;
    // One step on (SteppedProgress).
    virtual void StepProgress() = 0;
    virtual int Progress() const = 0;

    // The progress timer: DialogHandlers::OnProgressTimer every kProgressTimerPeriodMs until
    // it is stopped. Starting it again restarts it; stopping it when it does not run is
    // harmless.
    virtual void StartProgressTimer() = 0;
    virtual void StopProgressTimer() = 0;

    // A modal message box owned by the dialog; blocks until it is answered.
    virtual BoxAnswer ShowMessageBox(const MessageBoxRequest& request) = 0;

    // Shows that the dialog is busy off its thread (see above): a wait cursor over the
    // dialog, the progress bar in its busy mode, the buttons and the drive tree greyed. What
    // EnableButton and SetProgress give meanwhile is kept, answered by IsButtonEnabled and
    // Progress, and shown once busy ends; then the keyboard focus goes back where it was.
    // The default shows nothing (a window that has no such means).
    virtual void ShowBusy(bool busy) { static_cast<void>(busy); }
    // Pages the drive has taken, of how many: windows whose bar is a heartbeat ignore it.
    virtual void ShowTransferProgress(uint32_t done, uint32_t total) {
        static_cast<void>(done);
        static_cast<void>(total);
    }

    // The Close item of the window's system menu (and with it the title bar's close).
    virtual void EnableCloseCommand(bool enabled) = 0;

    // Ends the modal dialog with the given result.
    virtual void EndDialog(int result) = 0;
};

// What the window reports back to the dialog, always on the user-interface thread.
class DialogHandlers {
public:
    virtual ~DialogHandlers() = default;
    // Runs the start-up sequence; false when the dialog was ended during it. The scan goes
    // on off the user-interface thread after it returns, and fills the tree when it ends.
    virtual bool OnInitDialog() = 0;
    virtual void OnSelectionChanged() = 0;
    virtual void OnUpgrade() = 0;
    virtual void OnProgressTimer() = 0;
    // The cancel command: the Exit button, Escape, the title bar's close. Ends the dialog
    // and returns true, or returns false: refused, or (while the dialog is busy) kept until
    // the worker has no command outstanding, when the dialog ends by itself.
    virtual bool OnCancel() = 0;
    // The window is asked to close from outside the dialog's own controls (the title bar,
    // the desktop, the end of the session). The default is the cancel command.
    virtual void OnCloseRequest() { OnCancel(); }
};

}  // namespace flashtool
