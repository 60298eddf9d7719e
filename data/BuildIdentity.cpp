#include "data/BuildIdentity.h"

namespace flashtool {

std::string ProgramName(ProgramKind kind) {
    std::string name(ThisBuild().package);
    return kind == ProgramKind::Emulated ? name + "-emulated" : name;
}

std::string BuildVersionText() {
    const BuildIdentity& build = ThisBuild();
    std::string text(build.packageVersion);
    text.append("\npackage: ").append(build.package);
    text.append("\nmodel: ").append(build.model);
    text.append("\nfirmware revision: ").append(build.revision);
    for (const BuildFirmware& firmware : build.firmware) {
        if (firmware.file.empty()) {
            continue;
        }
        // A vendor's file is named as sha256sum names it, to compare with theirs.
        text.append(firmware.made ? "\nfirmware image sha256: " : "\nfirmware file sha256: ");
        text.append(firmware.sha256).append("  ");
        text.append(firmware.made ? "made from " : "").append(firmware.file);
    }
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
