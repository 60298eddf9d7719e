#pragma once

// The line a terminal shows in place at its foot (the command line's status line), and the
// other lines going around it. Standard output and standard error share the terminal: a
// line written to either while the status line is drawn would run into it, and a status line
// left on screen when a line scrolls it up stays there for good. So every write to either
// stream goes through here: the status line is cleared first and drawn again after the text.

#include <mutex>
#include <string>
#include <string_view>

#include "core/Diagnostics.h"

namespace flashtool {

class LiveLine {
public:
    // `terminal`: the stream the line is drawn on (standard output).
    explicit LiveLine(DiagnosticSink& terminal) : terminal(terminal) {}

    // Draws `text` in place of the line shown. The caller fits it to the terminal's width: a
    // line that wraps cannot be taken back by a carriage return.
    void Show(std::string_view text);
    // Takes the line off the screen for good (until the next Show).
    void Clear();
    // Writes `text` to `sink` with the line cleared before it and drawn again after it; after
    // a part line (a question waiting for its answer) the line waits for the next Show.
    void WriteAround(DiagnosticSink& sink, std::string_view text);

private:
    DiagnosticSink& terminal;
    std::mutex mutex;
    std::string text;    // what Show gave last
    bool drawn = false;  // on screen now
};

// A stream of the terminal whose writes go around its live line.
class AroundLiveLine final : public DiagnosticSink {
public:
    AroundLiveLine(LiveLine& line, DiagnosticSink& stream) : line(line), stream(stream) {}
    void Write(std::string_view text) override { line.WriteAround(stream, text); }

private:
    LiveLine& line;
    DiagnosticSink& stream;
};

// The process's own: its live line on standard output, and its two standard streams going
// around it. Everything the command line, and what it drives (an emulated keep-awake lock, a
// restart), writes to the terminal goes through these.
LiveLine& ProcessLiveLine();
DiagnosticSink& ProcessStandardOutput();
DiagnosticSink& ProcessStandardError();

}  // namespace flashtool
