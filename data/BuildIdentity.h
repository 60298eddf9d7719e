#pragma once

// What this build is: the product's name, the model and firmware revision it installs,
// digests of the firmware it was packed from and of the stored region it carries, and the
// program's own version. Written at build time from the build's description
// (-DFLASHTOOL_BUILD) and the packed region.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace flashtool {

// One payload's firmware.
struct BuildFirmware {
    std::string_view file;    // as the build names it ("firmware.bin"); empty: no such payload
    std::string_view sha256;  // of the image packed: the file's own bytes, or the image made
    bool made = false;        // made from a recipe (`file` is the recipe), not a vendor's file
};

struct BuildIdentity {
    std::string_view package;               // the Debian package and the program's name
    std::string_view packageVersion;        // the firmware revision, then the program's version
    std::string_view model;                 // the model the build is for
    std::string_view revision;              // the firmware revision it installs
    std::string_view regionSha256;          // of the stored region, 64 hex digits
    std::string_view programVersion;        // the project's version
    std::array<BuildFirmware, 2> firmware;  // payload A's, and B's in the dual layout
};

const BuildIdentity& ThisBuild();

// The programs' names, which every front-end says (usage, --version, error lines, the lock,
// the history's folder, the window's title bar): the build's package, and the emulated
// program's, the package's with "-emulated". They are the names the package installs them
// under, whatever a file was renamed to.
enum class ProgramKind : uint8_t { Native, Emulated };
std::string ProgramName(ProgramKind kind);

// What --version prints after the program's name: the package's version, then the package,
// the model, the firmware revision, each firmware's digest (a file's as the vendor gave it,
// "firmware file sha256: HEX  NAME", as sha256sum prints it), the region's digest and the
// program's version, one a line (no newline at the end).
std::string BuildVersionText();

// The About box's lines: the model, the firmware revision, the digest's first 16 digits
// (as much as the box shows) and the program's version. Both windows show them under the
// notice, in kAboutBuildRect.
std::string AboutBuildText();

// The text of the scenario file of this build's emulated drives, carried inside the program.
std::span<const uint8_t> EmbeddedDriveScenario();

}  // namespace flashtool
