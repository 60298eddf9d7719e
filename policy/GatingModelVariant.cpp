// The model identity check: which variant of the three known drive models this drive is,
// read from the OEM tag of its long INQUIRY answer.

#include "core/FixedText.h"
#include "image/ImageLayout.h"
#include "policy/Gating.h"
#include "transport/Inquiry.h"
#include "transport/InquiryReply.h"

namespace flashtool {

namespace {

constexpr uint8_t kVariantInquiryLength = 125;

bool IsTag(std::string_view tag, std::string_view expected) {
    return SameBytes(tag, expected, kOemTagCompared);
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
    if (IsTag(oemTag, "QX-5500UL QZ")) {
        return SameBytes(config.FamilyCode10(), "QX-5500UL ", 10);
    }
    if (IsTag(oemTag, "QX-5500ULTQZ")) {
        return SameBytes(config.FamilyCode10(), "QX-5500ULT", 10);
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
    return IsTag(oemTag, "ORIN      QZ") && SameBytes(config.FamilyCode(), "KM7255", 6);
}

bool Gating::CheckQv5520a(std::string_view oemTag) const {
    const BuildConfig& config = context.config;
    // Unlike the two models above, a wildcard build is not accepted for this one.
    if (!SameBytes(config.TargetId(), kModelQv5520a, 24) && config.IsWildcard()) {
        return false;
    }
    if (IsTag(oemTag, "QX-5520UL QZ")) {
        return SameBytes(config.FamilyCode10(), std::string_view("QX-5520UL\0", 10), 10);
    }
    return SameBytes(config.FamilyCode(), "KM7300", 6);
}

}  // namespace flashtool
