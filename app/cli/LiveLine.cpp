#include "app/cli/LiveLine.h"

#include "app/cli/Terminal.h"

namespace flashtool {

namespace {
// Back to the line's start, and erase it.
constexpr std::string_view kClearLine = "\r\x1b[K";
}  // namespace

void LiveLine::Show(std::string_view shown) {
    std::lock_guard lock(mutex);
    text = shown;
    terminal.Write(std::string(kClearLine) + text);
    drawn = true;
}

void LiveLine::Clear() {
    std::lock_guard lock(mutex);
    if (drawn) {
        terminal.Write(kClearLine);
    }
    drawn = false;
    text.clear();
}

void LiveLine::WriteAround(DiagnosticSink& sink, std::string_view written) {
    std::lock_guard lock(mutex);
    if (!drawn) {
        sink.Write(written);
        return;
    }
    const bool wholeLines = written.ends_with('\n');
    if (&sink == &terminal) {
        // One write: the line and the text reach the terminal together.
        sink.Write(std::string(kClearLine) + std::string(written) +
                   (wholeLines ? text : std::string()));
    } else {
        terminal.Write(kClearLine);
        sink.Write(written);
        if (wholeLines) {
            terminal.Write(text);
        }
    }
    drawn = wholeLines;
}

namespace {

struct ProcessStreams {
    StdoutDiagnostics standardOutput;
    StderrDiagnostics standardError;
    LiveLine line{standardOutput};
    AroundLiveLine output{line, standardOutput};
    AroundLiveLine error{line, standardError};
};

ProcessStreams& Streams() {
    static ProcessStreams streams;
    return streams;
}

}  // namespace

LiveLine& ProcessLiveLine() {
    return Streams().line;
}

DiagnosticSink& ProcessStandardOutput() {
    return Streams().output;
}

DiagnosticSink& ProcessStandardError() {
    return Streams().error;
}

}  // namespace flashtool
