#pragma once

// The one harness that wires up a FlashDialog for tests: the recording window, virtual
// drives (the demo's by default), the fake clock, restart and keep-awake lock, a back-end
// that counts what the dialog asks of it, and a stored region: this build's own, one a test
// packed, or only the configuration block of a build the test describes, laid out by the
// packer's library.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/FlashDialog.h"
#include "core/Bytes.h"
#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "data/EmbeddedRegion.h"
#include "emulator/DemoDrives.h"
#include "emulator/EmulatedBackend.h"
#include "image/Checksums.h"
#include "image/ImageLayout.h"
#include "image/StoredRegion.h"
#include "support/DriveChanges.h"
#include "support/FakeDialogWindow.h"
#include "support/FakeInhibitor.h"
#include "support/FakeRestart.h"
#include "tools/fwpack/BuildDescription.h"
#include "transport/ForwardingBackend.h"

namespace flashtool::testing {

using Drives = std::vector<std::shared_ptr<VirtualDrive>>;

// The fields of a build configuration that the dialog reads; the rest is the packer's.
struct ConfigFields {
    std::string key = "TARN2";
    std::string target = "ORIN    DVD RW QV-5500A ";
    std::string family = "KM7240";  // the program reads the field and the 2 bytes after it
    std::string pattern = "QZ*.**";
};

// The configuration block alone, as the packer lays it out for such a build.
inline std::vector<uint8_t> ConfigRegion(const ConfigFields& fields) {
    BuildDescription description;
    description.key = fields.key;
    description.target = fields.target;
    description.revision = "1.0e";
    description.family = fields.family;
    description.pattern = fields.pattern;
    const auto bytes = ConfigFor(description, 0).Bytes();
    return {bytes.begin(), bytes.end()};
}

inline std::vector<uint8_t> ThisBuildRegion() {
    const auto region = EmbeddedStoredRegion();
    return {region.begin(), region.end()};
}

inline Drives MakeDrives(const std::vector<VirtualDriveSetup>& setups) {
    Drives made;
    for (const VirtualDriveSetup& setup : setups) {
        made.push_back(std::make_shared<VirtualDrive>(setup));
    }
    return made;
}

// This build's target as it leaves the factory: older firmware, the OEM tag that selects
// payload B, the large buffer, an empty tray.
inline VirtualDriveSetup TargetAt(std::string revision) {
    return {"ORIN    DVD RW QV-5500A ", std::move(revision), "ORIN      QZ", false};
}

// After a test changed bytes of a region: writes the region sums again, so that only the
// change the test is about remains visible (the stored-region check passes).
inline void ResealRegion(std::vector<uint8_t>& region, std::string_view variantTag) {
    const auto config = *BuildConfig::FromBytes(region);
    const auto header =
        PayloadHeader::FromBytes(std::span(region).subspan(kPayloadHeaderOffset)).value();
    const size_t covered = *CoveredLength(region.size(), variantTag, config, header);
    const std::span<const uint8_t> bytes(region.data(), covered);
    StoreLittleEndian16(region, covered, LinearSum(bytes));
    StoreLittleEndian16(region, covered + 2, RotatedSum(bytes));
}

// Counts what the dialog asks of the back-end, and can refuse to start.
class ObservedBackend final : public ForwardingBackend {
public:
    struct Counts {
        int loads = 0;
        int discoveries = 0;
        int commands = 0;
    };
    ObservedBackend(std::unique_ptr<PassThroughBackend> inner, Counts& counts, bool loadFails)
        : ForwardingBackend(std::move(inner)), counts(counts), loadFails(loadFails) {}

    bool Start(UserNotifier& notifier) override {
        ++counts.loads;
        return !loadFails && Inner().Start(notifier);
    }
    std::string LoadFailureMessage() const override { return "The drive interface is missing."; }
    void BeginDiscovery() override {
        ++counts.discoveries;
        Inner().BeginDiscovery();
    }
    PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) override {
        ++counts.commands;
        return Inner().Send(device, request);
    }

private:
    Counts& counts;
    bool loadFails;
};

