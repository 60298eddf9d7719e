#pragma once

// The window seam in a terminal: the controls, the tree and the progress bar live in
// memory; each line added to the log is printed as it comes; message boxes are printed
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

    // While set, an OK/Cancel box is the start-up notice.
    void SetStartingUp(bool on) { startingUp = on; }
    // Selects the n-th drive of the tree as a click would; false when there is none.
    bool SelectDrive(size_t n);
    // Whether the n-th drive item is drawn in grey (this build cannot update it).
    bool DriveGreyed(size_t n) const;
    size_t DriveCount() const;
    // Every line the log received, and each message box's text, in order.
    std::vector<std::string> LogLines() const;

    void RunOnWindowThread(const std::function<void()>& work) override;
    std::string ControlText(ControlId id) const override;
    void SetControlText(ControlId id, std::string_view text) override;
    void EnableControl(ControlId id, bool enabled) override;
    bool IsControlEnabled(ControlId id) const override;
    void SetCaption(std::string_view text) override;
    std::string Caption() const override;
    void ScrollLogToEnd() override {}

    void ClearTree() override;
    TreeItem InsertTreeItem(TreeItem parent, std::string_view text, TreeImage image) override;
    void SetTreeItemColor(TreeItem item, ColorRef color) override;
    void ExpandTreeItem(TreeItem /*item*/) override {}
    TreeItem RootTreeItem() const override;
    TreeItem SelectedTreeItem() const override;
    TreeItem FirstChild(TreeItem item) const override;
    TreeItem NextSibling(TreeItem item) const override;
    std::string TreeItemText(TreeItem item) const override;
    void SetTreeItemText(TreeItem item, std::string_view text) override;
    size_t TreeItemCount() const override;

    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPos(int position) override;
    void SetProgressStep(int step) override;
    void StepProgress() override;
    int ProgressPos() const override;
    // The heartbeat timer drives a bar no one sees here; progress is drawn from the pages.
    void StartTimer(int /*id*/, uint32_t /*periodMs*/) override {}
    void StopTimer(int /*id*/) override {}

    BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
    void EnableCloseCommand(bool /*enabled*/) override {}
    void EndDialog(int result) override;

private:
    struct Node {
        TreeItem parent = kNoTreeItem;
        std::string text;
        bool greyed = false;
    };
    std::vector<TreeItem> Children(TreeItem parent) const;
    void Print(std::string_view line);

    Prompter& prompter;
    DiagnosticSink* out;
    DiagnosticSink& questions;
    mutable std::recursive_mutex mutex;
    bool startingUp = false;
    std::map<ControlId, std::string> texts;
    std::map<ControlId, bool> enabled;
    std::string caption;
    std::vector<Node> nodes;  // item = position + 1
    TreeItem selected = kNoTreeItem;
    int progressMin = 0, progressMax = 100, progressPos = 0, progressStep = 10;
    std::vector<std::string> logLines;
};

}  // namespace flashtool
