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
#include <mutex>
#include <string>

#include "app/DialogUnits.h"
#include "app/DialogWindow.h"
#include "app/qt/UiThread.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

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
    // The controls are built by the first call that needs them (the start-up notice needs
    // none of them, and comes first): this builds them now.
    void EnsureBuilt() const;

    // The toolkit is ending the program while a run goes on (its display is gone): the
    // window shows nothing from now on. The run's log lines go to standard error, a message
    // box is answered OK and a question Cancel, as on a terminal with nobody at it.
    void Detach() { calls.Abandon(); }

    // A system-menu command; the About entry's command, masked, shows the About box.
    void OnSystemCommand(uint32_t command);
    void ShowAbout();

    QWidget* Control(ControlId id) const;
    CTreeCtrlEx* Tree() const {
        EnsureBuilt();
        return tree;
    }
    const QIcon& AppIcon() const { return appIcon; }
    DialogBaseUnits BaseUnits() const {
        EnsureBuilt();
        return units;
    }
    bool IsCloseCommandEnabled() const { return closeCommandEnabled; }
    // The progress timer while it runs, or none.
    const QTimer* ActiveProgressTimer() const;

    // DialogWindow.
    void RunOnWindowThread(const std::function<void()>& work) override;
    void ShowTexts(const DialogTexts& texts) override;
    std::string LogText() const override;
    void SetLogText(std::string_view text) override;
    void ScrollLogToEnd() override;
    void EnableButton(DialogButton button, bool enabled) override;
    bool IsButtonEnabled(DialogButton button) const override;
    void ShowDrives(std::string_view computer, std::span<const DriveItem> drives) override;
    TreeSelection Selection() const override;
    void SetDriveText(size_t position, std::string_view text) override;
    void SetProgress(int position) override;
    void StepProgress() override;
    int Progress() const override;
    void StartProgressTimer() override;
    void StopProgressTimer() override;
    BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
    void ShowBusy(bool busy) override;
    void EnableCloseCommand(bool enabled) override;
    void EndDialog(int result) override;

    // Shown (show(), exec()) only with its controls.
    void setVisible(bool visible) override;

public slots:
    // The cancel command (Exit, Escape, the title bar's close): the dialog decides.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Runs `work` on the user-interface thread with the controls built.
    template <typename Work>
    auto WithControls(Work&& work) const {
        return OnOwnerThread(calls, [&] {
            EnsureBuilt();
            return work();
        });
    }
    // The dialog font and its units, the size, the controls, and what goes with them.
    void Build();
    void CentreOnScreen();
    void BuildControls();
    QWidget* CreateControl(const ControlTemplate& control);
    void Place(QWidget* widget, const DluRect& rect) const;
    // Focuses the widget now, or once the busy phase ends when it is greyed for it.
    void GiveFocus(QWidget* widget);
    // Whether the control is enabled as the dialog left it (while busy: once busy ends).
    bool ControlEnabled(ControlId id) const;
    void EnableControl(ControlId id, bool enabled);

    // The worker's way to the user-interface thread.
    mutable UiThreadCalls calls;
    // Once detached: the calls that run on the caller's thread instead, one at a time.
    mutable std::mutex detachedMutex;
    QString applicationTitle;
    DialogBaseUnits units;
    bool built = false;
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
    QTimer* progressTimer = nullptr;
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
