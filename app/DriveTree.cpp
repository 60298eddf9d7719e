// The drive tree: scanned and filled once at start-up, and what a selection shows.

#include <algorithm>
#include <array>

#include "app/FlashDialog.h"
#include "app/GreyRules.h"

namespace flashtool {

void FlashDialog::ScanWorker() {
    // A close asked for during the scan stops it before its next candidate.
    const uint8_t found = transport.ScanDevices([this] { return !closeRequested.load(); });
    // The worker's last window call: once it has been served, the user-interface thread may
    // wait for the worker to end.
    window.RunOnWindowThread([&] {
        if (!closeRequested.load()) {
            ShowScannedDrives(found);
        }
        EndBusy();
        HonourCloseRequest();
    });
}

void FlashDialog::FillDriveTree() {
    ShowScannedDrives(transport.ScanDevices());
}

void FlashDialog::ShowScannedDrives(uint8_t found) {
    window.ClearTree();
    const TreeItem root = window.InsertTreeItem(kNoTreeItem, kRootItemText, TreeImage::Computer);
    const uint8_t count = std::min(found, ScsiTransport::kMaxDevices);
    if (count == 0) {
        ShowMessage(kNoDeviceFound);
    }
    for (uint8_t row = 0; row < count; ++row) {
        transport.SelectDevice(row);
        std::array<char, 50> description{};
        transport.DescribeSelected(description);
        std::copy_n(description.begin(), driveText.size(), driveText.begin());
        const std::string_view text(description.data());
        const TreeItem item = window.InsertTreeItem(root, text, TreeImage::Drive);
        const std::string_view identification = WholeField(driveText).substr(0, 24);
        if (IsGreyedDrive(config, identification, gating.currentFamily)) {
            window.SetTreeItemColor(item, kGreyedItemColor);
        }
    }
    window.ExpandTreeItem(root);
    transport.SelectDevice(0);
}

void FlashDialog::ShowSelection() {
    selectedIndex = 0;
    const TreeItem root = window.RootTreeItem();
    const TreeItem selected = window.SelectedTreeItem();
    driveText = MakeFixedText<kDriveTextSize>(
        selected == kNoTreeItem ? std::string() : window.TreeItemText(selected));
    driveText.back() = '\0';
    if (selected == kNoTreeItem || selected == root) {
        // An empty selection (Ctrl+click on the selected item clears it) is shown as the
        // root is: nothing is chosen, and the Upgrade command refuses on this text. The log
        // no longer names the drive that was selected before. Upgrade keeps its state.
        window.SetControlText(ControlId::Log, kNoDriveSelected);
        return;
    }
    const std::optional<uint32_t> position = ChildPosition(root, selected);
    selectedIndex = position.value_or(0);
    if (!RunInProgress()) {
        window.EnableControl(ControlId::Upgrade, true);
    }
    window.SetControlText(ControlId::Log, SelectionDisplay());
}

std::optional<uint32_t> FlashDialog::ChildPosition(TreeItem root, TreeItem item) const {
    const size_t limit = window.TreeItemCount();
    TreeItem child = window.FirstChild(root);
    for (uint32_t position = 0; position <= limit && child != kNoTreeItem; ++position) {
        if (child == item) {
            return position;
        }
        child = window.NextSibling(child);
    }
    return std::nullopt;
}

std::optional<uint8_t> FlashDialog::ChosenRow() const {
    const TreeItem root = window.RootTreeItem();
    const TreeItem selected = window.SelectedTreeItem();
    if (selected == kNoTreeItem || selected == root) {
        return std::nullopt;
    }
    const std::optional<uint32_t> position = ChildPosition(root, selected);
    // The selection display must describe the same drive: a tree that changed under it
    // without telling us is not a choice the operator saw.
    if (!position || *position != selectedIndex || *position >= ScsiTransport::kMaxDevices) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(*position);
}

void FlashDialog::RefreshDrive(uint8_t row) {
    if (!transport.RefreshRow(row)) {
        return;  // the drive does not answer now: the table keeps what it had
    }
    std::array<char, 50> description{};
    transport.DescribeRow(row, description);
    const std::string text(description.data());
    window.RunOnWindowThread([&] {
        const TreeItem root = window.RootTreeItem();
        TreeItem child = window.FirstChild(root);
        for (uint8_t position = 0; position < row && child != kNoTreeItem; ++position) {
            child = window.NextSibling(child);
        }
        if (child == kNoTreeItem) {
            return;
        }
        window.SetTreeItemText(child, text);
        if (window.SelectedTreeItem() == child) {
            driveText = MakeFixedText<kDriveTextSize>(text);
            driveText.back() = '\0';
        }
    });
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
