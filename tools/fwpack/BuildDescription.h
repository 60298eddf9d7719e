#pragma once

// What a build is for, as the packer reads it from a text file of "name value" lines
// (values with blanks in double quotes):
//
//   key            "TARN2"                      "TARN" and the transfer method, 0 to 4
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
//
// and, for the build of a product (the packer reads the firmware; CMake the rest):
//
//   image-a        "fw-a.bin"                   payload A's firmware file as it is, or
//   synthetic-a    "fw-a.txt"                   a recipe of fwsynth's (one of the two);
//   image-b / synthetic-b                       payload B's, dual only. Paths are relative
//                                               to the description's folder
//   package        "flashtool-qv-5500a"         the Debian package and the program's name
//   model          "ORIN DVD RW QV-5500A"       the model the product names
//   drives         "drives.json"                the emulated program's drives (a scenario)
//
// and what a vendor gives of their own (tools/fwpack/ProductFields.h checks them):
//
//   vendor         "Orin Storage"               who makes the build
//   maintainer     "Name <mail@example.org>"    the package's maintainer
//   homepage       "https://example.org/qv"     where the build is published
//   icon           "icon.svg"                   the program's icon, an SVG picture
//   release-notes  "notes.txt"                  the release's date and notes

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "image/BuildConfig.h"
#include "image/ImageLayout.h"

namespace flashtool {

constexpr size_t kSeparatorTagTextSize = kSeparatorTagSize - 2;
constexpr std::string_view kDefaultSeparatorTag = "FLASHTOOL DUAL PAYLOAD   ";

// One payload's firmware as a description names it.
struct FirmwareSource {
    std::string field;  // "image-a", "synthetic-b", ...
    std::string path;   // as written, relative to the description's folder
    size_t line = 0;
    bool synthetic = false;
};

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
    std::optional<FirmwareSource> sourceA;
    std::optional<FirmwareSource> sourceB;
    std::string package;
    std::string model;
    std::string drives;
    std::string vendor;
    std::string maintainer;
    std::string homepage;
    std::string icon;
    std::string releaseNotes;
    // The line of every field read from a file, for messages that name it.
    std::map<std::string, size_t, std::less<>> lines;
};

struct ParsedBuildDescription {
    std::optional<BuildDescription> description;
    std::string error;  // "file:line: what is wrong", or "file: what is missing"
};

// Reads and checks a description: every field as ValidateBuildDescription does, then
// CheckProgramTakes.
ParsedBuildDescription ParseBuildDescription(std::string_view text, std::string_view fileName);

// The first thing wrong with `description`, or empty when it can be packed.
std::string ValidateBuildDescription(const BuildDescription& description);

// The first reason the program would mishandle or always refuse a region packed from
// `description` (a key that is not the maker's or names no transfer method, a payload size
// that is not whole pages, a layout the drive's model check never chooses for this family
// and target), or empty. The command refuses these; PackRegion does not, so that tests can
// still make such regions.
std::string CheckProgramTakes(const BuildDescription& description);

// Debian's rule for a package name: lower-case letters, digits, '+', '-' and '.', at least
// two, beginning with a letter or digit.
bool IsDebianPackageName(std::string_view name);

// The BuildConfig block of a region packed from `description` with a payload A of `sizeA`
// bytes; the expected sums are left zero.
BuildConfig ConfigFor(const BuildDescription& description, uint32_t sizeA);

}  // namespace flashtool
