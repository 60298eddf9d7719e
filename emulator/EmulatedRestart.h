#pragma once

// The restart of the emulated build: it never restarts the computer, it only says that a
// restart was asked for, on standard output and in the log window.

#include <functional>
#include <string_view>

#include "core/Diagnostics.h"
#include "core/SystemRestart.h"

namespace flashtool {

inline constexpr std::string_view kEmulatedRestartLine =
    "Restart requested: the emulated build does not restart the computer.";

class EmulatedRestart final : public SystemRestart {
public:
    explicit EmulatedRestart(DiagnosticSink& diagnostics) : diagnostics(diagnostics) {}

    // Where the line goes besides standard output (the dialog's log window).
    void SetLog(std::function<void(std::string_view)> log) { this->log = std::move(log); }

    bool RequestRestart() override;

private:
    DiagnosticSink& diagnostics;
    std::function<void(std::string_view)> log;
};

}  // namespace flashtool
