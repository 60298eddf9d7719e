#include "policy/ModelTables.h"

#include <algorithm>
#include <array>

namespace flashtool {

namespace {
// kFamilyCodeRows, kModelRows and kOemRevisionRows, generated from data/ at build time.
#include "ModelTableData.inc"

constexpr size_t kIdentificationSize = 24;
}  // namespace

std::span<const ModelRow> ModelFamilyTable() {
    return kModelRows;
}
std::span<const std::string_view> FamilyCodes() {
    return kFamilyCodeRows;
}
std::span<const OemRevisionRow> OemRevisionTable() {
    return kOemRevisionRows;
}

void ResolveFamily(std::string_view description, FixedText<10>& currentFamily,
                   std::span<const ModelRow> rows) {
    currentFamily.fill('\0');
    for (const ModelRow& row : rows) {
        if (SameBytes(row.identification, description, kIdentificationSize)) {
            // Family codes are at most 7 characters; the rest of the 10 bytes stays zero.
            std::copy_n(row.family.begin(), std::min(row.family.size(), currentFamily.size() - 1),
                        currentFamily.begin());
            return;
        }
    }
}

std::optional<OemRevisionRow> FindOemRevision(std::string_view identification,
                                              std::span<const OemRevisionRow> rows) {
    for (const OemRevisionRow& row : rows) {
        if (SameBytes(row.identification, identification, kIdentificationSize)) {
            return row;
        }
    }
    return std::nullopt;
}

}  // namespace flashtool
