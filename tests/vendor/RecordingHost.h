#pragma once

// A stand-in for the main dialog as the drive commands and the gating see it: it records
// log lines, result codes and message boxes, answers boxes from a script, and keeps the
// Upgrade button's state the way the dialog does (reporting a result enables it again).

#include <deque>
#include <string>
#include <vector>

#include "policy/GatingHost.h"

namespace flashtool::testing {

class RecordingHost final : public GatingHost {
public:
    std::vector<std::string> log;
    std::vector<ResultCode> results;
    std::vector<MessageBoxRequest> boxes;
    std::deque<BoxAnswer> answers;  // when empty, every box is answered OK
    bool upgradeEnabled = true;

    void AppendLog(std::string_view line) override { log.emplace_back(line); }
    void ReportResult(ResultCode code) override {
        results.push_back(code);
        upgradeEnabled = true;
    }
    BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
        boxes.push_back(request);
        if (answers.empty()) {
            return BoxAnswer::Ok;
        }
        const BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetUpgradeEnabled(bool enabled) override { upgradeEnabled = enabled; }
};

}  // namespace flashtool::testing
