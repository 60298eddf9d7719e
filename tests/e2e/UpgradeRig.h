#pragma once

// A whole program without its window: FlashDialog on the recording window, virtual drives,
// the fake clock, restart and keep-awake lock, and a stored region of the test's choosing.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/FlashDialog.h"
#include "core/Bytes.h"
#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "data/EmbeddedRegion.h"
#include "emulator/EmulatedBackend.h"
#include "image/Checksums.h"
#include "image/ImageLayout.h"
#include "image/StoredRegion.h"
#include "support/DriveChanges.h"
#include "support/FakeDialogWindow.h"
#include "support/FakeInhibitor.h"
#include "support/FakeRestart.h"

namespace flashtool::testing {

inline std::vector<uint8_t> ThisBuildRegion() {
    const auto region = EmbeddedStoredRegion();
    return {region.begin(), region.end()};
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

struct UpgradeRig {
    UpgradeRig(std::vector<uint8_t> storedRegion, const std::vector<VirtualDriveSetup>& setups)
        : UpgradeRig(std::move(storedRegion), MakeDrives(setups)) {}
    // Drives built elsewhere (from a scenario file, say).
    UpgradeRig(std::vector<uint8_t> storedRegion, std::vector<std::shared_ptr<VirtualDrive>> built)
        : region(std::move(storedRegion)), drives(std::move(built)) {
        dialog = std::make_unique<FlashDialog>(
            FlashDialogParts{window, std::make_unique<EmulatedBackend>(drives, diagnostics), region,
                             restart, clock, diagnostics, inhibitor});
    }
    static std::vector<std::shared_ptr<VirtualDrive>> MakeDrives(
        const std::vector<VirtualDriveSetup>& setups) {
        std::vector<std::shared_ptr<VirtualDrive>> made;
        for (const VirtualDriveSetup& setup : setups) {
            made.push_back(std::make_shared<VirtualDrive>(setup));
        }
        return made;
    }

    // Start-up (notice accepted), the n-th drive selected.
    void StartAndSelect(int drive) {
        window.answers.push_back(BoxAnswer::Ok);
        ASSERT_TRUE(dialog->OnInitDialog());
        dialog->WaitForRun();  // the scan
        window.boxes.clear();
        window.selected = window.Children(window.RootTreeItem()).at(drive);
        dialog->OnSelectionChanged();
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
        return window.progressPos == progress && window.runningTimers.empty() &&
               window.enabled.at(ControlId::Upgrade) && window.enabled.at(ControlId::Exit) &&
               window.closeEnabled && !dialog->RunInProgress() && inhibitor.held == 0;
    }
    size_t ChangingCommands(size_t n = 0) { return CountDriveChanges(Drive(n).Trace()); }

    FakeDialogWindow window;
    CapturedDiagnostics diagnostics;
    FakeClock clock;
    FakeRestart restart;
    FakeInhibitor inhibitor;
    std::vector<uint8_t> region;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    std::unique_ptr<FlashDialog> dialog;
};

}  // namespace flashtool::testing
