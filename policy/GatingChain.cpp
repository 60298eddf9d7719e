#include "policy/GatingChain.h"

#include <algorithm>
#include <array>
#include <optional>

#include "core/FixedText.h"
#include "transport/DeviceEntry.h"
#include "transport/ScsiTransport.h"

namespace flashtool {

namespace {

constexpr size_t kVersionShown = 6;
constexpr size_t kNewRevisionOffset = 32;

// Up to `limit` characters, ending at the first zero byte.
std::string_view Leading(std::string_view text, size_t limit) {
    text = text.substr(0, limit);
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

// The new revision as stored: its 4 characters and the 2 zero bytes after them.
std::string_view NewRevisionText(const BuildConfig& config) {
    const auto& bytes = config.Bytes();
    return Leading(
        {reinterpret_cast<const char*>(bytes.data()) + kNewRevisionOffset, kVersionShown},
        kVersionShown);
}

std::optional<DriveModel> KnownModel(std::string_view identification) {
    if (SameBytes(identification, kModelQv5500a, 24)) {
        return DriveModel::QV5500A;
    }
    if (SameBytes(identification, kModelQv5505a, 24)) {
        return DriveModel::QV5505A;
    }
    if (SameBytes(identification, kModelQv5520a, 24)) {
        return DriveModel::QV5520A;
    }
    return std::nullopt;
}

bool Refuse(GatingHost& host, ResultCode code) {
    host.ReportResult(code);
    return false;
}

}  // namespace

std::string ComposeVersionLine(BrandCode brand, const BuildConfig& config, const GatingState& state,
                               std::string_view driveRevision) {
    if (brand != BrandCode::QZ) {
        return " ==> New firmware Version : " + std::string(NewRevisionText(config));
    }
    const std::string_view version = state.variantTag == kVariantOrin7250
                                         ? Leading(state.payloadHeader.Version(), kVersionShown)
                                         : NewRevisionText(config);
    return "It will be updated from  " + std::string(Leading(driveRevision, kRevisionLength)) +
           "  To  " + std::string(version);
}

bool RunUpgradeChecks(const GatingContext& context,
                      const std::function<bool()>& verifyStoredRegion) {
    GatingHost& host = context.host;
    // A row the table does not hold names no drive: refuse rather than guess one.
    std::array<char, 50> description{};
    if (!context.device.Transport().DescribeRow(context.device.Row(), description)) {
        return Refuse(host, ResultCode::CheckFailed);
    }
    // The variant tag chooses the layout and the payload: one left by an earlier press on
    // another drive must not decide for this one. Only this drive's model check sets it.
    context.state.variantTag.clear();
    Gating gating(context, std::string_view(description.data(), kDescriptionCapacity - 1));
    const BrandCode brand = DeriveBrandCode(context.config.RevisionPattern());

    if (brand == BrandCode::FG || brand == BrandCode::QZ) {
        switch (gating.ProbeTray()) {
            case TrayState::Empty:
                break;
            case TrayState::DiscLoaded:
                return Refuse(host, ResultCode::DiscPresent);
            case TrayState::Unsettled:
                // Not known to hold a disc, but not known to be empty either.
                return Refuse(host, ResultCode::CommandFailed);
        }
    }
    if (const auto model = KnownModel(gating.DriveIdentification())) {
        const bool variantAccepted = gating.CheckModelVariant(*model);
        if (!variantAccepted || (*model == DriveModel::QV5500A && brand != BrandCode::QZ)) {
            return Refuse(host, ResultCode::CheckFailed);
        }
    }
    if (!IsMakerBuild(context.config.BuildKey()) || !verifyStoredRegion || !verifyStoredRegion()) {
        return Refuse(host, ResultCode::CheckFailed);
    }
    // Both lines stay in the log whatever the rules below decide.
    host.AppendLog(
        ComposeVersionLine(brand, context.config, context.state, gating.DriveRevision()));
    host.AppendLog(" ");
    if (!gating.CheckUpdatePolicy()) {
        host.SetUpgradeEnabled(false);
        return false;
    }
    return true;
}

}  // namespace flashtool
