#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "policy/ModelTables.h"

namespace flashtool {
namespace {

using namespace std::string_literals;

std::string Resolved(std::string_view description) {
    FixedText<10> family = MakeFixedText<10>("STALE!!!!");
    ResolveFamily(description, family);
    return std::string(WholeField(family));
}

std::string Family10(std::string_view code) {
    return std::string(WholeField(MakeFixedText<10>(code)));
}

TEST(ModelTablesTest, ResolveFamilyMatchesTheFirst24BytesExactly) {
    const struct {
        std::string_view description;
        std::string_view family;  // empty: no row matches
    } cases[] = {
        {"ORIN    DVD RW QV-5500A ", "KM7240"},
        {"ORIN    DVD RW QV-5505A ", "KM7255"},
        {"ORIN    DVD RW QV-5520A ", "KM7300"},
        // The revision after the identification does not count.
        {"ORIN    DVD RW QV-5500A 1.0d", "KM7240"},
        // A trailing blank short, a letter in the other case, a shorter text: no match.
        {"ORIN    DVD RW QV-5500A", ""},
        {"ORIN    DVD RW QV-5500A1.0d", ""},
        {"ORIN    DVD RW QV-5500a ", ""},
        {"orin    DVD RW QV-5500A ", ""},
        {"ORIN   DVD RW QV-5500A  ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Resolved(c.description), Family10(c.family)) << c.description;
    }
}

TEST(ModelTablesTest, AnIdentificationInTwoRowsResolvesToTheEarlierRow) {
    std::map<std::string_view, std::vector<std::string_view>> families;
    for (const ModelRow& row : ModelFamilyTable()) {
        families[row.identification].push_back(row.family);
    }
    int doubled = 0;
    for (const auto& [identification, rowFamilies] : families) {
        if (rowFamilies.size() > 1) {
            ++doubled;
            EXPECT_NE(rowFamilies[0], rowFamilies[1]) << identification;
            EXPECT_EQ(Resolved(identification), Family10(rowFamilies[0])) << identification;
        }
    }
    EXPECT_EQ(doubled, 1);
}

TEST(ModelTablesTest, ModelTableHasTheBuildsShape) {
    const std::vector<std::string_view> expectedCodes = {
        "LM7007", "TJ44",   "9180K",  "317R",   "VA700",  "PN418T", "PN418K", "PN418H",
        "RY72JX", "KM7300", "KM7255", "KM7250", "RY729H", "KM7240", "KM7225", "KM7220",
        "KM7210", "KM7200", "KM3130", "KM3122", "KM3105", "KM2100", "TX440P", "FJORD",
        "9180Y",  "7464",   "6664",   "JADE2",  "JADE1"};
    const auto codes = FamilyCodes();
    EXPECT_EQ(std::vector<std::string_view>(codes.begin(), codes.end()), expectedCodes);

    const auto rows = ModelFamilyTable();
    EXPECT_EQ(rows.size(), 131u);
    std::map<std::string_view, size_t> rowsPerFamily;
    for (const ModelRow& row : rows) {
        EXPECT_EQ(row.identification.size(), 24u) << row.identification;
        EXPECT_NE(std::find(codes.begin(), codes.end(), row.family), codes.end()) << row.family;
        ++rowsPerFamily[row.family];
    }
    EXPECT_EQ(rowsPerFamily.size(), expectedCodes.size());
    size_t largest = 0;
    for (const auto& [family, count] : rowsPerFamily) {
        largest = std::max(largest, count);
    }
    EXPECT_EQ(largest, 10u);
}

TEST(ModelTablesTest, FindOemRevisionGivesTheRowOfAnExactIdentification) {
    const auto row = FindOemRevision("PALLAS  CDRW/DVD PX3130 1.0E");
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->revision, "1.0F");
    EXPECT_EQ(row->family, "KM3130");
    EXPECT_FALSE(FindOemRevision("pallas  CDRW/DVD PX3130 ").has_value());
    EXPECT_FALSE(FindOemRevision("PALLAS  CDRW/DVD PX3130").has_value());
    EXPECT_FALSE(FindOemRevision("ORIN    DVD RW QV-5500A ").has_value());

    const auto table = OemRevisionTable();
    ASSERT_EQ(table.size(), 7u);
    std::map<std::string_view, int> perFamily;
    for (const OemRevisionRow& oem : table) {
        EXPECT_EQ(oem.identification.size(), 24u);
        EXPECT_EQ(oem.revision.size(), 4u);
        ++perFamily[oem.family];
        const auto found = FindOemRevision(oem.identification);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->revision, oem.revision);
    }
    EXPECT_EQ(perFamily, (std::map<std::string_view, int>{{"KM3105", 3}, {"KM3130", 4}}));
}

}  // namespace
}  // namespace flashtool
