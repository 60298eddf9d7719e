#include "emulator/EmulatedInhibitor.h"

#include <string>

namespace flashtool {

namespace {

class EmulatedLock final : public SleepInhibitor::Lock {
public:
    explicit EmulatedLock(DiagnosticSink& diagnostics) : diagnostics(diagnostics) {}
    ~EmulatedLock() override { diagnostics.Write("keep-awake: released\n"); }

private:
    DiagnosticSink& diagnostics;
};

}  // namespace

std::unique_ptr<SleepInhibitor::Lock> EmulatedInhibitor::Acquire(std::string_view who,
                                                                 std::string_view why) {
    diagnostics.Write("keep-awake: held for \"" + std::string(who) + "\": " + std::string(why) +
                      "\n");
    return std::make_unique<EmulatedLock>(diagnostics);
}

}  // namespace flashtool
