#include "app/qt/QtDialogWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "app/AccessibleTexts.h"
#include "app/controls/CTreeCtrlEx.h"
#include "app/qt/AboutBox.h"
#include "app/qt/MessageBoxes.h"
#include "app/qt/QtText.h"
#include "app/qt/UiThread.h"

namespace flashtool {

namespace {

QFont DialogFont() {
    QFont font(ToQString(kDialogFontFamily));
    font.setPointSize(kDialogFontPoints);
    return font;
}

DialogBaseUnits UnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    return BaseUnitsFromFont(metrics.horizontalAdvance(QString::fromLatin1(kAverageWidthSample)),
                             metrics.height());
}

// The log window shows CR LF as one line break.
QString DisplayedLog(std::string_view text) {
    QString shown = ToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

// A label's text as a screen reader says it: the access key's marker dropped ("&&" is a
// literal ampersand).
QString WithoutAccessKey(const QString& text) {
    QString spoken;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
        }
        spoken += text[i];
    }
    return spoken;
}

void MarkControl(QWidget* widget, ControlId id) {
    widget->setObjectName(QStringLiteral("control%1").arg(static_cast<int>(id)));
    widget->setProperty("controlId", static_cast<int>(id));
}

}  // namespace

QtDialogWindow::QtDialogWindow(QString title)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      applicationTitle(title.isEmpty() ? QCoreApplication::applicationName() : std::move(title)) {
    // Only what the start-up notice takes from its owner, the icon; the rest waits until
    // the notice has been answered (EnsureBuilt), so that the notice comes up as soon as a
    // box on its own would.
    appIcon = style()->standardIcon(QStyle::SP_DriveCDIcon);
    setWindowIcon(appIcon);
    setWindowTitle(ToQString(kMainCaption));
}

QtDialogWindow::~QtDialogWindow() = default;

void QtDialogWindow::EnsureBuilt() const {
    if (!built) {
        // Building adds the controls the window always had; to its callers it is the same
        // window, so a const look at it may do so.
        const_cast<QtDialogWindow*>(this)->Build();
    }
}

void QtDialogWindow::Build() {
    built = true;
    setFont(DialogFont());
    units = UnitsOf(font());
    computerIcon = style()->standardIcon(QStyle::SP_ComputerIcon);
    driveIcon = style()->standardIcon(QStyle::SP_DriveCDIcon);
    setFixedSize(DluToPixelsX(kMainDialogWidth, units), DluToPixelsY(kMainDialogHeight, units));
    BuildControls();
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(about, &QShortcut::activated, this, [this] { OnSystemCommand(kAboutCommand); });
}

void QtDialogWindow::setVisible(bool visible) {
    if (visible) {
        EnsureBuilt();
    }
    QDialog::setVisible(visible);
}

void QtDialogWindow::Place(QWidget* widget, const DluRect& rect) const {
    const PixelRect pixels = ToPixels(rect, units);
    widget->setGeometry(pixels.x, pixels.y, pixels.width, pixels.height);
}

void QtDialogWindow::BuildControls() {
    // Created in tab order, so the focus chain is the template's.
    for (const ControlTemplate& control : kMainControls) {
        QWidget* widget = CreateControl(control);
        MarkControl(widget, control.id);
        widget->setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::NoFocus);
        Place(widget, control.rect);
    }
    devicesLabel->setBuddy(tree);
    // Qt's tree interface does not take its name from the buddy label, so it is copied.
    tree->setAccessibleName(WithoutAccessKey(devicesLabel->text()));
    setTabOrder(exitButton, tree);
    setTabOrder(tree, upgradeButton);
    setTabOrder(upgradeButton, log);
}

QWidget* QtDialogWindow::CreateControl(const ControlTemplate& control) {
    switch (control.id) {
        case ControlId::Exit:
            exitButton = new QPushButton(ToQString(control.text), this);
            connect(exitButton, &QPushButton::clicked, this, &QtDialogWindow::reject);
            return exitButton;
        case ControlId::DevicesLabel:
            devicesLabel = new QLabel(ToQString(control.text), this);
            return devicesLabel;
        case ControlId::DriveTree:
            tree = new CTreeCtrlEx(this);
            tree->setHeaderHidden(true);
            tree->setRootIsDecorated(true);
            tree->setSelectionMode(QAbstractItemView::SingleSelection);
            tree->setDragDropMode(QAbstractItemView::NoDragDrop);
            tree->setMouseTracking(true);  // hot tracking
            tree->setFrameShadow(QFrame::Sunken);
            tree->setIconSize(QSize(16, 16));
            tree->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            connect(tree, &QTreeWidget::itemSelectionChanged, this, [this] {
                if (handlers != nullptr) {
                    handlers->OnSelectionChanged();
                }
            });
            return tree;
        case ControlId::Progress:
            progress = new QProgressBar(this);
            progress->setTextVisible(false);
            progress->setRange(0, kProgressEnd);
            progress->setValue(0);
            // The buttons are named by their texts and the tree by its label; the progress
            // bar and the log have no label of their own.
            progress->setAccessibleName(ToQString(kProgressAccessibleName));
            // In the bar's place while the dialog is busy, so that the bar keeps its state.
            busyBar = new QProgressBar(this);
            busyBar->setTextVisible(false);
            busyBar->setRange(0, 0);
            busyBar->setAccessibleName(ToQString(kProgressAccessibleName));
            busyBar->setFocusPolicy(Qt::NoFocus);
            Place(busyBar, control.rect);
            busyBar->hide();
            return progress;
        case ControlId::Upgrade:
            upgradeButton = new QPushButton(ToQString(control.text), this);
            connect(upgradeButton, &QPushButton::clicked, this, [this] {
                if (handlers != nullptr) {
                    handlers->OnUpgrade();
                }
            });
            return upgradeButton;
        case ControlId::Log:
            log = new QPlainTextEdit(this);
            log->setReadOnly(true);
            log->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            log->setTabChangesFocus(true);
            log->setAccessibleName(ToQString(kLogAccessibleName));
            return log;
    }
    return nullptr;
}

