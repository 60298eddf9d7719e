#pragma once

// How the command line answers the dialog's message boxes. A message (OK only) is printed;
// a question is answered by the options where they say so, else asked on the terminal
// (y/N), and with nobody there to answer it is Cancel: nothing that changes a drive is
// sent unless someone, or --yes, said so. One prompter serves every drive of a run, so that
// questions are asked one at a time.

#include <mutex>
#include <optional>

#include "app/cli/Terminal.h"
#include "core/MessageBox.h"

namespace flashtool {

struct AnswerRules {
    bool yes = false;             // the notice and the confirmation: OK
    bool allowReinstall = false;  // the drive already has this revision: OK
    bool allowOlder = false;      // the drive has a newer revision: OK
    bool restart = false;         // the restart question: OK
};

class Prompter {
public:
    Prompter(Terminal& terminal, AnswerRules rules) : terminal(terminal), rules(rules) {}

    // Answers a question by its kind; a question asked goes to `out` (each of its lines), the
    // answer is read from the terminal. A box with an OK button only is answered OK.
    BoxAnswer Answer(const MessageBoxRequest& request, DiagnosticSink& out);

    // A restart question was answered Cancel by the rules: the computer still needs one.
    bool RestartPending() const;

private:
    // Asked where the answer is typed: on `out` when standard output is that terminal, else
    // on the terminal itself, with `out` recording the question and its answer.
    BoxAnswer Ask(const MessageBoxRequest& request, DiagnosticSink& out);

    Terminal& terminal;
    AnswerRules rules;
    mutable std::mutex mutex;
    std::optional<BoxAnswer> noticeAnswer;  // the notice is asked once for every drive
    bool restartPending = false;
};

// The lines of a box's text that are not blank, as they are.
std::string BoxLines(std::string_view text);

}  // namespace flashtool
