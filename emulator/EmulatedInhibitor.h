#pragma once

// The keep-awake lock of the emulated build: nothing to keep awake for, so it only says on
// standard output when the lock would be taken and released.

#include <string_view>

#include "core/Diagnostics.h"
#include "core/SleepInhibitor.h"

namespace flashtool {

class EmulatedInhibitor final : public SleepInhibitor {
public:
    explicit EmulatedInhibitor(DiagnosticSink& diagnostics) : diagnostics(diagnostics) {}
    std::unique_ptr<Lock> Acquire(std::string_view who, std::string_view why) override;

private:
    DiagnosticSink& diagnostics;
};

}  // namespace flashtool
