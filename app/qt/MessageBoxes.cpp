#include "app/qt/MessageBoxes.h"

#include "app/qt/QtText.h"

namespace flashtool {

namespace {

QMessageBox::Icon IconOf(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Exclamation:
            return QMessageBox::Warning;
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Stop:
            return QMessageBox::Critical;
        case BoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(const MessageBoxRequest& request,
                                            const QString& applicationTitle, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(request.caption ? ToQString(*request.caption) : applicationTitle);
    box->setTextFormat(Qt::PlainText);
    box->setText(ToQString(request.text));
    if (!request.detail.empty()) {
        box->setInformativeText(ToQString(request.detail));
    }
    box->setIcon(IconOf(request.icon));
    if (request.buttons == BoxButtons::OkCancel) {
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box->setEscapeButton(QMessageBox::Cancel);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Ok);
    }
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

BoxAnswer RunMessageBox(const MessageBoxRequest& request, const QString& applicationTitle,
                        QWidget* parent) {
    const auto box = MakeMessageBox(request, applicationTitle, parent);
    box->exec();
    if (request.buttons == BoxButtons::Ok) {
        return BoxAnswer::Ok;
    }
    return box->clickedButton() == box->button(QMessageBox::Ok) ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

}  // namespace flashtool
