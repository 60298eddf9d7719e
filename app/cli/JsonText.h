#pragma once

// The little JSON the command line prints: strings quoted with every control character
// and every byte the drive sent outside printable ASCII escaped, so that the output stays
// valid whatever a drive reports.

#include <string>
#include <string_view>
#include <vector>

namespace flashtool {

std::string JsonString(std::string_view text);
std::string JsonStrings(const std::vector<std::string>& texts);

}  // namespace flashtool
