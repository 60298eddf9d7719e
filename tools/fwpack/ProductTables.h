#pragma once

// Reads and checks the product tables of data/ (the family table with each family's traits,
// the model table, the OEM revision table and the factory-revision list) and writes them out
// as the constant tables the program is compiled with. The build runs this through the
// `producttables` host tool; a malformed row stops it with "file:line: error: what".
//
// Every table uses the packer's line format (TextRecords). Texts are kept byte for byte and
// rows keep their order: identifications are matched exactly and the first row wins.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace flashtool {

// One row of families.txt: a family code and what the program does differently for it.
struct FamilyTraitsRow {
    size_t line = 0;
    std::string code;
    bool inModelTable = false;
    std::vector<std::string> flags;  // names from kFamilyFlags, in the row's order
    int oemCode = -1;                // 0 to 255, or -1 for none
    std::string oemBase;             // a family code, or empty
    std::string belowBoundary;       // "bar-downgrade", "prepare-records" or empty
    std::string drive;               // 24 characters, or empty
    std::string oemTag;              // 12 characters, or empty
    std::string modelName;           // or empty
};

// The flags a family row may carry, each one a member of FamilyTraits of the same meaning.
inline constexpr std::array<std::string_view, 7> kFamilyFlags = {
    "page-sums",  "fixed-offset",   "two-segments", "eject-path",
    "no-inflate", "factory-prefix", "variant-tags"};

struct ModelTableRow {
    std::string identification;
    std::string family;
};

struct OemRevisionTableRow {
    std::string identification;
    std::string revision;
    std::string family;
};

struct FactoryRevisionTableRow {
    std::string identification1;
    std::string identification2;  // empty for "-"
    std::vector<std::string> families;
    std::string condition;  // the FactoryCondition enumerator's name
    std::string value;
};

// The four files' texts and the names their errors give.
struct ProductTableFiles {
    std::string familiesName, familiesText;
    std::string modelsName, modelsText;
    std::string oemName, oemText;
    std::string factoryName, factoryText;
};

struct ProductTables {
    std::vector<FamilyTraitsRow> families;
    std::vector<ModelTableRow> models;
    std::vector<OemRevisionTableRow> oemRevisions;
    std::vector<FactoryRevisionTableRow> factoryRevisions;
    std::string error;  // the first thing wrong, "file:line: error: ..."; empty when all is well
};

ProductTables ReadProductTables(const ProductTableFiles& files);

// The sources of the constant tables: FamilyTraitsData.inc, ModelTableData.inc and
// FactoryRevisionData.inc, each included by one .cpp file inside its namespace.
std::string FamilyTraitsSource(const ProductTables& tables);
std::string ModelTableSource(const ProductTables& tables);
std::string FactoryRevisionSource(const ProductTables& tables);

}  // namespace flashtool
