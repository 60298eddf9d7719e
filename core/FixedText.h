#pragma once

// Fixed-width, blank-padded identification texts. They are compared over an exact byte
// count, never as zero-terminated strings and never case-folded unless a rule says so.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace flashtool {

template <size_t N>
using FixedText = std::array<char, N>;

// Copies at most N bytes of `text` and zero-fills the rest.
template <size_t N>
constexpr FixedText<N> MakeFixedText(std::string_view text) {
    FixedText<N> out{};
    std::copy_n(text.begin(), std::min(text.size(), N), out.begin());
    return out;
}

// The text up to the first zero byte (or all N bytes when there is none).
template <size_t N>
std::string_view TextOf(const FixedText<N>& field) {
    const auto end = std::find(field.begin(), field.end(), '\0');
    return std::string_view(field.data(), static_cast<size_t>(end - field.begin()));
}

// Exact comparison of the first `count` bytes; both sides must hold at least that many.
inline bool SameBytes(std::string_view a, std::string_view b, size_t count) {
    return a.size() >= count && b.size() >= count && std::memcmp(a.data(), b.data(), count) == 0;
}

// Upper-cases a-z only; every other byte stays as it is.
constexpr char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

inline bool SameBytesUpper(std::string_view a, std::string_view b, size_t count) {
    if (a.size() < count || b.size() < count) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// A view of exactly N bytes of a fixed field, zero bytes included.
template <size_t N>
std::string_view WholeField(const FixedText<N>& field) {
    return std::string_view(field.data(), N);
}

}  // namespace flashtool
