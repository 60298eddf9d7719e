#pragma once

// Bounds of what the history's reader accepts (history/ByteJson.h); a text beyond them is not
// a record. An object of 16 strings of the longest length, every byte escaped, fits. Apart, so
// that what only needs the bounds does not take in the JSON library.

#include <cstddef>

namespace flashtool {

inline constexpr size_t kMaxJsonStringLength = 128;
inline constexpr size_t kMaxJsonObjectLength = 16 * (kMaxJsonStringLength * 6 + 32);
inline constexpr size_t kMaxJsonMembers = 32;

}  // namespace flashtool
