#pragma once

// The product tables that come with a build: the model table (drive identification to
// hardware family; row order kept, first match wins) and the OEM revision table. They are
// generated at build time from the text files in data/.

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "core/FixedText.h"

namespace flashtool {

struct ModelRow {
    std::string_view identification;  // exactly 24 bytes, blank-padded
    std::string_view family;          // one of FamilyCodes()
};

struct OemRevisionRow {
    std::string_view identification;  // exactly 24 bytes
    std::string_view revision;        // exactly 4 characters: the boundary revision
    std::string_view family;          // a family with an OEM code (FamilyTraits)
};

std::span<const ModelRow> ModelFamilyTable();
// The family codes of the model table, in their storage order.
std::span<const std::string_view> FamilyCodes();
std::span<const OemRevisionRow> OemRevisionTable();

// Clears `currentFamily`, then copies the family of the first row whose 24 identification
// bytes equal the first 24 bytes of `description` (byte for byte, case and blanks
// significant). Stays empty when no row matches or the description is shorter. The rows are
// the build's model table unless a test hands in its own.
void ResolveFamily(std::string_view description, FixedText<10>& currentFamily,
                   std::span<const ModelRow> rows = ModelFamilyTable());

// The first OEM revision row whose identification equals the first 24 bytes given.
std::optional<OemRevisionRow> FindOemRevision(
    std::string_view identification, std::span<const OemRevisionRow> rows = OemRevisionTable());

}  // namespace flashtool