QWidget* QtDialogWindow::Control(ControlId id) const {
    EnsureBuilt();
    switch (id) {
        case ControlId::Exit:
            return exitButton;
        case ControlId::DevicesLabel:
            return devicesLabel;
        case ControlId::DriveTree:
            return tree;
        case ControlId::Progress:
            return progress;
        case ControlId::Upgrade:
            return upgradeButton;
        case ControlId::Log:
            return log;
    }
    return nullptr;
}

void QtDialogWindow::CentreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

int QtDialogWindow::RunModal() {
    ended = false;
    // Centred on the screen before anything is shown, so that the start-up notice, whose
    // owner is the dialog, appears in the middle too; once more when the dialog has its
    // controls and its size.
    CentreOnScreen();
    if (handlers != nullptr && (!handlers->OnInitDialog() || ended)) {
        return endResult;
    }
    EnsureBuilt();
    CentreOnScreen();
    // The first control in tab order that can take the focus gets it (once the scan has
    // ended, when it runs still).
    for (const ControlTemplate& control : kMainControls) {
        if (control.tabStop && ControlEnabled(control.id)) {
            GiveFocus(Control(control.id));
            break;
        }
    }
    return exec();
}

void QtDialogWindow::OnSystemCommand(uint32_t command) {
    if (IsAboutCommand(command)) {
        ShowAbout();
    }
}

void QtDialogWindow::ShowAbout() {
    EnsureBuilt();
    AboutBox about(appIcon, units, this);
    about.exec();
}

void QtDialogWindow::reject() {
    if (handlers != nullptr) {
        handlers->OnCancel();
    } else {
        QDialog::reject();
    }
}

void QtDialogWindow::closeEvent(QCloseEvent* event) {
    // The dialog decides: it ends now, refuses, or (while a drive is written) ends once the
    // run's ending has been shown and recorded. Either way it is the dialog that ends itself.
    if (handlers != nullptr) {
        event->ignore();
        handlers->OnCloseRequest();
        if (ended) {
            event->accept();
        }
        return;
    }
    if (!closeCommandEnabled) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void QtDialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* about = menu.addAction(ToQString(kStringAbout));
    if (menu.exec(event->globalPos()) == about) {
        OnSystemCommand(kAboutCommand);
    }
}

void QtDialogWindow::RunOnWindowThread(const std::function<void()>& work) {
    if (calls.OnServingThread()) {
        work();
        return;
    }
    if (!calls.RunAndWait(work)) {
        // Detached: what the work does to the window goes where Detach says.
        const std::lock_guard lock(detachedMutex);
        work();
    }
}

void QtDialogWindow::ShowTexts(const DialogTexts& texts) {
    WithControls([&] {
        setWindowTitle(ToQString(texts.caption));
        devicesLabel->setText(ToQString(texts.devicesLabel));
        tree->setAccessibleName(WithoutAccessKey(devicesLabel->text()));
        exitButton->setText(ToQString(texts.exitButton));
        upgradeButton->setText(ToQString(texts.upgradeButton));
    });
}

std::string QtDialogWindow::LogText() const {
    if (calls.Abandoned()) {
        return logText;  // the user-interface thread touches it no more
    }
    return OnOwnerThread(calls, [&] { return logText; });
}

void QtDialogWindow::SetLogText(std::string_view text) {
    if (calls.Abandoned()) {
        // What was added to the log, as lines on standard error.
        std::string added(text.starts_with(logText) ? text.substr(logText.size()) : text);
        std::erase(added, '\r');
        if (!added.empty()) {
            std::fprintf(stderr, "%s%s", added.c_str(), added.ends_with('\n') ? "" : "\n");
            std::fflush(stderr);
        }
        logText.assign(text);
        return;
    }
    WithControls([&] {
        logText.assign(text);
        log->setPlainText(DisplayedLog(text));
    });
}

void QtDialogWindow::ScrollLogToEnd() {
    WithControls([&] {
        log->moveCursor(QTextCursor::End);
        log->ensureCursorVisible();
    });
}

BoxAnswer QtDialogWindow::ShowMessageBox(const MessageBoxRequest& request) {
    const auto show = [&] {
        return boxProvider ? boxProvider(request) : RunMessageBox(request, applicationTitle, this);
    };
    if (calls.OnServingThread()) {
        return show();
    }
    std::optional<BoxAnswer> answer;
    if (calls.RunAndWait([&] { answer = show(); }) && answer) {
        return *answer;
    }
    // Detached: nobody saw the box. Its text goes where the log goes; a question nobody
    // answered is never taken as yes.
    const std::string shown =
        request.text + (request.detail.empty() ? "" : "\n" + request.detail) + "\n";
    std::fprintf(stderr, "%s", shown.c_str());
    std::fflush(stderr);
    return request.buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

void QtDialogWindow::EnableCloseCommand(bool enabled) {
    OnOwnerThread(calls, [&] { closeCommandEnabled = enabled; });
}

void QtDialogWindow::EndDialog(int result) {
    OnOwnerThread(calls, [&] {
        ended = true;
        endResult = result;
        QDialog::done(result);
    });
}

}  // namespace flashtool
