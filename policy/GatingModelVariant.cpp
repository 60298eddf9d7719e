// The model identity check: which variant of the three known drive models this drive is,
// read from the OEM tag of its long INQUIRY answer.

#include <optional>

#include "core/FixedText.h"
#include "image/FamilyTraits.h"
#include "image/ImageLayout.h"
#include "policy/Gating.h"
#include "transport/Inquiry.h"
#include "transport/InquiryReply.h"

namespace flashtool {

namespace {

constexpr uint8_t kVariantInquiryLength = 125;

constexpr size_t kOemBuildFamilyWidth = 10;  // the family field and the two bytes after it

bool IsTag(std::string_view tag, std::string_view expected) {
    return SameBytes(tag, expected, kOemTagCompared);
}

// The build is for `drive`'s OEM variant that carries `oemTag`: nothing when the tag names
// no such variant, else whether the build's family field holds exactly that variant's code.
std::optional<bool> OemBuildMatches(const BuildConfig& config, std::string_view drive,
                                    std::string_view oemTag) {
    const FamilyTraits* oem = OemBuildFamily(drive, oemTag);
    if (oem == nullptr) {
        return std::nullopt;
    }
    return FieldHoldsExactly(config.FamilyCode10(), oem->code, kOemBuildFamilyWidth);
}

// The build's family is the plain (no OEM tag) family of builds for `drive`.
bool IsPlainBuildFor(const BuildConfig& config, std::string_view drive) {
    const FamilyTraits& family = TraitsOf(config.FamilyCode());
    return family.drive == drive && family.oemTag.empty();
}

}  // namespace

bool Gating::CheckModelVariant(DriveModel model) {
    // Zero-filled first: an answer shorter than the tag leaves zeros, never stale bytes.
    std::array<uint8_t, kVariantInquiryLength> reply{};
    const auto cdb = InquiryCdb(kVariantInquiryLength);
    if (!context.device
             .Execute(cdb, DataDirection::In, reply.data(), kVariantInquiryLength,
                      kLongCommandTimeout)
             .Ok()) {
        return false;
    }
    const auto tag = OemTagFromInquiry(reply);
    const std::string_view oemTag(tag.data(), tag.size());
    switch (model) {
        case DriveModel::QV5500A:
            return CheckQv5500a(oemTag);
        case DriveModel::QV5505A:
            return CheckQv5505a(oemTag);
        case DriveModel::QV5520A:
            return CheckQv5520a(oemTag);
    }
    return false;
}

bool Gating::AdoptVariant(std::string_view variantTag) {
    const std::span<const uint8_t> region = context.storedRegion;
    const auto header = region.size() >= kPayloadHeaderOffset
                            ? PayloadHeader::FromBytes(region.subspan(kPayloadHeaderOffset))
                            : std::nullopt;
    if (!header) {
        return false;  // no header to hand to the flash run: the check cannot pass
    }
    context.state.variantTag = std::string(variantTag);
    context.state.payloadHeader = *header;
    return true;
}

bool Gating::CheckQv5500a(std::string_view oemTag) {
    const BuildConfig& config = context.config;
    if (!TargetsVariantModel(config)) {
        return false;
    }
    if (const auto oemBuild = OemBuildMatches(config, kModelQv5500a, oemTag)) {
        return *oemBuild;
    }
    if (!IsVariantFamily(config)) {
        return false;
    }
    return AdoptVariant(IsTag(oemTag, "ORIN      QZ") ? kVariantOrin7250 : kVariantOrin7240);
}

bool Gating::CheckQv5505a(std::string_view oemTag) const {
    const BuildConfig& config = context.config;
    if (!SameBytes(config.TargetId(), kModelQv5505a, 24) && !config.IsWildcard()) {
        return false;
    }
    return IsTag(oemTag, "ORIN      QZ") && IsPlainBuildFor(config, kModelQv5505a);
}

bool Gating::CheckQv5520a(std::string_view oemTag) const {
    const BuildConfig& config = context.config;
    // Unlike the two models above, a wildcard build is not accepted for this one.
    if (!SameBytes(config.TargetId(), kModelQv5520a, 24) && config.IsWildcard()) {
        return false;
    }
    if (const auto oemBuild = OemBuildMatches(config, kModelQv5520a, oemTag)) {
        return *oemBuild;
    }
    return IsPlainBuildFor(config, kModelQv5520a);
}

}  // namespace flashtool
