#pragma once

// A transport on one of the Windows back-ends, with the fake Win32 calls behind it.

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "core/Clock.h"
#include "support/ScriptedBackend.h"
#include "transport/ScsiTransport.h"
#include "transport/windows/AspiBackend.h"
#include "transport/windows/SptiBackend.h"
#include "windows/FakeWin32Api.h"

namespace flashtool::testing {

// Records pauses like FakeClock, and lets a test play the other side while the code under
// test pauses. Never waits.
class SteppingClock final : public Clock {
public:
    std::function<void(size_t sleepsSoFar)> onSleep;
    FakeClock record;

    void SleepMs(uint32_t milliseconds) override {
        record.SleepMs(milliseconds);
        if (onSleep) {
            onSleep(record.Sleeps().size());
        }
    }
};

template <class Backend>
struct WindowsRig {
    std::shared_ptr<FakeWin32Api> api = std::make_shared<FakeWin32Api>();
    SteppingClock clock;
    RecordingNotifier notifier;
    Backend* backend = nullptr;
    std::unique_ptr<ScsiTransport> transport;

    // Builds the transport and loads its back-end; the script must be ready.
    bool Load() {
        std::unique_ptr<Backend> owned;
        if constexpr (std::is_constructible_v<Backend, std::shared_ptr<Win32Api>, Clock&>) {
            owned = std::make_unique<Backend>(api, clock);
        } else {
            owned = std::make_unique<Backend>(api);
        }
        backend = owned.get();
        transport = std::make_unique<ScsiTransport>(std::move(owned), notifier);
        return transport->LoadBackend();
    }

    std::string Describe(uint8_t row) {
        std::array<char, 50> text{};
        if (!transport->SelectDevice(row) || !transport->DescribeSelected(text)) {
            return "<none>";
        }
        return text.data();
    }

    // The calls recorded so far whose text starts with `prefix`.
    std::vector<std::string> CallsTo(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : api->calls) {
            if (call.starts_with(prefix)) {
                found.push_back(call);
            }
        }
        return found;
    }
};

using SptiRig = WindowsRig<SptiBackend>;
using AspiRig = WindowsRig<AspiBackend>;

}  // namespace flashtool::testing
