#pragma once

// What a build is for, as the packer reads it from a text file of "name value" lines
// (values with blanks in double quotes):
//
//   key            "TARN2"                      4 capital letters and the transfer digit
//   target         "ORIN    DVD RW QV-5500A "   24 characters; "*" first for any drive
//   revision       "1.0e"                       4 characters: the revision installed
//   family         "KM7240"                     1 to 7 characters
//   pattern        "QZ*.**"                     2 brand letters, 4 pattern characters
//   layout         dual                         single or dual
//   version-b      "1.0e"                       dual only: payload B's version, 1 to 6
//   separator-tag  "..."                        dual only, optional: 25 characters; the
//                                               packer ends it with LF and 0x1A
//   payload-a-size 901120                       optional: a fixed payload size, else the
//   payload-b-size 917504                       least whole number of pages that holds it

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image/ImageLayout.h"

namespace flashtool {

constexpr size_t kSeparatorTagTextSize = kSeparatorTagSize - 2;
constexpr std::string_view kDefaultSeparatorTag = "FLASHTOOL DUAL PAYLOAD   ";

struct BuildDescription {
    std::string key;
    std::string target;
    std::string revision;
    std::string family;
    std::string pattern;
    RegionLayout layout = RegionLayout::Single;
    std::string versionB;
    std::string separatorTag = std::string(kDefaultSeparatorTag);
    std::optional<uint32_t> payloadSizeA;
    std::optional<uint32_t> payloadSizeB;
};

struct ParsedBuildDescription {
    std::optional<BuildDescription> description;
    std::string error;  // "file:line: what is wrong", or "file: what is missing"
};

// Reads and checks a description; every field is checked as ValidateBuildDescription does.
ParsedBuildDescription ParseBuildDescription(std::string_view text, std::string_view fileName);

// The first thing wrong with `description`, or empty when it can be packed.
std::string ValidateBuildDescription(const BuildDescription& description);

}  // namespace flashtool
