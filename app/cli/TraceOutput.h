#pragma once

// Where --trace sends its lines: standard error, or a file made empty first, so that a trace
// holds one run and can go with a bug report as it is.

#include <memory>
#include <optional>
#include <string>

#include "core/Diagnostics.h"

namespace flashtool {

struct TraceOutput {
    std::unique_ptr<DiagnosticSink> sink;  // none: no --trace
    bool toStandardError = false;
    std::string error;  // the file could not be written; nothing else happens then
};

// `trace` as CliOptions holds it: none, empty (standard error) or a file's path.
// `program` starts the error line.
TraceOutput OpenTraceOutput(const std::optional<std::string>& trace, const std::string& program);

}  // namespace flashtool
