#pragma once

// What the user is told for each result code: the log lines before the message box, the
// box itself, and the log lines after it.

#include <optional>
#include <string_view>
#include <vector>

#include "core/MessageBox.h"
#include "drive/ResultCode.h"

namespace flashtool {

struct ResultMessage {
    std::vector<std::string_view> logBefore;
    MessageBoxRequest box;
    std::vector<std::string_view> logAfter;
};

// Nothing for a value that is not a defined code: such a report only resets the window.
std::optional<ResultMessage> MessageForResult(ResultCode code);

}  // namespace flashtool
