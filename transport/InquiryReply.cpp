#include "transport/InquiryReply.h"

#include <algorithm>

#include "transport/Inquiry.h"

namespace flashtool {

namespace {

template <size_t N>
std::array<char, N> TextAt(std::span<const uint8_t> reply, size_t offset) {
    std::array<char, N> text{};
    for (size_t i = 0; i < N && offset + i < reply.size(); ++i) {
        text[i] = static_cast<char>(reply[offset + i]);
    }
    return text;
}

}  // namespace

InquiryIdentity IdentityFromInquiry(std::span<const uint8_t> reply) {
    return InquiryIdentity{TextAt<kIdentificationLength>(reply, kInquiryIdentificationOffset),
                           TextAt<kRevisionLength>(reply, kInquiryRevisionOffset)};
}

std::array<char, kOemTagCompared> OemTagFromInquiry(std::span<const uint8_t> reply) {
    return TextAt<kOemTagCompared>(reply, kOemTagOffset);
}

std::optional<std::string> UnitSerialNumberFromVpd(std::span<const uint8_t> reply) {
    constexpr size_t kHeader = 4;
    if (reply.size() < kHeader || reply[1] != kVpdUnitSerialNumber) {
        return std::nullopt;
    }
    const size_t length = (size_t{reply[2]} << 8) | reply[3];
    if (length > reply.size() - kHeader) {
        return std::nullopt;
    }
    const auto field = reply.subspan(kHeader, length);
    if (!std::all_of(field.begin(), field.end(),
                     [](uint8_t b) { return b >= 0x20 && b <= 0x7E; })) {
        return std::nullopt;
    }
    return std::string(field.begin(), field.end());
}

}  // namespace flashtool
