// The least a Qt program does to show the window program's start-up notice: the toolkit,
// then the same box (the caption and the text come as the two arguments), nothing else.
// startup_bench measures the window program's start-up against it.

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        return 2;
    }
    const QString caption = QString::fromUtf8(argv[1]);
    const QString text = QString::fromUtf8(argv[2]);
    QApplication application(argc, argv);
    QMessageBox box;
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? 0 : 1;
}