struct DialogHarness {
    // The configuration block of a described build, over these drives.
    explicit DialogHarness(const ConfigFields& fields = {}, Drives built = MakeDemoDrives(),
                           bool loadFails = false)
        : DialogHarness(ConfigRegion(fields), std::move(built), loadFails) {}
    DialogHarness(const ConfigFields& fields, const std::vector<VirtualDriveSetup>& setups,
                  bool loadFails = false)
        : DialogHarness(ConfigRegion(fields), MakeDrives(setups), loadFails) {}
    // A whole stored region (this build's, or one a test packed or changed).
    DialogHarness(std::vector<uint8_t> storedRegion, const std::vector<VirtualDriveSetup>& setups)
        : DialogHarness(std::move(storedRegion), MakeDrives(setups), false) {}
    DialogHarness(std::vector<uint8_t> storedRegion, Drives built, bool loadFails = false)
        : region(std::move(storedRegion)), drives(std::move(built)) {
        auto backend = std::make_unique<ObservedBackend>(
            std::make_unique<EmulatedBackend>(drives, diagnostics), counts, loadFails);
        dialog = std::make_unique<FlashDialog>(FlashDialogParts{
            window, std::move(backend), region, restart, clock, diagnostics, inhibitor});
    }

    // Start-up with the notice accepted (unless the test scripted other answers), once the
    // scan's worker has filled the tree.
    DialogHarness& Started() {
        started = dialog->OnInitDialog();
        dialog->WaitForRun();
        return *this;
    }

    // Selects the n-th drive item (or the root for -1) and tells the dialog.
    void Select(int drive) {
        if (drive < 0) {
            window.selection = TreeSelection::Computer();
        } else {
            static_cast<void>(window.drives.at(static_cast<size_t>(drive)));  // it is shown
            window.SelectDrive(static_cast<size_t>(drive));
        }
        dialog->OnSelectionChanged();
    }

    // Start-up (notice accepted), the n-th drive selected, then a clean slate: no boxes, no
    // trace.
    void StartAndSelect(int drive) {
        window.answers.push_back(BoxAnswer::Ok);
        ASSERT_TRUE(dialog->OnInitDialog());
        dialog->WaitForRun();
        window.boxes.clear();
        Select(drive);
        for (const auto& shared : drives) {
            shared->ClearTrace();
        }
    }

    // Presses Upgrade with the given answers to the boxes, and waits for the worker.
    void Upgrade(std::vector<BoxAnswer> answers = {}) {
        window.answers.assign(answers.begin(), answers.end());
        window.boxes.clear();
        dialog->OnUpgrade();
        dialog->WaitForRun();
    }

    VirtualDrive& Drive(size_t n = 0) { return *drives.at(n); }

    // The log's lines after the selection display (each appended line starts with CR LF).
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        const std::string& log = window.Log();
        size_t at = log.find("\r\n");
        while (at != std::string::npos) {
            const size_t next = log.find("\r\n", at + 2);
            lines.push_back(log.substr(at + 2, next == std::string::npos ? next : next - at - 2));
            at = next;
        }
        return lines;
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const ShownBox& box : window.boxes) {
            texts.push_back(box.request.text);
        }
        return texts;
    }
    // The window as every end of a run must leave it.
    bool Idle(int progress) const {
        return window.progress == progress && !window.timerRunning &&
               window.enabled.at(DialogButton::Upgrade) && window.enabled.at(DialogButton::Exit) &&
               window.closeEnabled && !dialog->RunInProgress() && inhibitor.held == 0;
    }
    size_t ChangingCommands(size_t n = 0) { return CountDriveChanges(Drive(n).Trace()); }

    FakeDialogWindow window;
    CapturedDiagnostics diagnostics;
    FakeClock clock;
    FakeRestart restart;
    FakeInhibitor inhibitor;
    ObservedBackend::Counts counts;
    std::vector<uint8_t> region;
    Drives drives;
    std::unique_ptr<FlashDialog> dialog;
    bool started = false;
};

}  // namespace flashtool::testing
