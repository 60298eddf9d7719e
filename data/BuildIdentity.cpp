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

}  // namespace flashtool
