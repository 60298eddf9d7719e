#pragma once

// What a product build names besides its firmware: its package and model (with their
// defaults), the emulated program's drives, and what a vendor gives of their own (vendor,
// maintainer, homepage, icon, release notes). Checked by `fwpack --check`, which the
// build's configure step runs, so that a bad field stops the configure with its file, line
// and field, before anything is built from it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/fwpack/BuildDescription.h"
#include "tools/fwpack/ReleaseNotes.h"

namespace flashtool {

struct Product {
    std::string package;  // given, or DefaultPackage's
    std::string model;    // given, or the target with its blanks closed up
    std::string vendor;
    std::string maintainer;
    std::string homepage;
    // Absolute paths; empty where the description names none (the project's own is used).
    std::string drives;
    std::string icon;
    std::string releaseNotesFile;
    std::optional<ReleaseNotes> notes;
};

struct LoadedProduct {
    std::optional<Product> product;
    std::string error;  // "file:line: field ...: what is wrong", or "file: what is missing"
};

// Checks the product's fields and reads the files they name (relative to `folder`).
LoadedProduct LoadProduct(const BuildDescription& description, std::string_view fileName,
                          const std::string& folder);

// "flashtool-" and the target's last word in lower case, in a Debian package name's
// characters ("flashtool-qv-5500a"); empty for a target that names no model ("*...").
std::string DefaultPackage(std::string_view target);

// The target with its runs of blanks closed up and the ends trimmed.
std::string DefaultModel(std::string_view target);

}  // namespace flashtool
