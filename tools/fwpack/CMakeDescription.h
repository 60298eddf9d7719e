#pragma once

// A checked build as CMake reads it: `fwpack DESCRIPTION --check --describe FILE` writes a
// CMake script of set() commands that cmake/BuildData.cmake includes, so that the names,
// texts and files of the product come from the packer's one reading of the description,
// with its defaults, and never from a second parser that could read it otherwise.

#include <string>
#include <string_view>
#include <vector>

#include "tools/fwpack/BuildDescription.h"
#include "tools/fwpack/ProductFields.h"

namespace flashtool {

// `text` as a CMake bracket argument ([==[text]==]): taken literally, whatever it holds.
std::string CMakeBracket(std::string_view text);

// The script: FWPACK_PACKAGE, _MODEL, _REVISION, _KEY, _VENDOR, _MAINTAINER, _HOMEPAGE,
// _DRIVES, _ICON, _RELEASE_NOTES, _NOTES_DATE, _NOTES_CHANGELOG_DATE, _NOTE_COUNT and
// _NOTE_1 ... (each note's lines joined by newlines), _FIRMWARE_A and _FIRMWARE_B (the
// firmware as the description names it, "" for none), _FIRMWARE_A_SYNTHETIC (ON when made
// from a recipe), and _INPUTS (every file the build is made from, absolute).
std::string CMakeDescription(const BuildDescription& description, const Product& product,
                             const std::vector<std::string>& inputs);

// Every file a build is made from: the description, its firmware (or recipes), and the files
// the product names; absolute. `description` is the description's path.
std::vector<std::string> BuildInputs(const BuildDescription& d, const Product& product,
                                     const std::string& description);

}  // namespace flashtool
