// The drive tree: filled once at start-up, and what a selection shows.

#include <algorithm>
#include <array>

#include "app/FlashDialog.h"
#include "app/GreyRules.h"

namespace flashtool {

void FlashDialog::FillDriveTree() {
    window.ClearTree();
    const TreeItem root = window.InsertTreeItem(kNoTreeItem, kRootItemText, TreeImage::Computer);
    const uint8_t count = std::min(transport.ScanDevices(), ScsiTransport::kMaxDevices);
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
    if (selected == kNoTreeItem) {
        return;
    }
    if (selected == root) {
        // Upgrade keeps its state; the Upgrade command refuses on this text.
        window.SetControlText(ControlId::Log, kNoDriveSelected);
        return;
    }
    selectedIndex = ChildPosition(root, selected);
    if (!RunInProgress()) {
        window.EnableControl(ControlId::Upgrade, true);
    }
    window.SetControlText(ControlId::Log, SelectionDisplay());
}

uint32_t FlashDialog::ChildPosition(TreeItem root, TreeItem item) const {
    const size_t limit = window.TreeItemCount();
    TreeItem child = window.FirstChild(root);
    for (uint32_t position = 0; position <= limit && child != kNoTreeItem; ++position) {
        if (child == item) {
            return position;
        }
        child = window.NextSibling(child);
    }
    return 0;
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
