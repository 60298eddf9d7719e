// The brand and version rules: is the drive's family right for this build, and is the new
// firmware actually newer than the drive's.

#include <algorithm>

#include "core/FixedText.h"
#include "drive/ModelRecord.h"
#include "image/FamilyTraits.h"
#include "policy/Gating.h"
#include "policy/GatingFactory.h"

namespace flashtool {

namespace {

// True when the drives of some other family become drives of this one when their model
// records say base (FamilyTraits::oemBase).
bool IsOemBase(const FamilyTraits& family) {
    const auto rows = FamilyTraitsTable();
    return !family.code.empty() &&
           std::any_of(rows.begin(), rows.end(),
                       [&](const FamilyTraits& row) { return row.oemBase == family.code; });
}

// A drive of an OEM base family takes the image of its own family's builds and of every
// family based on it; any other family must match over 6 characters.
bool BuildTakesFamily(std::string_view buildFamily, std::string_view family6) {
    const FamilyTraits& drive = TraitsOf(family6);
    if (IsOemBase(drive)) {
        const FamilyTraits& build = TraitsOf(buildFamily);
        return build.code == drive.code || build.oemBase == drive.code;
    }
    return SameBytes(buildFamily, family6, 6);
}

}  // namespace

bool Gating::CheckUpdatePolicy() {
    GatingState& state = context.state;
    const BuildConfig& config = context.config;
    state.currentFamily.fill('\0');
    state.prepareRecords = false;
    const bool wildcard = config.IsWildcard();
    bool downgradesBarred = false;
    bool prepare = false;

    if (wildcard) {
        ResolveFamily(DriveIdentification(), state.currentFamily, context.tables.models);
        if (IsFactoryRevision(DriveRevision())) {
            return FactoryRevisionAccepted();
        }
        if (!WildcardFamilyAccepted()) {
            return Refuse(ResultCode::NotAllowed);
        }
    } else {
        if (!SameBytes(DriveIdentification(), config.TargetId(), 24)) {
            context.host.SetUpgradeEnabled(false);
            return Refuse(ResultCode::NotAllowed);
        }
        state.currentFamily = MakeFixedText<10>(config.FamilyCode10());
        if (IsFactoryRevision(DriveRevision())) {
            return FactoryRevisionAccepted();
        }
    }
    if (!ApplyOemRevisionRow(downgradesBarred, prepare)) {
        return Refuse(ResultCode::NotAllowed);
    }
    if (!AskAboutRevision(downgradesBarred, wildcard)) {
        return false;
    }
    // The records are written by the run, once the operator has confirmed it: a press that
    // ends at the confirmation leaves the drive as it found it.
    state.prepareRecords = prepare;
    return true;
}

bool Gating::FactoryRevisionAccepted() {
    return CheckFactoryRevision() || Refuse(ResultCode::CheckFailed);
}

// Wildcard builds: the drive's family (from the model table) must be the build's; the OEM
// families also tell the flash run which model records the drive must carry.
bool Gating::WildcardFamilyAccepted() {
    GatingState& state = context.state;
    const std::string_view buildFamily = context.config.FamilyCode();
    // The drive is asked about its records only when its family has a base to become.
    const std::string_view base = TraitsOf(WholeField(state.currentFamily)).oemBase;
    if (!base.empty() && IsBaseOemModel()) {
        state.currentFamily = MakeFixedText<10>(base);
    }
    const std::string_view current = WholeField(state.currentFamily);
    const FamilyTraits& family = TraitsOf(current);
    const bool accepted = IsOemBase(family) ? BuildTakesFamily(buildFamily, current)
                                            : SameBytes(current, context.config.FamilyCode10(), 10);
    if (!accepted) {
        return false;
    }
    // Only ever set: a value from an earlier press stays in force.
    if (family.hasOemCode) {
        state.oemFamily = true;
        state.oemCode = family.oemCode;
    }
    return true;
}

// OEM drives carry a boundary revision: it decides whether a downgrade is barred, whether
// the model records are prepared first, or only marks the drive as ahead. False: the
// build's family does not fit the row.
bool Gating::ApplyOemRevisionRow(bool& downgradesBarred, bool& prepare) {
    const auto row = FindOemRevision(DriveIdentification(), context.tables.oemRevisions);
    if (!row) {
        return true;
    }
    FixedText<6> family = MakeFixedText<6>(row->family);
    const std::string_view base = TraitsOf(WholeField(family)).oemBase;
    if (!base.empty() && IsBaseOemModel()) {
        family = MakeFixedText<6>(base);
    }
    if (!BuildTakesFamily(context.config.FamilyCode(), WholeField(family))) {
        return false;
    }
    switch (CheckOemRevision(row->revision, WholeField(family))) {
        case OemRevisionVerdict::Ahead:
            context.state.oemRevisionAhead = true;
            break;
        case OemRevisionVerdict::BarDowngrade:
            downgradesBarred = true;
            break;
        case OemRevisionVerdict::PrepareRecords:
            prepare = true;
            break;
        case OemRevisionVerdict::None:
            break;
    }
    return true;
}

bool Gating::AskAboutRevision(bool downgradesBarred, bool wildcard) {
    const RevisionVerdict verdict = CompareRevision(downgradesBarred, wildcard);
    switch (verdict) {
        case RevisionVerdict::DriveOlder:
            return true;
        case RevisionVerdict::DriveNewer:
        case RevisionVerdict::SameRevision: {
            // The window asks the same question either way; the kind tells a reinstall from a
            // downgrade to whoever answers by rule.
            const QuestionKind kind = verdict == RevisionVerdict::SameRevision
                                          ? QuestionKind::SameRevision
                                          : QuestionKind::DriveNewer;
            const MessageBoxRequest warning{std::string(kSameRevisionWarning), "Warning",
                                            BoxButtons::OkCancel, BoxIcon::Exclamation, kind};
            return context.host.ShowMessageBox(warning) == BoxAnswer::Ok ||
                   Refuse(ResultCode::UserCancelled);
        }
        case RevisionVerdict::PatternMismatch:
            return Refuse(ResultCode::NotAllowed);
        case RevisionVerdict::DowngradeBarred:
            return Refuse(ResultCode::DowngradeRefused);
    }
    return Refuse(ResultCode::NotAllowed);
}

}  // namespace flashtool
