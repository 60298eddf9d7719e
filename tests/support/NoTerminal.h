#pragma once

// The command line started with nobody at a terminal: every question is Cancel, no status
// line is drawn.

#include <optional>
#include <string>

#include "app/cli/Terminal.h"

namespace flashtool::testing {

class NoTerminal final : public Terminal {
public:
    bool Interactive() const override { return false; }
    bool DrawsProgress() const override { return false; }
    std::optional<std::string> ReadLine() override { return std::nullopt; }
};

}  // namespace flashtool::testing
