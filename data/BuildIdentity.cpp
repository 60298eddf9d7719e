#include "data/BuildIdentity.h"

namespace flashtool {

std::string BuildVersionText() {
    const BuildIdentity& build = ThisBuild();
    std::string text(build.packageVersion);
    text.append("\npackage: ").append(build.package);
    text.append("\nmodel: ").append(build.model);
    text.append("\nfirmware revision: ").append(build.revision);
    text.append("\nembedded image sha256: ").append(build.regionSha256);
    text.append("\nprogram version: ").append(build.programVersion);
    return text;
}

std::string AboutBuildText() {
    constexpr size_t kDigestShown = 16;
    const BuildIdentity& build = ThisBuild();
    std::string text("Model: ");
    text.append(build.model);
    text.append("\nFirmware revision: ").append(build.revision);
    text.append("\nImage SHA-256: ").append(build.regionSha256.substr(0, kDigestShown));
    text.append("...\nProgram: ").append(build.package).append(" ");
    text.append(build.packageVersion).append(" (flashtool ").append(build.programVersion);
    text.append(")");
    return text;
}

}  // namespace flashtool
