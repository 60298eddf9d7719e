#include "app/cli/TerminalWindow.h"

namespace flashtool {

namespace {
constexpr std::string_view kLineBreak = "\r\n";
}  // namespace

TerminalWindow::TerminalWindow(Prompter& prompterIn, DiagnosticSink* outIn,
                               DiagnosticSink& questionsIn)
    : prompter(prompterIn), out(outIn), questions(questionsIn), caption(kMainCaption) {
    for (const ControlTemplate& control : kMainControls) {
        texts[control.id] = std::string(control.text);
        enabled[control.id] = true;
    }
}

void TerminalWindow::Print(std::string_view line) {
    logLines.emplace_back(line);
    if (out != nullptr) {
        out->Write(std::string(line) + "\n");
    }
}

void TerminalWindow::RunOnWindowThread(const std::function<void()>& work) {
    std::lock_guard lock(mutex);
    work();
}

std::string TerminalWindow::ControlText(ControlId id) const {
    std::lock_guard lock(mutex);
    return texts.at(id);
}

void TerminalWindow::SetControlText(ControlId id, std::string_view text) {
    std::lock_guard lock(mutex);
    std::string& old = texts[id];
    if (id == ControlId::Log) {
        // The dialog appends a line as CR LF and the line; anything else replaces the text
        // (the selection's display), which is printed whole.
        std::string_view added = text;
        if (text.starts_with(old) && text.substr(old.size()).starts_with(kLineBreak)) {
            added = text.substr(old.size() + kLineBreak.size());
        }
        for (size_t start = 0;;) {
            const size_t end = added.find(kLineBreak, start);
            Print(added.substr(start, end == std::string_view::npos ? end : end - start));
            if (end == std::string_view::npos) {
                break;
            }
            start = end + kLineBreak.size();
        }
    }
    old = std::string(text);
}

void TerminalWindow::EnableControl(ControlId id, bool on) {
    std::lock_guard lock(mutex);
    enabled[id] = on;
}

bool TerminalWindow::IsControlEnabled(ControlId id) const {
    std::lock_guard lock(mutex);
    return enabled.at(id);
}

void TerminalWindow::SetCaption(std::string_view text) {
    std::lock_guard lock(mutex);
    caption = text;
}

std::string TerminalWindow::Caption() const {
    std::lock_guard lock(mutex);
    return caption;
}

void TerminalWindow::ClearTree() {
    std::lock_guard lock(mutex);
    nodes.clear();
    selected = kNoTreeItem;
}

TreeItem TerminalWindow::InsertTreeItem(TreeItem parent, std::string_view text, TreeImage) {
    std::lock_guard lock(mutex);
    nodes.push_back(Node{parent, std::string(text), false});
    return nodes.size();
}

void TerminalWindow::SetTreeItemColor(TreeItem item, ColorRef) {
    std::lock_guard lock(mutex);
    // The dialog colours only the drives this build cannot update.
    nodes.at(item - 1).greyed = true;
}

std::vector<TreeItem> TerminalWindow::Children(TreeItem parent) const {
    std::vector<TreeItem> children;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].parent == parent) {
            children.push_back(i + 1);
        }
    }
    return children;
}

TreeItem TerminalWindow::RootTreeItem() const {
    std::lock_guard lock(mutex);
    return nodes.empty() ? kNoTreeItem : 1;
}

TreeItem TerminalWindow::SelectedTreeItem() const {
    std::lock_guard lock(mutex);
    return selected;
}

TreeItem TerminalWindow::FirstChild(TreeItem item) const {
    std::lock_guard lock(mutex);
    const auto children = Children(item);
    return children.empty() ? kNoTreeItem : children.front();
}

TreeItem TerminalWindow::NextSibling(TreeItem item) const {
    std::lock_guard lock(mutex);
    const auto siblings = Children(nodes.at(item - 1).parent);
    for (size_t i = 0; i + 1 < siblings.size(); ++i) {
        if (siblings[i] == item) {
            return siblings[i + 1];
        }
    }
    return kNoTreeItem;
}

std::string TerminalWindow::TreeItemText(TreeItem item) const {
    std::lock_guard lock(mutex);
    return nodes.at(item - 1).text;
}

void TerminalWindow::SetTreeItemText(TreeItem item, std::string_view text) {
    std::lock_guard lock(mutex);
    nodes.at(item - 1).text = std::string(text);
}

size_t TerminalWindow::TreeItemCount() const {
    std::lock_guard lock(mutex);
    return nodes.size();
}

bool TerminalWindow::SelectDrive(size_t n) {
    std::lock_guard lock(mutex);
    const auto drives = Children(nodes.empty() ? kNoTreeItem : 1);
    if (nodes.empty() || n >= drives.size()) {
        return false;
    }
    selected = drives[n];
    return true;
}

bool TerminalWindow::DriveGreyed(size_t n) const {
    std::lock_guard lock(mutex);
    return nodes.at(Children(1).at(n) - 1).greyed;
}

size_t TerminalWindow::DriveCount() const {
    std::lock_guard lock(mutex);
    return nodes.empty() ? 0 : Children(1).size();
}

std::vector<std::string> TerminalWindow::LogLines() const {
    std::lock_guard lock(mutex);
    return logLines;
}

void TerminalWindow::SetProgressRange(int minimum, int maximum) {
    std::lock_guard lock(mutex);
    progressMin = minimum;
    progressMax = maximum;
}

void TerminalWindow::SetProgressPos(int position) {
    std::lock_guard lock(mutex);
    progressPos = position;
}

void TerminalWindow::SetProgressStep(int step) {
    std::lock_guard lock(mutex);
    progressStep = step;
}

void TerminalWindow::StepProgress() {
    std::lock_guard lock(mutex);
    progressPos = SteppedProgress(progressPos, progressStep, progressMin, progressMax);
}

int TerminalWindow::ProgressPos() const {
    std::lock_guard lock(mutex);
    return progressPos;
}

BoxAnswer TerminalWindow::ShowMessageBox(const MessageBoxRequest& request) {
    const BoxKind kind = ClassifyBox(request, startingUp);
    if (kind == BoxKind::Message) {
        std::lock_guard lock(mutex);
        const std::string lines = BoxLines(request.text);
        for (size_t start = 0; start < lines.size();) {
            const size_t end = lines.find('\n', start);
            Print(std::string_view(lines).substr(start, end - start));
            start = end + 1;
        }
        return BoxAnswer::Ok;
    }
    // Not under the lock: a question may wait for the operator.
    return prompter.Answer(request, kind, questions);
}

void TerminalWindow::EndDialog(int /*result*/) {}

}  // namespace flashtool
