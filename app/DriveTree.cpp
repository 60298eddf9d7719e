// The drive tree: scanned and filled once at start-up, and what a selection shows.

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

#include "app/FlashDialog.h"
#include "app/GreyRules.h"
#include "app/LogText.h"
#include "app/RunHistory.h"

namespace flashtool {

void FlashDialog::ScanWorker() {
    // A close asked for during the scan stops it before its next candidate.
    const uint8_t found = transport.ScanDevices([this] { return !closeRequested.load(); });
    // Read from the table the scan filled: settling the history sends nothing more.
    const std::vector<std::string> settled = ResolveHistory();
    // The worker's last window call: once it has been served, the user-interface thread may
    // wait for the worker to end.
    window.RunOnWindowThread([&] {
        if (!closeRequested.load()) {
            ShowScannedDrives(found);
            for (const std::string& line : settled) {
                window.SetLogText(ComposeLogText(window.LogText(), line));
            }
        }
        EndBusy();
        HonourCloseRequest();
    });
}

void FlashDialog::FillDriveTree() {
    ShowScannedDrives(transport.ScanDevices());
    for (const std::string& line : ResolveHistory()) {
        AppendLog(line);
    }
}

std::vector<std::string> FlashDialog::ResolveHistory() {
    if (history == nullptr || !resolvesHistory) {
        return {};
    }
    return ResolvePending(*history, PresentDrives(transport), programVersion,
                          std::chrono::system_clock::now());
}

void FlashDialog::ShowScannedDrives(uint8_t count) {
    std::vector<DriveItem> drives;
    drives.reserve(count);
    for (uint8_t row = 0; row < count; ++row) {
        transport.SelectDevice(row);
        std::array<char, 50> description{};
        transport.DescribeSelected(description);
        std::copy_n(description.begin(), driveText.size(), driveText.begin());
        const std::string_view identification = WholeField(driveText).substr(0, 24);
        drives.push_back(DriveItem{std::string(description.data()),
                                   IsGreyedDrive(config, identification, gating.currentFamily)});
    }
    shownDrives.clear();
    for (const DriveItem& drive : drives) {
        shownDrives.push_back(drive.text);
    }
    window.ShowDrives(kRootItemText, drives);
    if (count == 0) {
        // The box's own words say nothing of where to look: what to check goes below them.
        window.ShowMessageBox(MessageBoxRequest{std::string(kNoDeviceFound), std::nullopt,
                                                BoxButtons::Ok, BoxIcon::None, QuestionKind::None,
                                                transport.NoDriveHint()});
    }
    transport.SelectDevice(0);
}

void FlashDialog::ShowSelection() {
    selectedIndex = 0;
    const TreeSelection selection = window.Selection();
    const std::optional<size_t> selected = selection.DrivePosition();
    if (!selected || *selected >= shownDrives.size()) {
        // Nothing chosen (the computer, or an empty selection: Ctrl+click on the selected
        // item clears it): the Upgrade command refuses on this text. The log no longer names
        // the drive that was selected before. Upgrade keeps its state.
        const bool computer = selection.item == TreeSelection::Item::Computer;
        driveText = MakeFixedText<kDriveTextSize>(computer ? kRootItemText : std::string_view());
        window.SetLogText(kNoDriveSelected);
        return;
    }
    driveText = MakeFixedText<kDriveTextSize>(shownDrives[*selected]);
    driveText.back() = '\0';
    selectedIndex = static_cast<uint32_t>(*selected);
    if (!RunInProgress()) {
        window.EnableButton(DialogButton::Upgrade, true);
    }
    window.SetLogText(SelectionDisplay());
}

std::optional<uint8_t> FlashDialog::ChosenRow() const {
    const std::optional<size_t> selected = window.Selection().DrivePosition();
    // The selection display must describe the same drive: a tree that changed under it
    // without telling us is not a choice the operator saw.
    if (!selected || *selected != selectedIndex || *selected >= shownDrives.size() ||
        *selected >= ScsiTransport::kMaxDevices) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(*selected);
}

bool FlashDialog::RefreshDrive(uint8_t row) {
    if (!transport.RefreshRow(row)) {
        return false;  // the drive does not answer now: the table keeps what it had
    }
    std::array<char, 50> description{};
    transport.DescribeRow(row, description);
    const std::string text(description.data());
    window.RunOnWindowThread([&] {
        if (row >= shownDrives.size()) {
            return;
        }
        shownDrives[row] = text;
        window.SetDriveText(row, text);
        if (window.Selection() == TreeSelection::Drive(row)) {
            driveText = MakeFixedText<kDriveTextSize>(text);
            driveText.back() = '\0';
        }
    });
    return true;
}

std::string FlashDialog::SelectionDisplay() const {
    const std::string_view text = DriveText();
    const std::string_view identification = text.substr(0, std::min<size_t>(text.size(), 24));
    if (Brand() == BrandCode::QZ) {
        return std::string(identification);
    }
    const std::string_view revision = text.size() > 24 ? text.substr(24) : std::string_view();
    return std::string(identification) + std::string(kCurrentFirmware) + std::string(revision);
}

}  // namespace flashtool
