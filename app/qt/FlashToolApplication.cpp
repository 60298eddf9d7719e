#include "app/qt/FlashToolApplication.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>

#include "core/InstanceLock.h"
#include "data/EmbeddedRegion.h"

namespace flashtool {

FlashToolApplication::FlashToolApplication(std::unique_ptr<PassThroughBackend> backend,
                                           SystemRestart& restart, SleepInhibitor& inhibitor,
                                           Clock& clock, DiagnosticSink& diagnostics,
                                           std::span<const uint8_t> storedRegion)
    : dialog(FlashDialogParts{window, std::move(backend), storedRegion, restart, clock, diagnostics,
                              inhibitor}) {
    window.SetHandlers(&dialog);
}

int RunFlashTool(int argc, char* argv[], bool singleInstance,
                 const std::function<std::unique_ptr<PassThroughBackend>()>& makeBackend,
                 SystemRestart& restart, SleepInhibitor& inhibitor, DiagnosticSink& diagnostics,
                 const std::function<void(FlashDialog&)>& wire) {
    QApplication application(argc, argv);
    // The program ends when the dialog does, never because a message box was the last
    // window open.
    QApplication::setQuitOnLastWindowClosed(false);
    // One copy per user of the product. Said on standard error too, for a copy started
    // from a terminal.
    std::unique_ptr<InstanceLock> lock;
    if (singleInstance) {
        const QString name = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
        lock = InstanceLock::Acquire(name.toStdString());
        if (!lock) {
            std::fprintf(stderr, "%s\n", std::string(kAnotherCopyRunning).c_str());
            std::fflush(stderr);
            QMessageBox::warning(
                nullptr, name,
                QString::fromLatin1(kAnotherCopyRunning.data(), kAnotherCopyRunning.size()));
            return 1;
        }
    }
    std::unique_ptr<PassThroughBackend> backend = makeBackend();
    if (!backend) {
        return 1;
    }
    SystemClock clock;
    FlashToolApplication tool(std::move(backend), restart, inhibitor, clock, diagnostics,
                              EmbeddedStoredRegion());
    if (wire) {
        wire(tool.Dialog());
    }
    tool.Run();
    return 0;
}

}  // namespace flashtool
