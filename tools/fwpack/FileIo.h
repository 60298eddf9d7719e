#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flashtool {

// The whole file; nothing when it cannot be opened or read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// Writes next to `path` and renames over it, so a failed run leaves no partial file.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace flashtool
