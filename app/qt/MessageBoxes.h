#pragma once

// The program's message boxes as Qt shows them: exact text (no rich text), caption (none:
// the application's title), buttons and icon.

#include <QMessageBox>
#include <memory>

#include "core/MessageBox.h"

namespace flashtool {

std::unique_ptr<QMessageBox> MakeMessageBox(const MessageBoxRequest& request,
                                            const QString& applicationTitle, QWidget* parent);

// Shows the box modally and returns the answer; a box with OK alone always answers OK.
BoxAnswer RunMessageBox(const MessageBoxRequest& request, const QString& applicationTitle,
                        QWidget* parent);

}  // namespace flashtool
