#pragma once

// The window seam: everything the main dialog does to its window, free of any toolkit. The
// Qt window implements it, and so does a recording fake in the tests.
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
#include <string>
#include <string_view>

#include "app/ColorRef.h"
#include "app/DialogTemplate.h"
#include "core/MessageBox.h"

namespace flashtool {

// An item of the drive tree; 0 is no item.
using TreeItem = std::uintptr_t;
inline constexpr TreeItem kNoTreeItem = 0;

enum class TreeImage : uint8_t { Computer = 0, Drive = 1 };

class DialogWindow {
public:
    virtual ~DialogWindow() = default;

    // Runs `work` on the user-interface thread and returns when it is done, so that a
    // read-modify-write of a control is whole.
    virtual void RunOnWindowThread(const std::function<void()>& work) = 0;

    // Controls by their template id. Texts are the program's own bytes; the log window's
    // line breaks are CR LF.
    virtual std::string ControlText(ControlId id) const = 0;
    virtual void SetControlText(ControlId id, std::string_view text) = 0;
    virtual void EnableControl(ControlId id, bool enabled) = 0;
    virtual bool IsControlEnabled(ControlId id) const = 0;
    virtual void SetCaption(std::string_view caption) = 0;
    virtual std::string Caption() const = 0;
    // Scrolls the log window so that its last line is in view.
    virtual void ScrollLogToEnd() = 0;

    // The drive tree. `parent` kNoTreeItem inserts at the top level; items go last.
    virtual void ClearTree() = 0;
    virtual TreeItem InsertTreeItem(TreeItem parent, std::string_view text, TreeImage image) = 0;
    virtual void SetTreeItemColor(TreeItem item, ColorRef color) = 0;
    virtual void ExpandTreeItem(TreeItem item) = 0;
    virtual TreeItem RootTreeItem() const = 0;
    virtual TreeItem SelectedTreeItem() const = 0;
    virtual TreeItem FirstChild(TreeItem item) const = 0;
    virtual TreeItem NextSibling(TreeItem item) const = 0;
    virtual std::string TreeItemText(TreeItem item) const = 0;
    virtual void SetTreeItemText(TreeItem item, std::string_view text) = 0;
    virtual size_t TreeItemCount() const = 0;

    // The progress bar. A step past the maximum starts the bar again from the minimum.
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressPos(int position) = 0;
    virtual void SetProgressStep(int step) = 0;
    virtual void StepProgress() = 0;
    virtual int ProgressPos() const = 0;

    // Timers of the dialog; each tick calls DialogHandlers::OnTimer. Stopping a timer that
    // does not run is harmless.
    virtual void StartTimer(int id, uint32_t periodMs) = 0;
    virtual void StopTimer(int id) = 0;

    // A modal message box owned by the dialog; blocks until it is answered.
    virtual BoxAnswer ShowMessageBox(const MessageBoxRequest& request) = 0;

    // Shows that the dialog is busy off its thread (see above): a wait cursor over the
    // dialog, the progress bar in its busy mode, the buttons and the drive tree greyed. What
    // EnableControl, SetProgressRange and SetProgressPos give meanwhile is kept, answered by
    // IsControlEnabled and ProgressPos, and shown once busy ends; then the keyboard focus
    // goes back where it was. The default shows nothing (a window that has no such means).
    virtual void ShowBusy(bool busy) { static_cast<void>(busy); }

    // The Close item of the window's system menu (and with it the title bar's close).
    virtual void EnableCloseCommand(bool enabled) = 0;

    // Ends the modal dialog with the given result.
    virtual void EndDialog(int result) = 0;
};

// Where one step of the progress bar leads: past the maximum the bar starts again from the
// minimum (and below the minimum, from the maximum).
constexpr int SteppedProgress(int position, int step, int minimum, int maximum) {
    const long long next = static_cast<long long>(position) + step;
    if (next > maximum) {
        return minimum;
    }
    if (next < minimum) {
        return maximum;
    }
    return static_cast<int>(next);
}

// What the window reports back to the dialog, always on the user-interface thread.
class DialogHandlers {
public:
    virtual ~DialogHandlers() = default;
    // Runs the start-up sequence; false when the dialog was ended during it. The scan goes
    // on off the user-interface thread after it returns, and fills the tree when it ends.
    virtual bool OnInitDialog() = 0;
    virtual void OnSelectionChanged() = 0;
    virtual void OnUpgrade() = 0;
    virtual void OnTimer(int id) = 0;
    // The cancel command: the Exit button, Escape, the title bar's close. Ends the dialog
    // and returns true, or returns false: refused, or (while the dialog is busy) kept until
    // the worker has no command outstanding, when the dialog ends by itself.
    virtual bool OnCancel() = 0;
};

}  // namespace flashtool
