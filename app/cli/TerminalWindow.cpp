#include "app/cli/TerminalWindow.h"

#include <cctype>

namespace flashtool {

namespace {

constexpr std::string_view kLineBreak = "\r\n";

// The letters and digits of a text, in lower case: "CheckSum not match !!" and "Check Sum
// not match !!" say the same.
std::string Words(std::string_view text) {
    std::string words;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            words += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return words;
}

}  // namespace

TerminalWindow::TerminalWindow(Prompter& prompterIn, DiagnosticSink* outIn,
                               DiagnosticSink& questionsIn)
    : prompter(prompterIn), out(outIn), questions(questionsIn) {}

void TerminalWindow::SetOutput(DiagnosticSink* newOut) {
    std::lock_guard lock(mutex);
    out = newOut;
}

void TerminalWindow::Print(std::string_view line) {
    logLines.emplace_back(line);
    if (out != nullptr && !declinedByRule) {
        out->Write(std::string(line) + "\n");
    }
}

void TerminalWindow::RunOnWindowThread(const std::function<void()>& work) {
    std::lock_guard lock(mutex);
    work();
}

std::string TerminalWindow::LogText() const {
    std::lock_guard lock(mutex);
    return log;
}

void TerminalWindow::SetLogText(std::string_view text) {
    std::lock_guard lock(mutex);
    // The dialog appends a line as CR LF and the line; anything else replaces the text (the
    // selection's display), which is printed whole.
    std::string_view added = text;
    if (text.starts_with(log) && text.substr(log.size()).starts_with(kLineBreak)) {
        added = text.substr(log.size() + kLineBreak.size());
    }
    for (size_t start = 0;;) {
        const size_t end = added.find(kLineBreak, start);
        Print(added.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + kLineBreak.size();
    }
    log = text;
}

void TerminalWindow::EnableButton(DialogButton button, bool on) {
    std::lock_guard lock(mutex);
    enabled[button] = on;
}

bool TerminalWindow::IsButtonEnabled(DialogButton button) const {
    std::lock_guard lock(mutex);
    return enabled.at(button);
}

void TerminalWindow::ShowDrives(std::string_view /*computer*/, std::span<const DriveItem> shown) {
    std::lock_guard lock(mutex);
    drives.assign(shown.begin(), shown.end());
    selection = {};
}

TreeSelection TerminalWindow::Selection() const {
    std::lock_guard lock(mutex);
    return selection;
}

void TerminalWindow::SetDriveText(size_t position, std::string_view text) {
    std::lock_guard lock(mutex);
    drives.at(position).text = text;
}

bool TerminalWindow::SelectDrive(size_t n) {
    std::lock_guard lock(mutex);
    if (n >= drives.size()) {
        return false;
    }
    selection = TreeSelection::Drive(n);
    return true;
}

bool TerminalWindow::DriveGreyed(size_t n) const {
    std::lock_guard lock(mutex);
    return drives.at(n).greyed;
}

size_t TerminalWindow::DriveCount() const {
    std::lock_guard lock(mutex);
    return drives.size();
}

std::vector<std::string> TerminalWindow::LogLines() const {
    std::lock_guard lock(mutex);
    return logLines;
}

void TerminalWindow::SetProgress(int position) {
    std::lock_guard lock(mutex);
    progress = position;
}

void TerminalWindow::StepProgress() {
    std::lock_guard lock(mutex);
    progress = SteppedProgress(progress);
}

int TerminalWindow::Progress() const {
    std::lock_guard lock(mutex);
    return progress;
}

BoxAnswer TerminalWindow::ShowMessageBox(const MessageBoxRequest& request) {
    if (request.buttons != BoxButtons::OkCancel) {
        std::lock_guard lock(mutex);
        // The window shows a result twice, once in its log and once in a box over it; in a
        // terminal both land on the same lines, so a box that says nothing the line just
        // printed did not say is left out.
        const std::string said = Words(request.text);
        if (!said.empty() && !logLines.empty() &&
            Words(logLines.back()).find(said) != std::string::npos) {
            return BoxAnswer::Ok;
        }
        const std::string lines = BoxLines(request.text);
        for (size_t start = 0; start < lines.size();) {
            const size_t end = lines.find('\n', start);
            Print(std::string_view(lines).substr(start, end - start));
            start = end + 1;
        }
        return BoxAnswer::Ok;
    }
    // Not under the lock: a question may wait for the operator.
    const BoxAnswer answer = prompter.Answer(request, questions);
    const bool revision = request.question == QuestionKind::SameRevision ||
                          request.question == QuestionKind::DriveNewer;
    if (revision) {
        std::lock_guard lock(mutex);
        if (answer != BoxAnswer::Ok) {
            declinedByRule = true;
        } else {
            Print(request.question == QuestionKind::SameRevision
                      ? "The drive already has this firmware revision: it is installed again "
                        "(--allow-reinstall)."
                      : "The drive has a newer firmware revision than this build's: the older "
                        "one is installed (--allow-older).");
        }
    }
    return answer;
}

void TerminalWindow::BeginPress() {
    std::lock_guard lock(mutex);
    declinedByRule = false;
}

void TerminalWindow::EndDialog(int /*result*/) {}

}  // namespace flashtool
