#include "policy/GatingTables.h"

#include <algorithm>

namespace flashtool {

namespace {
constexpr size_t kIdentificationWidth = 24;

bool SameIdentification(std::string_view row, std::string_view identification) {
    return row.size() == kIdentificationWidth &&
           SameBytes(row, identification, kIdentificationWidth);
}
}  // namespace

void ResolveFamilyIn(std::span<const ModelRow> rows, std::string_view identification,
                     FixedText<10>& currentFamily) {
    currentFamily.fill('\0');
    for (const ModelRow& row : rows) {
        if (SameIdentification(row.identification, identification)) {
            // The family text and its terminating zero; the rest stays zero.
            std::copy_n(row.family.begin(), std::min(row.family.size(), currentFamily.size() - 1),
                        currentFamily.begin());
            return;
        }
    }
}

std::optional<OemRevisionRow> FindOemRevisionIn(std::span<const OemRevisionRow> rows,
                                                std::string_view identification) {
    for (const OemRevisionRow& row : rows) {
        if (SameIdentification(row.identification, identification)) {
            return row;
        }
    }
    return std::nullopt;
}

}  // namespace flashtool
