#pragma once

// What the update gating needs from the main dialog besides log lines and result codes:
// one question to the user, and the Upgrade button.

#include "core/MessageBox.h"
#include "drive/RunReporter.h"

namespace flashtool {

class GatingHost : public RunReporter {
public:
    virtual BoxAnswer ShowMessageBox(const MessageBoxRequest& request) = 0;
    virtual void SetUpgradeEnabled(bool enabled) = 0;
};

}  // namespace flashtool
