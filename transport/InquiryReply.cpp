#include "transport/InquiryReply.h"

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

}  // namespace flashtool
