#include "image/BuildConfig.h"

#include <algorithm>

#include "core/Bytes.h"
#include "core/FixedText.h"

namespace flashtool {

std::optional<BuildConfig> BuildConfig::FromBytes(std::span<const uint8_t> stored) {
    if (stored.size() < kBuildConfigSize) {
        return std::nullopt;
    }
    std::array<uint8_t, kBuildConfigSize> bytes{};
    std::copy_n(stored.begin(), kBuildConfigSize, bytes.begin());
    return BuildConfig(bytes);
}

std::string_view BuildConfig::FamilyText() const {
    const std::string_view field = FamilyCode();
    return field.substr(0, std::min(field.find('\0'), field.size()));
}

uint16_t BuildConfig::ExpectedLinear() const {
    return *LittleEndian16At(bytes, 56);
}
uint16_t BuildConfig::ExpectedRotated() const {
    return *LittleEndian16At(bytes, 58);
}
uint32_t BuildConfig::ImageSize() const {
    return *LittleEndian32At(bytes, 60);
}

std::optional<PayloadHeader> PayloadHeader::FromBytes(std::span<const uint8_t> record) {
    if (record.size() < kPayloadHeaderSize) {
        return std::nullopt;
    }
    std::array<uint8_t, kPayloadHeaderSize> bytes{};
    std::copy_n(record.begin(), kPayloadHeaderSize, bytes.begin());
    return PayloadHeader(bytes);
}

uint16_t PayloadHeader::ExpectedLinear() const {
    return *LittleEndian16At(bytes, 6);
}
uint16_t PayloadHeader::ExpectedRotated() const {
    return *LittleEndian16At(bytes, 8);
}
uint32_t PayloadHeader::ImageSize() const {
    return *LittleEndian32At(bytes, 10);
}

BrandCode DeriveBrandCode(std::string_view revisionPattern) {
    if (revisionPattern.size() < 2) {
        return BrandCode::Other;
    }
    const char first = UpperAscii(revisionPattern[0]);
    const char second = UpperAscii(revisionPattern[1]);
    struct Rule {
        char first;
        char second;
        BrandCode code;
    };
    constexpr Rule kRules[] = {{'W', 'V', BrandCode::WV},
                               {'F', 'G', BrandCode::FG},
                               {'Q', 'Z', BrandCode::QZ},
                               {'X', 'J', BrandCode::XJ}};
    for (const Rule& rule : kRules) {
        if (first == rule.first && second == rule.second) {
            return rule.code;
        }
    }
    return BrandCode::Other;
}

bool IsMakerBuild(std::string_view buildKey) {
    return buildKey.substr(0, 4) == "TARN";
}

}  // namespace flashtool
