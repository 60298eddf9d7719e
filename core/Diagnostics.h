#pragma once

// Low-level diagnostic lines ("Read BufferSize Command Fail!!\n", the emulated drive's
// command trace, ...) go to the process's standard output, never to the window. Tests
// capture them instead.

#include <mutex>
#include <string>
#include <string_view>

namespace flashtool {

class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;
    // Writes the text as given; the caller supplies any line feeds.
    virtual void Write(std::string_view text) = 0;
};

class StdoutDiagnostics final : public DiagnosticSink {
public:
    void Write(std::string_view text) override;
};

class CapturedDiagnostics final : public DiagnosticSink {
public:
    void Write(std::string_view text) override;
    std::string Text() const;
    void Clear();

private:
    mutable std::mutex mutex;
    std::string text;
};

}  // namespace flashtool
