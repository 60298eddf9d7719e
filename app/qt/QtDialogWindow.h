#pragma once

// The main dialog as a Qt window: one QDialog laid out from the dialog template (dialog
// units converted with the dialog font's metrics), implementing the window seam. Calls
// from another thread are carried to the user-interface thread and waited for.
//
// Where the desktop owns the window's system menu (X11, Wayland), the About entry is
// offered by the dialog's context menu and by F1, and a greyed Close item is a close
// request from the title bar that the window refuses.

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <functional>
#include <map>
#include <string>

#include "app/DialogUnits.h"
#include "app/DialogWindow.h"
#include "app/qt/UiThread.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidgetItem;

namespace flashtool {

class CTreeCtrlEx;

class QtDialogWindow final : public QDialog, public DialogWindow {
    Q_OBJECT

public:
    // Answers a message box on the user-interface thread; tests script it.
    using MessageBoxProvider = std::function<BoxAnswer(const MessageBoxRequest&)>;

    // `applicationTitle` captions the boxes that have none of their own.
    explicit QtDialogWindow(QString applicationTitle = {});
    ~QtDialogWindow() override;

    void SetHandlers(DialogHandlers* handlers) { this->handlers = handlers; }
    // An empty provider restores the real message boxes.
    void SetMessageBoxProvider(MessageBoxProvider provider) { boxProvider = std::move(provider); }

    // Runs the start-up sequence, then the dialog modally unless the sequence ended it.
    // Returns the dialog's result.
    int RunModal();

    // A system-menu command; the About entry's command, masked, shows the About box.
    void OnSystemCommand(uint32_t command);
    void ShowAbout();

    QWidget* Control(ControlId id) const;
    CTreeCtrlEx* Tree() const { return tree; }
    const QIcon& AppIcon() const { return appIcon; }
    DialogBaseUnits BaseUnits() const { return units; }
    bool IsCloseCommandEnabled() const { return closeCommandEnabled; }
    // The running timer of that id, or none.
    const QTimer* ActiveTimer(int id) const;

    // DialogWindow.
    void RunOnWindowThread(const std::function<void()>& work) override;
    std::string ControlText(ControlId id) const override;
    void SetControlText(ControlId id, std::string_view text) override;
    void EnableControl(ControlId id, bool enabled) override;
    bool IsControlEnabled(ControlId id) const override;
    void SetCaption(std::string_view caption) override;
    std::string Caption() const override;
    void ScrollLogToEnd() override;
    void ClearTree() override;
    TreeItem InsertTreeItem(TreeItem parent, std::string_view text, TreeImage image) override;
    void SetTreeItemColor(TreeItem item, ColorRef color) override;
    void ExpandTreeItem(TreeItem item) override;
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
    void StartTimer(int id, uint32_t periodMs) override;
    void StopTimer(int id) override;
    BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
    void ShowBusy(bool busy) override;
    void EnableCloseCommand(bool enabled) override;
    void EndDialog(int result) override;

public slots:
    // The cancel command (Exit, Escape, the title bar's close): the dialog decides.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildControls();
    QWidget* CreateControl(const ControlTemplate& control);
    void Place(QWidget* widget, const DluRect& rect) const;
    // Focuses the widget now, or once the busy phase ends when it is greyed for it.
    void GiveFocus(QWidget* widget);

    // The worker's way to the user-interface thread.
    mutable UiThreadCalls calls;
    QString applicationTitle;
    DialogBaseUnits units;
    QIcon appIcon;
    QIcon computerIcon;
    QIcon driveIcon;
    QPushButton* exitButton = nullptr;
    QLabel* devicesLabel = nullptr;
    CTreeCtrlEx* tree = nullptr;
    QProgressBar* progress = nullptr;
    QProgressBar* busyBar = nullptr;  // shown in the bar's place while busy
    QPushButton* upgradeButton = nullptr;
    QPlainTextEdit* log = nullptr;
    std::string logText;  // exactly as set, CR LF line breaks included
    int progressStep = 10;
    std::map<int, QTimer*> timers;
    DialogHandlers* handlers = nullptr;
    MessageBoxProvider boxProvider;
    bool closeCommandEnabled = true;
    // While busy: the controls greyed for it, with the state the dialog gave each, and the
    // widget that gets the focus back.
    bool busy = false;
    std::map<ControlId, bool> enabledAfterBusy;
    QPointer<QWidget> focusAfterBusy;
    bool ended = false;
    int endResult = 0;
};

}  // namespace flashtool
