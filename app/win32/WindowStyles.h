#pragma once

// The window styles and control classes the dialog templates use, spelled without the
// Windows headers so that the templates are built and checked on any platform; the Win32
// window checks each value against the system's headers.

#include <cstdint>

namespace flashtool::win32 {

// Windows and dialogs.
constexpr uint32_t kWsPopup = 0x80000000;
constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsCaption = 0x00C00000;
constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kWsVScroll = 0x00200000;
constexpr uint32_t kWsSysMenu = 0x00080000;
constexpr uint32_t kWsGroup = 0x00020000;
constexpr uint32_t kWsMinimizeBox = 0x00020000;
constexpr uint32_t kWsTabStop = 0x00010000;
constexpr uint32_t kWsExClientEdge = 0x00000200;
constexpr uint32_t kDsModalFrame = 0x0080;
constexpr uint32_t kDsSetFont = 0x0040;
constexpr uint32_t kDsCenter = 0x0800;

// Controls.
constexpr uint32_t kBsPushButton = 0x0000;
constexpr uint32_t kBsDefPushButton = 0x0001;
constexpr uint32_t kSsLeft = 0x0000;
constexpr uint32_t kSsIcon = 0x0003;
constexpr uint32_t kSsNoPrefix = 0x0080;
constexpr uint32_t kEsMultiline = 0x0004;
constexpr uint32_t kEsAutoVScroll = 0x0040;
constexpr uint32_t kEsReadOnly = 0x0800;
constexpr uint32_t kTvsHasButtons = 0x0001;
constexpr uint32_t kTvsHasLines = 0x0002;
constexpr uint32_t kTvsLinesAtRoot = 0x0004;
constexpr uint32_t kTvsDisableDragDrop = 0x0010;
constexpr uint32_t kTvsShowSelAlways = 0x0020;
constexpr uint32_t kTvsTrackSelect = 0x0200;

// The predefined classes a template names by number, and the common controls by name.
constexpr uint16_t kButtonAtom = 0x0080;
constexpr uint16_t kEditAtom = 0x0081;
constexpr uint16_t kStaticAtom = 0x0082;
inline constexpr char16_t kTreeViewClass[] = u"SysTreeView32";
inline constexpr char16_t kProgressClass[] = u"msctls_progress32";

// The About box's OK button (IDOK).
constexpr uint16_t kIdOk = 1;

}  // namespace flashtool::win32
