// Provisional tables until the generated ones land: the three models the program knows by
// name. Replaced by tables generated from data/.

#include "policy/ModelTables.h"

#include <algorithm>

namespace flashtool {

namespace {
constexpr ModelRow kModels[] = {
    {"ORIN    DVD RW QV-5500A ", "KM7240"},
    {"ORIN    DVD RW QV-5505A ", "KM7255"},
    {"ORIN    DVD RW QV-5520A ", "KM7300"},
};
constexpr std::string_view kFamilies[] = {"KM7300", "KM7255", "KM7240"};
constexpr OemRevisionRow kOemRows[] = {{"PALLAS  CDRW/DVD PX3105 ", "1.10", "KM3105"}};
}  // namespace

std::span<const ModelRow> ModelFamilyTable() { return kModels; }
std::span<const std::string_view> FamilyCodes() { return kFamilies; }
std::span<const OemRevisionRow> OemRevisionTable() { return kOemRows; }

void ResolveFamily(std::string_view description, FixedText<10>& currentFamily) {
    currentFamily.fill('\0');
    if (description.size() < 24) {
        return;
    }
    for (const ModelRow& row : ModelFamilyTable()) {
        if (row.identification == description.substr(0, 24)) {
            std::copy_n(row.family.begin(), std::min(row.family.size(), currentFamily.size() - 1),
                        currentFamily.begin());
            return;
        }
    }
}

std::optional<OemRevisionRow> FindOemRevision(std::string_view identification) {
    if (identification.size() < 24) {
        return std::nullopt;
    }
    for (const OemRevisionRow& row : OemRevisionTable()) {
        if (row.identification == identification.substr(0, 24)) {
            return row;
        }
    }
    return std::nullopt;
}

}  // namespace flashtool
