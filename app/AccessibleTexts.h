#pragma once

// What a screen reader hears about the dialog's controls, the same in both windows.
// Buttons are named by their texts and the tree by the label before it; the log and the
// progress bar have no label, so they are named here. A drive the build cannot update is
// described as such, since grey alone says nothing to a screen reader.

#include <string_view>

namespace flashtool {

inline constexpr std::string_view kLogAccessibleName = "Log";
inline constexpr std::string_view kProgressAccessibleName = "Progress";
inline constexpr std::string_view kGreyedDriveDescription =
    "This program cannot update this drive.";

}  // namespace flashtool
