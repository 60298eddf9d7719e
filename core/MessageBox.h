#pragma once

// A modal message box as the program asks for one, free of any toolkit.

#include <cstdint>
#include <optional>
#include <string>

namespace flashtool {

enum class BoxButtons : uint8_t { Ok, OkCancel };
enum class BoxIcon : uint8_t { None, Exclamation, Information, Stop };
enum class BoxAnswer : uint8_t { Ok, Cancel };

// What a box asks, so that whoever answers it (a person, or the command line's rules) knows
// without reading its text. None: a message, or a question no rule answers.
enum class QuestionKind : uint8_t {
    None,
    StartupNotice,  // the notice at start-up; Cancel ends the program
    SameRevision,   // the drive already has this build's revision: install it again?
    DriveNewer,     // the drive's revision is newer than this build's: install the older one?
    Confirmation,   // the last question before the first command that changes the drive
    Restart,        // restart the computer now?
};

struct MessageBoxRequest {
    std::string text;
    std::optional<std::string> caption;  // none: the application's title
    BoxButtons buttons = BoxButtons::Ok;
    BoxIcon icon = BoxIcon::None;
    QuestionKind question = QuestionKind::None;
    // More that a window shows below the text: what the log has just said (the revision the
    // drive reports after an update), so that the box does not hide it. A terminal, whose log
    // lines are in view above the question, leaves it out.
    std::string detail;
    // Two boxes are the same when they show the same: the kind is not shown.
    friend bool operator==(const MessageBoxRequest& a, const MessageBoxRequest& b) {
        return a.text == b.text && a.caption == b.caption && a.buttons == b.buttons &&
               a.icon == b.icon && a.detail == b.detail;
    }
};

}  // namespace flashtool
