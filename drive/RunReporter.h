#pragma once

// The small part of the main dialog that the drive commands report through: a log line,
// or a result code that resets the window and tells the user. Either thread may call it.

#include <string_view>

#include "drive/ResultCode.h"

namespace flashtool {

class RunReporter {
public:
    virtual ~RunReporter() = default;
    virtual void AppendLog(std::string_view line) = 0;
    virtual void ReportResult(ResultCode code) = 0;
};

}  // namespace flashtool
