#include "app/cli/TraceOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/cli/Terminal.h"

namespace flashtool {

namespace {

// One fwrite per line (the drives of --all trace at once, and stdio locks each call), and
// a flush after it, so that a trace is whole up to the last command even if the program
// is stopped.
class TraceFile final : public DiagnosticSink {
public:
    explicit TraceFile(std::FILE* file) : file(file) {}
    ~TraceFile() override { std::fclose(file); }
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    void Write(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fflush(file);
    }

private:
    std::FILE* file;
};

// Not inherited by programs started meanwhile; on Windows also in binary mode, so that its
// lines end as the Linux program's do.
#ifdef _WIN32
constexpr const char* kTraceFileMode = "wbN";
#else
constexpr const char* kTraceFileMode = "we";
#endif

}  // namespace

TraceOutput OpenTraceOutput(const std::optional<std::string>& trace, const std::string& program) {
    TraceOutput output;
    if (!trace) {
        return output;
    }
    if (trace->empty()) {
        output.sink = std::make_unique<StderrDiagnostics>();
        output.toStandardError = true;
        return output;
    }
    std::FILE* file = std::fopen(trace->c_str(), kTraceFileMode);
    if (file == nullptr) {
        output.error =
            program + ": cannot write the trace file " + *trace + ": " + std::strerror(errno);
        return output;
    }
    output.sink = std::make_unique<TraceFile>(file);
    return output;
}

}  // namespace flashtool
