#pragma once

// The About box: the program's icon, its name and version, a notice line and OK.

#include <QDialog>

#include "app/DialogUnits.h"

namespace flashtool {

class AboutBox final : public QDialog {
    Q_OBJECT

public:
    AboutBox(const QIcon& icon, const DialogBaseUnits& units, QWidget* parent);
};

}  // namespace flashtool
