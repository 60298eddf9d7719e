#pragma once

// The main dialog and the About box as the program lays them out: control ids, the texts
// the controls start with, their rectangles in dialog units and the tab order. The Qt
// window builds itself from these, and the tests' fake window starts from the same texts.

#include <array>
#include <cstdint>
#include <string_view>

namespace flashtool {

enum class ControlId : int {
    Exit = 2,             // push button: the cancel command
    DevicesLabel = 1001,  // static text above the tree
    DriveTree = 1002,     // tree view
    Progress = 1007,      // progress bar
    Upgrade = 1009,       // push button: the Upgrade command
    Log = 1014,           // multi-line, read-only edit: information and log window
};

enum class ControlKind : uint8_t { PushButton, StaticText, TreeView, ProgressBar, Edit };

// A rectangle in dialog units (horizontal: a quarter of the dialog font's average character
// width; vertical: an eighth of its height).
struct DluRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const DluRect&, const DluRect&) = default;
};

struct ControlTemplate {
    ControlId id;
    ControlKind kind;
    std::string_view text;
    DluRect rect;
    bool tabStop;
};

// The dialog's controls in tab order.
inline constexpr std::array<ControlTemplate, 6> kMainControls{{
    {ControlId::Exit, ControlKind::PushButton, "E&xit", {51, 136, 76, 14}, true},
    {ControlId::DevicesLabel, ControlKind::StaticText, "&Devices:", {8, 3, 120, 9}, false},
    {ControlId::DriveTree, ControlKind::TreeView, "", {8, 13, 292, 41}, true},
    {ControlId::Progress, ControlKind::ProgressBar, "", {8, 122, 292, 10}, false},
    {ControlId::Upgrade, ControlKind::PushButton, "&Upgrade", {183, 136, 76, 14}, true},
    {ControlId::Log, ControlKind::Edit, "", {8, 56, 292, 62}, true},
}};

// The text a control of the main dialog starts with.
constexpr std::string_view TemplateText(ControlId id) {
    for (const ControlTemplate& control : kMainControls) {
        if (control.id == id) {
            return control.text;
        }
    }
    return {};
}

inline constexpr int kMainDialogWidth = 310;  // dialog units
inline constexpr int kMainDialogHeight = 156;
inline constexpr std::string_view kMainCaption = "Flash Tool (ver. A-7.6 beta5)";
inline constexpr std::string_view kDialogFontFamily = "Arial";
inline constexpr int kDialogFontPoints = 9;

// The string table.
inline constexpr std::string_view kStringAbout = "About flash(&A)...";                  // 101
inline constexpr std::string_view kStringSelectDrive = "Please select target &Drive:";  // 102
inline constexpr std::string_view kStringClose = "&Close";                              // 103
inline constexpr std::string_view kStringUpdate = "&Update";                            // 104

// The system-menu command of the About entry; commands are compared with their low four
// bits masked off, as the system uses them for its own purposes.
inline constexpr uint32_t kAboutCommand = 16;
constexpr bool IsAboutCommand(uint32_t command) {
    return (command & 0xFFF0) == kAboutCommand;
}

// The result a dialog ends with when it is cancelled.
inline constexpr int kDialogCancel = 2;

// Timer 1 steps the progress bar during a run.
inline constexpr int kProgressTimerId = 1;
inline constexpr uint32_t kProgressTimerPeriodMs = 700;

// The About box.
inline constexpr int kAboutWidth = 235;
// Below the notice, four lines say what this build is (AboutBuildText).
inline constexpr int kAboutHeight = 91;
inline constexpr std::string_view kAboutCaption = "About Halden Flash Tool";
inline constexpr std::string_view kAboutVersionText = "Halden Flash Ver. A-7.6";
inline constexpr std::string_view kAboutNoticeText = "Firmware upgrade tool for optical drives.";
inline constexpr DluRect kAboutIconRect{11, 17, 20, 20};
inline constexpr DluRect kAboutVersionRect{40, 10, 119, 8};
// The notice runs on under the OK button: at 119 units its words wrapped out of sight.
inline constexpr DluRect kAboutNoticeRect{40, 25, 188, 8};
inline constexpr DluRect kAboutOkRect{178, 7, 50, 14};
inline constexpr DluRect kAboutBuildRect{40, 41, 188, 40};

}  // namespace flashtool
