#pragma once

#include <atomic>

#include "core/SystemRestart.h"

namespace flashtool::testing {

// Records restart requests and accepts or refuses them; never restarts anything.
class FakeRestart final : public SystemRestart {
public:
    std::atomic<bool> accept{true};
    std::atomic<int> requests{0};
    bool RequestRestart() override {
        ++requests;
        return accept;
    }
};

}  // namespace flashtool::testing
