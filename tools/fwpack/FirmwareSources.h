#pragma once

// The firmware a build packs: files as they are, or synthetic images made from fwsynth's
// recipes, named by the description or given on the command line. A file the program could
// not install whole is refused here, naming the file and the field.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/fwpack/BuildDescription.h"
#include "tools/fwpack/SyntheticFirmware.h"

namespace flashtool {

struct SyntheticRecipe {
    std::optional<SyntheticFirmwareParameters> parameters;
    std::string error;  // "file:line: what is wrong", or "file: what is missing"
};

// fwsynth's recipe: "name value" lines of revision, family, length, seed and code-size.
SyntheticRecipe ParseSyntheticRecipe(std::string_view text, std::string_view fileName);

// The first reason `image` cannot be a payload's firmware (empty, larger than the drive's
// buffer, not whole pages), prefixed with `name`; empty when it can.
std::string CheckFirmwareImage(std::string_view name, const std::vector<uint8_t>& image);

struct LoadedFirmware {
    std::vector<uint8_t> imageA;
    std::vector<uint8_t> imageB;  // the dual layout only
    std::string error;
};

// Reads (or makes) the firmware the description names; paths are relative to `folder`.
LoadedFirmware LoadFirmware(const BuildDescription& description, std::string_view fileName,
                            const std::string& folder);

}  // namespace flashtool
