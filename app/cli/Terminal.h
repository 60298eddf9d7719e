#pragma once

// What the command line needs of the terminal it runs in: whether someone can answer
// there, where a question must be written for them to see it, a line typed in answer, and
// whether progress may be drawn in place. Tests hand in a scripted one.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/Diagnostics.h"

namespace flashtool {

class Terminal {
public:
    virtual ~Terminal() = default;
    // Someone can answer a question: standard input is a terminal.
    virtual bool Interactive() const = 0;
    // Standard output is a terminal: progress may be rewritten in place.
    virtual bool DrawsProgress() const = 0;
    // How many characters a line of standard output's terminal holds.
    virtual unsigned Columns() const { return kDefaultColumns; }
    static constexpr unsigned kDefaultColumns = 80;
    // The next line typed, without its line feed; none at the end of input.
    virtual std::optional<std::string> ReadLine() = 0;
    // Standard output is the terminal the answers are typed on: a question written there
    // with the other lines is seen. False when it goes to a file or a pipe.
    virtual bool OutputIsAnswerTerminal() const { return true; }
    // Writes a question on the terminal the answers are typed on, when standard output
    // does not reach it.
    virtual void WriteToAnswerTerminal(std::string_view /*text*/) {}
};

// Standard input and output of the process.
class ProcessTerminal final : public Terminal {
public:
    // `mayDraw` false: never draw in place, even on a terminal.
    explicit ProcessTerminal(bool mayDraw = true) : mayDraw(mayDraw) {}
    bool Interactive() const override;
    bool DrawsProgress() const override;
    // The terminal's own width (asked each time: it may be resized), else COLUMNS, else 80.
    unsigned Columns() const override;
    std::optional<std::string> ReadLine() override;
    bool OutputIsAnswerTerminal() const override;
    // Standard input's terminal; standard error if that cannot be opened.
    void WriteToAnswerTerminal(std::string_view text) override;

private:
    bool mayDraw;
};

// COLUMNS when it holds a width, else 80: for output whose terminal does not say.
unsigned ColumnsFromEnvironment();
// Standard error is a terminal (or a console): a line there follows whatever the user
// typed (^C) or a status line drawn in place.
bool StandardErrorIsTerminal();

// Lines no one asked to see (--quiet): the run's and the back-end's detail.
class DiscardedLines final : public DiagnosticSink {
public:
    void Write(std::string_view /*text*/) override {}
};

// Standard error of the process (usage errors, and every message in --json mode, where
// standard output carries only JSON).
class StderrDiagnostics final : public DiagnosticSink {
public:
    void Write(std::string_view text) override;
};

// Writes whole lines, each with a prefix, to another sink: the drives of --all write at
// once, and a line must never be cut by another drive's. A part line waits for its end
// (or for Flush).
class PrefixedLines final : public DiagnosticSink {
public:
    PrefixedLines(DiagnosticSink& out, std::string prefix) : out(out), prefix(std::move(prefix)) {}
    ~PrefixedLines() override { Flush(); }
    const std::string& Prefix() const { return prefix; }
    void Write(std::string_view text) override;
    void Flush();

private:
    DiagnosticSink& out;
    std::string prefix;
    std::mutex mutex;
    std::string pending;
};

}  // namespace flashtool
