#include "policy/Gating.h"

#include "drive/ModelRecord.h"
#include "drive/ReadinessWait.h"
#include "drive/VendorCdbs.h"
#include "policy/GatingFactory.h"

namespace flashtool {

Gating::Gating(const GatingContext& contextIn, std::string_view descriptionIn)
    : context(contextIn), description(MakeFixedText<28>(descriptionIn)) {}

bool Gating::Refuse(ResultCode code) {
    context.host.ReportResult(code);
    return false;
}

TrayState Gating::ProbeTray() {
    const auto cdb = TestUnitReadyCdb();
    uint32_t waitedMs = 0;
    for (;;) {
        const CommandResult answer =
            context.device.Execute(cdb, DataDirection::None, nullptr, 0, kShortCommandTimeout);
        if (answer.Ok()) {
            return TrayState::DiscLoaded;
        }
        if (answer.SenseKey() == kSenseKeyNotReady || answer.Asc() == kAscMediumNotPresent) {
            return TrayState::Empty;
        }
        // Anything else (a unit attention after a disc change, no sense at all) is asked
        // again. A command that timed out has taken its whole timeout already.
        if (answer == ExecResult::TimedOut) {
            waitedMs += kShortCommandTimeout * 1000;
        }
        if (waitedMs >= kReadinessBudgetMs) {
            context.host.AppendLog(kDiscCheckUnsettledLine);
            return TrayState::Unsettled;
        }
        context.clock.SleepMs(kReadinessPollMs);
        waitedMs += kReadinessPollMs;
    }
}

RevisionVerdict Gating::CompareRevision(bool downgradesBarred, bool wildcard) const {
    return flashtool::CompareRevision(context.config.PatternCharacters(),
                                      context.config.NewRevision(), DriveRevision(),
                                      downgradesBarred, wildcard);
}

OemRevisionVerdict Gating::CheckOemRevision(std::string_view boundary,
                                            std::string_view family) const {
    return flashtool::CheckOemRevision(DriveRevision(), boundary, family);
}

bool Gating::IsBaseOemModel() {
    return context.vendor.ReadBufferSize() || context.vendor.CheckModel() == kModelCodeBase;
}

bool Gating::CheckFactoryRevision() const {
    return flashtool::CheckFactoryRevision(
        DriveRevision(), DriveIdentification(), context.config.FamilyCode(),
        context.config.RevisionPattern(), context.tables.factoryRevisions);
}

}  // namespace flashtool
