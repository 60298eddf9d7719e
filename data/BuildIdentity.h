#pragma once

// What this build is: the product's name, the model and firmware revision it installs, a
// digest of the stored region it carries, and the program's own version. Written at build
// time from the build's description (-DFLASHTOOL_BUILD) and the packed region.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace flashtool {

struct BuildIdentity {
    std::string_view package;         // the Debian package and the program's name
    std::string_view packageVersion;  // the firmware revision, then the program's version
    std::string_view model;           // the model the build is for
    std::string_view revision;        // the firmware revision it installs
    std::string_view regionSha256;    // of the stored region, 64 hex digits
    std::string_view programVersion;  // the project's version
};

const BuildIdentity& ThisBuild();

// What --version prints after the program's name: the package's version, then the
// package, the model, the firmware revision, the digest and the program's version, one a
// line (no newline at the end).
std::string BuildVersionText();

// The About box's lines: the model, the firmware revision, the digest's first 16 digits
// (as much as the box shows) and the program's version. Both windows show them under the
// notice, in kAboutBuildRect.
std::string AboutBuildText();

// The text of the scenario file of this build's emulated drives, carried inside the program.
std::span<const uint8_t> EmbeddedDriveScenario();

}  // namespace flashtool
