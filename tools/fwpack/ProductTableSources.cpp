// The C++ text of the constant tables. Every text was checked to hold printable ASCII with
// no double quote and no backslash, so it goes into a string literal as it is.

#include <algorithm>
#include <cstdio>

#include "tools/fwpack/ProductTables.h"

namespace flashtool {

namespace {

constexpr std::string_view kBanner =
    "// Generated at build time by the producttables tool (tools/fwpack); do not edit.\n";

std::string Literal(std::string_view text) {
    std::string literal(1, '"');
    literal.append(text).push_back('"');
    return literal;
}

// The FamilyTraits member that each flag of families.txt sets.
std::string_view MemberOfFlag(std::string_view flag) {
    constexpr std::array<std::string_view, kFamilyFlags.size()> kMembers = {
        "pageSums",  "fixedOffset",   "twoSegments", "ejectPath",
        "noInflate", "factoryPrefix", "variantTags"};
    for (size_t i = 0; i < kFamilyFlags.size(); ++i) {
        if (kFamilyFlags[i] == flag) {
            return kMembers[i];
        }
    }
    return {};
}

std::string Hex(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
    return text;
}

std::string_view Bool(bool value) {
    return value ? "true" : "false";
}

bool HasFlag(const FamilyTraitsRow& row, std::string_view flag) {
    return std::find(row.flags.begin(), row.flags.end(), flag) != row.flags.end();
}

std::string_view BelowBoundaryName(const std::string& below) {
    if (below == "bar-downgrade") {
        return "BelowBoundary::BarDowngrade";
    }
    return below == "prepare-records" ? "BelowBoundary::PrepareRecords" : "BelowBoundary::Nothing";
}

// Every member, named, in the order of FamilyTraits (the compiler checks the order, and a
// member left out would go unnoticed).
std::string FamilyInitializer(const FamilyTraitsRow& row) {
    std::string out = "    {.code = " + Literal(row.code);
    const auto add = [&out](std::string_view member, std::string_view value) {
        out.append(", .").append(member).append(" = ").append(value);
    };
    add("inModelTable", Bool(row.inModelTable));
    for (const std::string_view flag : kFamilyFlags) {
        add(MemberOfFlag(flag), Bool(HasFlag(row, flag)));
    }
    add("hasOemCode", Bool(row.oemCode >= 0));
    add("oemCode", Hex(std::max(row.oemCode, 0)));
    add("oemBase", Literal(row.oemBase));
    add("belowBoundary", BelowBoundaryName(row.belowBoundary));
    add("drive", Literal(row.drive));
    add("oemTag", Literal(row.oemTag));
    add("modelName", Literal(row.modelName));
    return out + "},\n";
}

}  // namespace

std::string FamilyTraitsSource(const ProductTables& tables) {
    std::string out(kBanner);
    out += "// From families.txt.\n\n";
    out += "constexpr std::array<FamilyTraits, " + std::to_string(tables.families.size()) +
           "> kFamilyTraitRows = {{\n";
    for (const FamilyTraitsRow& row : tables.families) {
        out += FamilyInitializer(row);
    }
    return out + "}};\n";
}

std::string ModelTableSource(const ProductTables& tables) {
    std::string codes;
    size_t codeCount = 0;
    for (const FamilyTraitsRow& row : tables.families) {
        if (row.inModelTable) {
            codes += "    " + Literal(row.code) + ",\n";
            ++codeCount;
        }
    }
    std::string out(kBanner);
    out += "// From families.txt, models.txt and oem-revisions.txt.\n\n";
    out += "constexpr std::array<std::string_view, " + std::to_string(codeCount) +
           "> kFamilyCodeRows = {{\n" + codes + "}};\n\n";
    out += "constexpr std::array<ModelRow, " + std::to_string(tables.models.size()) +
           "> kModelRows = {{\n";
    for (const ModelTableRow& row : tables.models) {
        out += "    {" + Literal(row.identification) + ", " + Literal(row.family) + "},\n";
    }
    out += "}};\n\nconstexpr std::array<OemRevisionRow, " +
           std::to_string(tables.oemRevisions.size()) + "> kOemRevisionRows = {{\n";
    for (const OemRevisionTableRow& row : tables.oemRevisions) {
        out += "    {" + Literal(row.identification) + ", " + Literal(row.revision) + ", " +
               Literal(row.family) + "},\n";
    }
    return out + "}};\n";
}

std::string FactoryRevisionSource(const ProductTables& tables) {
    std::string out(kBanner);
    out += "// From factory-revisions.txt.\n\n";
    out += "constexpr std::array<FactoryRevisionRule, " +
           std::to_string(tables.factoryRevisions.size()) + "> kFactoryRevisionRows = {{\n";
    for (const FactoryRevisionTableRow& row : tables.factoryRevisions) {
        std::string families;
        for (const std::string& family : row.families) {
            families += (families.empty() ? "" : ", ") + Literal(family);
        }
        out += "    {" + Literal(row.identification1) + ", " + Literal(row.identification2) +
               ", {" + families + "},\n     FactoryCondition::" + row.condition + ", " +
               Literal(row.value) + "},\n";
    }
    return out + "}};\n";
}

}  // namespace flashtool
