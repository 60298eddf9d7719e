// What the program says of its build (--version's lines after the program's name), then the
// revision the region it carries installs.

#include <cstdio>

#include "data/BuildIdentity.h"
#include "data/EmbeddedRegion.h"
#include "image/BuildConfig.h"

int main() {
    using namespace flashtool;
    const auto config = BuildConfig::FromBytes(EmbeddedStoredRegion());
    std::printf("%s %s\n", ProgramName(ProgramKind::Native).c_str(), BuildVersionText().c_str());
    std::printf("region revision: %.*s\n",
                config ? static_cast<int>(config->NewRevision().size()) : 0,
                config ? config->NewRevision().data() : "");
    return config ? 0 : 1;
}
