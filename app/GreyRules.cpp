#include "app/GreyRules.h"

#include "policy/ModelTables.h"
#include "transport/DeviceEntry.h"

namespace flashtool {

bool IsGreyedDrive(const BuildConfig& config, std::string_view identification,
                   FixedText<10>& currentFamily) {
    if (!IsMakerBuild(config.BuildKey())) {
        return true;
    }
    if (config.IsWildcard()) {
        ResolveFamily(identification, currentFamily);
        const std::string_view family = TextOf(currentFamily);
        return family.empty() || family != config.FamilyText();
    }
    return !SameBytes(identification, config.TargetId(), kIdentificationLength);
}

}  // namespace flashtool
