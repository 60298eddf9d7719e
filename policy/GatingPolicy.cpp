// The brand and version rules: is the drive's family right for this build, and is the new
// firmware actually newer than the drive's.

#include "core/FixedText.h"
#include "drive/ModelRecord.h"
#include "policy/Gating.h"
#include "policy/GatingFactory.h"

namespace flashtool {

namespace {

constexpr std::string_view kFamilyBase = "KM3100";
constexpr std::string_view kFamilyOem05 = "KM3105";
constexpr std::string_view kFamilyOem30 = "KM3130";

bool Family6Is(std::string_view family, std::string_view code) {
    return SameBytes(family, code, 6);
}

// A "KM3100" drive takes the image of either base family; any other family must match.
bool BuildTakesFamily(std::string_view buildFamily, std::string_view family6) {
    if (Family6Is(family6, kFamilyBase)) {
        return Family6Is(buildFamily, kFamilyBase) || Family6Is(buildFamily, kFamilyOem05);
    }
    return SameBytes(buildFamily, family6, 6);
}

}  // namespace

bool Gating::CheckUpdatePolicy() {
    GatingState& state = context.state;
    const BuildConfig& config = context.config;
    state.currentFamily.fill('\0');
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
    if (prepare) {
        AdjustOemParameters();
    }
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
    if (Family6Is(WholeField(state.currentFamily), kFamilyOem05) && IsBaseOemModel()) {
        state.currentFamily = MakeFixedText<10>(kFamilyBase);
    }
    const std::string_view current = WholeField(state.currentFamily);
    const bool accepted = Family6Is(current, kFamilyBase)
                              ? BuildTakesFamily(buildFamily, current)
                              : SameBytes(current, context.config.FamilyCode10(), 10);
    if (!accepted) {
        return false;
    }
    // Only ever set: a value from an earlier press stays in force.
    if (Family6Is(current, kFamilyBase)) {
        state.oemFamily = true;
        state.oemCode = kModelCodeBase;
    } else if (Family6Is(current, kFamilyOem05)) {
        state.oemFamily = true;
        state.oemCode = kModelCode05;
    } else if (Family6Is(current, kFamilyOem30)) {
        state.oemFamily = true;
        state.oemCode = kModelCode30;
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
    if (Family6Is(WholeField(family), kFamilyOem05) && IsBaseOemModel()) {
        family = MakeFixedText<6>(kFamilyBase);
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
    switch (CompareRevision(downgradesBarred, wildcard)) {
        case RevisionVerdict::DriveOlder:
            return true;
        case RevisionVerdict::DriveNewer:
        case RevisionVerdict::SameRevision: {
            const MessageBoxRequest warning{std::string(kSameRevisionWarning), "Warning",
                                            BoxButtons::OkCancel, BoxIcon::Exclamation};
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
