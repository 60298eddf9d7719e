#pragma once

// A FlashDialog on the fake window and virtual drives, with a build configuration of the
// test's choosing.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/FlashDialog.h"
#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "emulator/EmulatedBackend.h"
#include "support/FakeDialogWindow.h"
#include "support/FakeInhibitor.h"
#include "support/FakeRestart.h"

namespace flashtool::testing {

// The fields of a build configuration that the dialog reads.
struct ConfigFields {
    std::string key = "TARN2";
    std::string target = "ORIN    DVD RW QV-5500A ";
    std::string family = "KM7240";  // written from offset 38, up to 10 bytes
    std::string pattern = "QZ*.**";
};

inline std::array<uint8_t, 64> ConfigBytes(const ConfigFields& fields) {
    std::array<uint8_t, 64> bytes{};
    const auto put = [&bytes](size_t offset, const std::string& text, size_t size) {
        for (size_t i = 0; i < text.size() && i < size; ++i) {
            bytes[offset + i] = static_cast<uint8_t>(text[i]);
        }
    };
    put(0, fields.key, 8);
    put(8, fields.target, 24);
    put(32, "1.0e", 4);
    put(38, fields.family, 10);
    put(48, fields.pattern, 8);
    return bytes;
}

// The drives of the demo: this build's target, then two it cannot update.
inline std::vector<VirtualDriveSetup> DemoSetups() {
    return {{"ORIN    DVD RW QV-5500A ", "1.0d", "ORIN      QZ", false},
            {"ORIN    DVD RW QV-5520A ", "2.1b", "QX-5520UL QZ", false},
            {"KESTREL DVD-ROM KD-1650 ", "0113", "", false}};
}

// Counts what the dialog asks of the back-end, and can refuse to load.
class ObservedBackend final : public PassThroughBackend {
public:
    struct Counts {
        int loads = 0;
        int discoveries = 0;
        int commands = 0;
    };
    ObservedBackend(std::unique_ptr<PassThroughBackend> inner, Counts& counts, bool loadFails)
        : inner(std::move(inner)), counts(counts), loadFails(loadFails) {}

    bool Start(UserNotifier& notifier) override {
        ++counts.loads;
        return !loadFails && inner->Start(notifier);
    }
    std::string LoadFailureMessage() const override { return "The drive interface is missing."; }
    void BeginDiscovery() override {
        ++counts.discoveries;
        inner->BeginDiscovery();
    }
    std::optional<DeviceAddress> NextCandidate() override { return inner->NextCandidate(); }
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override {
        ++counts.commands;
        return inner->Send(device, request);
    }
    void CloseDevice(const DeviceAddress& device) override { inner->CloseDevice(device); }

private:
    std::unique_ptr<PassThroughBackend> inner;
    Counts& counts;
    bool loadFails;
};

struct DialogRig {
    explicit DialogRig(const ConfigFields& fields = {},
                       const std::vector<VirtualDriveSetup>& setups = DemoSetups(),
                       bool loadFails = false)
        : region(ConfigBytes(fields)) {
        for (const VirtualDriveSetup& setup : setups) {
            drives.push_back(std::make_shared<VirtualDrive>(setup));
        }
        auto backend = std::make_unique<ObservedBackend>(
            std::make_unique<EmulatedBackend>(drives, diagnostics), counts, loadFails);
        dialog = std::make_unique<FlashDialog>(FlashDialogParts{
            window, std::move(backend), region, restart, clock, diagnostics, inhibitor});
    }

    // Start-up with the notice accepted (unless the test scripted other answers).
    DialogRig& Started() {
        started = dialog->OnInitDialog();
        dialog->WaitForRun();  // the scan
        return *this;
    }

    // Selects the n-th drive item (or the root for -1) and tells the dialog.
    void Select(int drive) {
        const TreeItem root = window.RootTreeItem();
        window.selected = drive < 0 ? root : window.Children(root).at(drive);
        dialog->OnSelectionChanged();
    }

    FakeDialogWindow window;
    CapturedDiagnostics diagnostics;
    FakeClock clock;
    FakeRestart restart;
    FakeInhibitor inhibitor;
    ObservedBackend::Counts counts;
    std::array<uint8_t, 64> region;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    std::unique_ptr<FlashDialog> dialog;
    bool started = false;
};

}  // namespace flashtool::testing
