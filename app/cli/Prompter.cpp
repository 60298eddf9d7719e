#include "app/cli/Prompter.h"

#include <algorithm>
#include <cctype>

namespace flashtool {

std::string BoxLines(std::string_view text) {
    std::string lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        if (std::any_of(line.begin(), line.end(), [](char c) { return c != ' '; })) {
            lines.append(line);
            lines += '\n';
        }
        start = end + 1;
    }
    return lines;
}

BoxAnswer Prompter::Answer(const MessageBoxRequest& request, DiagnosticSink& out) {
    if (request.buttons != BoxButtons::OkCancel) {
        return BoxAnswer::Ok;
    }
    std::lock_guard lock(mutex);
    switch (request.question) {
        case QuestionKind::StartupNotice:
            if (!noticeAnswer) {
                noticeAnswer = rules.yes ? BoxAnswer::Ok : Ask(request, out);
            }
            return *noticeAnswer;
        case QuestionKind::Confirmation:
            return rules.yes ? BoxAnswer::Ok : Ask(request, out);
        // Reinstalling or going back is never typed at by chance: only the option says so.
        // Without it the drive is up to date, or newer, and nothing is asked.
        case QuestionKind::SameRevision:
            return rules.allowReinstall ? BoxAnswer::Ok : BoxAnswer::Cancel;
        case QuestionKind::DriveNewer:
            return rules.allowOlder ? BoxAnswer::Ok : BoxAnswer::Cancel;
        case QuestionKind::Restart:
            // The computer is restarted only when --restart says so, never on a question
            // typed at: other drives may still be written.
            if (rules.restart) {
                return BoxAnswer::Ok;
            }
            restartPending = true;
            return BoxAnswer::Cancel;
        case QuestionKind::None:
            return Ask(request, out);
    }
    return BoxAnswer::Cancel;
}

BoxAnswer Prompter::Ask(const MessageBoxRequest& request, DiagnosticSink& out) {
    const std::string lines = BoxLines(request.text);
    if (!terminal.Interactive()) {
        out.Write(lines + "(no terminal to answer on: Cancel)\n");
        return BoxAnswer::Cancel;
    }
    // The question ends its line: a drive's lines are written whole (--all), and the
    // answer is typed on the next.
    const std::string question = lines.substr(0, lines.size() - 1) + " [y/N]";
    const bool seen = terminal.OutputIsAnswerTerminal();
    if (seen) {
        out.Write(question + "\n");
    } else {
        // Standard output goes to a file or a pipe: the question is asked where it is
        // answered, with the drive's prefix of --all, and the output records it with its
        // answer below.
        const auto* prefixed = dynamic_cast<const PrefixedLines*>(&out);
        const std::string prefix = prefixed != nullptr ? prefixed->Prefix() : "";
        std::string shown;
        for (size_t start = 0; start < question.size();) {
            const size_t end = std::min(question.find('\n', start), question.size());
            shown += prefix + question.substr(start, end - start) + "\n";
            start = end + 1;
        }
        terminal.WriteToAnswerTerminal(shown);
    }
    const std::optional<std::string> typed = terminal.ReadLine();
    std::string answer = typed.value_or("");
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const BoxAnswer given = answer == "y" || answer == "yes" ? BoxAnswer::Ok : BoxAnswer::Cancel;
    if (!seen) {
        out.Write(question + " " +
                  (!typed                   ? "(end of input: Cancel)"
                   : given == BoxAnswer::Ok ? "yes"
                                            : "no") +
                  "\n");
    }
    return given;
}

bool Prompter::RestartPending() const {
    std::lock_guard lock(mutex);
    return restartPending;
}

}  // namespace flashtool
