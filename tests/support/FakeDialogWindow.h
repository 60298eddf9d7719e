#pragma once

// A recording window for the dialog's tests: it keeps every control's state, records each
// message box with the log as it stood when the box appeared, and answers boxes from a
// script (OK when the script is empty).

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/DialogWindow.h"

namespace flashtool::testing {

struct FakeTreeNode {
    TreeItem parent = kNoTreeItem;
    std::string text;
    TreeImage image = TreeImage::Computer;
    std::optional<ColorRef> color;
    bool expanded = false;
};

struct ShownBox {
    MessageBoxRequest request;
    std::string logWhenShown;
};

class FakeDialogWindow final : public DialogWindow {
public:
    FakeDialogWindow() {
        for (const ControlTemplate& control : kMainControls) {
            texts[control.id] = std::string(control.text);
            enabled[control.id] = true;
        }
    }

    std::map<ControlId, std::string> texts;
    std::map<ControlId, bool> enabled;
    std::string caption{kMainCaption};
    std::vector<FakeTreeNode> nodes;  // item handle = position + 1
    TreeItem selected = kNoTreeItem;
    int progressMin = 0, progressMax = 100, progressPos = 0, progressStep = 10;
    std::map<int, uint32_t> runningTimers;  // id -> period
    int timerStarts = 0;
    std::vector<ShownBox> boxes;
    std::deque<BoxAnswer> answers;
    // Called as each box appears (on the thread that asked for it).
    std::function<void(const MessageBoxRequest&)> onBox;
    bool closeEnabled = true;
    // The busy phases (scan, checks): whether one is shown now, and how many began.
    bool busy = false;
    int busyPhases = 0;
    std::optional<int> endResult;
    int scrolls = 0;

    const std::string& Log() const { return texts.at(ControlId::Log); }
    const FakeTreeNode& Node(TreeItem item) const { return nodes.at(item - 1); }
    std::vector<TreeItem> Children(TreeItem parent) const {
        std::vector<TreeItem> children;
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i].parent == parent) {
                children.push_back(i + 1);
            }
        }
        return children;
    }

    void RunOnWindowThread(const std::function<void()>& work) override { work(); }
    std::string ControlText(ControlId id) const override { return texts.at(id); }
    void SetControlText(ControlId id, std::string_view text) override { texts[id] = text; }
    void EnableControl(ControlId id, bool on) override { enabled[id] = on; }
    bool IsControlEnabled(ControlId id) const override { return enabled.at(id); }
    void SetCaption(std::string_view text) override { caption = text; }
    std::string Caption() const override { return caption; }
    void ScrollLogToEnd() override { ++scrolls; }

    void ClearTree() override {
        nodes.clear();
        selected = kNoTreeItem;
    }
    TreeItem InsertTreeItem(TreeItem parent, std::string_view text, TreeImage image) override {
        nodes.push_back(FakeTreeNode{parent, std::string(text), image, std::nullopt, false});
        return nodes.size();
    }
    void SetTreeItemColor(TreeItem item, ColorRef color) override {
        nodes.at(item - 1).color = color;
    }
    void ExpandTreeItem(TreeItem item) override { nodes.at(item - 1).expanded = true; }
    TreeItem RootTreeItem() const override { return nodes.empty() ? kNoTreeItem : 1; }
    TreeItem SelectedTreeItem() const override { return selected; }
    TreeItem FirstChild(TreeItem item) const override {
        const auto children = Children(item);
        return children.empty() ? kNoTreeItem : children.front();
    }
    TreeItem NextSibling(TreeItem item) const override {
        const auto siblings = Children(Node(item).parent);
        for (size_t i = 0; i + 1 < siblings.size(); ++i) {
            if (siblings[i] == item) {
                return siblings[i + 1];
            }
        }
        return kNoTreeItem;
    }
    std::string TreeItemText(TreeItem item) const override { return Node(item).text; }
    void SetTreeItemText(TreeItem item, std::string_view text) override {
        nodes.at(item - 1).text = std::string(text);
    }
    size_t TreeItemCount() const override { return nodes.size(); }

    void SetProgressRange(int minimum, int maximum) override {
        progressMin = minimum;
        progressMax = maximum;
    }
    void SetProgressPos(int position) override { progressPos = position; }
    void SetProgressStep(int step) override { progressStep = step; }
    void StepProgress() override {
        progressPos = SteppedProgress(progressPos, progressStep, progressMin, progressMax);
    }
    int ProgressPos() const override { return progressPos; }
    void StartTimer(int id, uint32_t periodMs) override {
        runningTimers[id] = periodMs;
        ++timerStarts;
    }
    void StopTimer(int id) override { runningTimers.erase(id); }

    BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
        boxes.push_back(ShownBox{request, Log()});
        if (onBox) {
            onBox(request);
        }
        if (answers.empty()) {
            return BoxAnswer::Ok;
        }
        const BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowBusy(bool on) override {
        busy = on;
        busyPhases += on ? 1 : 0;
    }
    void EnableCloseCommand(bool on) override { closeEnabled = on; }
    void EndDialog(int result) override { endResult = result; }
};

}  // namespace flashtool::testing
