// The Qt window while the dialog works off its thread: a wait cursor, a busy bar in the
// progress bar's place, the buttons and the tree greyed. The dialog's own view of the
// controls is kept meanwhile and comes back when the phase ends.

#include <QPlainTextEdit>
#include <QProgressBar>

#include "app/qt/QtDialogWindow.h"

namespace flashtool {

namespace {

// The controls a press or a selection could act through while the worker scans or checks.
constexpr ControlId kGreyedWhileBusy[] = {ControlId::Exit, ControlId::DriveTree,
                                          ControlId::Upgrade};

bool GreyedWhileBusy(ControlId id) {
    for (const ControlId greyed : kGreyedWhileBusy) {
        if (greyed == id) {
            return true;
        }
    }
    return false;
}

}  // namespace

void QtDialogWindow::EnableControl(ControlId id, bool enabled) {
    if (busy && GreyedWhileBusy(id)) {
        enabledAfterBusy[id] = enabled;
        return;
    }
    Control(id)->setEnabled(enabled);
}

bool QtDialogWindow::ControlEnabled(ControlId id) const {
    if (busy && GreyedWhileBusy(id)) {
        return enabledAfterBusy.at(id);
    }
    return Control(id)->isEnabled();
}

void QtDialogWindow::EnableButton(DialogButton button, bool enabled) {
    WithControls([&] { EnableControl(ControlOf(button), enabled); });
}

bool QtDialogWindow::IsButtonEnabled(DialogButton button) const {
    return WithControls([&] { return ControlEnabled(ControlOf(button)); });
}

void QtDialogWindow::GiveFocus(QWidget* widget) {
    if (busy) {
        focusAfterBusy = widget;
    } else {
        widget->setFocus(Qt::OtherFocusReason);
    }
}

void QtDialogWindow::ShowBusy(bool on) {
    WithControls([&] {
        if (on == busy) {
            return;
        }
        if (on) {
            // Greying the focused control moves the focus on; it comes back afterwards.
            focusAfterBusy = focusWidget();
            for (const ControlId id : kGreyedWhileBusy) {
                enabledAfterBusy[id] = Control(id)->isEnabled();
                Control(id)->setEnabled(false);
            }
            progress->hide();
            busyBar->show();
            setCursor(Qt::WaitCursor);
            log->viewport()->setCursor(Qt::WaitCursor);
            busy = true;
            return;
        }
        busy = false;
        log->viewport()->setCursor(Qt::IBeamCursor);
        unsetCursor();
        busyBar->hide();
        progress->show();
        for (const ControlId id : kGreyedWhileBusy) {
            Control(id)->setEnabled(enabledAfterBusy.at(id));
        }
        if (focusAfterBusy != nullptr && focusAfterBusy->isEnabled()) {
            focusAfterBusy->setFocus(Qt::OtherFocusReason);
        }
        focusAfterBusy = nullptr;
    });
}

}  // namespace flashtool
