#include "app/qt/AboutBox.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "app/qt/QtText.h"
#include "data/BuildIdentity.h"

namespace flashtool {

namespace {

void Place(QWidget* widget, const DluRect& rect, const DialogBaseUnits& units) {
    const PixelRect pixels = ToPixels(rect, units);
    widget->setGeometry(pixels.x, pixels.y, pixels.width, pixels.height);
}

}  // namespace

AboutBox::AboutBox(const QIcon& icon, const DialogBaseUnits& units, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    // A window does not inherit its parent's font; the units are the dialog font's, so the
    // box takes that font too.
    if (parent != nullptr) {
        setFont(parent->font());
    }
    setWindowTitle(ToQString(kAboutCaption));
    setFixedSize(DluToPixelsX(kAboutWidth, units), DluToPixelsY(kAboutHeight, units));

    auto* iconLabel = new QLabel(this);
    Place(iconLabel, kAboutIconRect, units);
    iconLabel->setPixmap(icon.pixmap(32, 32));
    iconLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Shown as it stands: no access-key processing.
    auto* version = new QLabel(this);
    version->setTextFormat(Qt::PlainText);
    version->setText(ToQString(kAboutVersionText));
    version->setObjectName("aboutVersion");
    Place(version, kAboutVersionRect, units);

    auto* notice = new QLabel(this);
    notice->setTextFormat(Qt::PlainText);
    notice->setText(ToQString(kAboutNoticeText));
    notice->setObjectName("aboutNotice");
    Place(notice, kAboutNoticeRect, units);

    auto* build = new QLabel(this);
    build->setTextFormat(Qt::PlainText);
    build->setText(ToQString(AboutBuildText()));
    build->setObjectName("aboutBuild");
    build->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(build, kAboutBuildRect, units);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("control1");
    ok->setProperty("controlId", 1);
    ok->setDefault(true);
    Place(ok, kAboutOkRect, units);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace flashtool
