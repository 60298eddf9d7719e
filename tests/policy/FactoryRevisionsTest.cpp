#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "policy/FactoryRevisions.h"

namespace flashtool {
namespace {

// The acceptance list is product data; what the gating relies on is its shape.
TEST(FactoryRevisionsTest, ListHasTheBuildsEntries) {
    const auto table = FactoryRevisionTable();
    ASSERT_EQ(table.size(), 19u);
    size_t identifications = 0;
    std::map<std::string, int> brandEntries;
    std::set<std::string_view> revisionFamilies;
    int revisionEntries = 0;
    int multiFamilyEntries = 0;
    for (const FactoryRevisionRule& rule : table) {
        EXPECT_EQ(rule.identification1.size(), 24u);
        EXPECT_TRUE(rule.identification2.empty() || rule.identification2.size() == 24u);
        identifications += rule.identification2.empty() ? 1 : 2;
        EXPECT_EQ(rule.value.size(), 2u);
        for (const std::string_view id : {rule.identification1, rule.identification2}) {
            EXPECT_NE(id, "ORIN    DVD RW QV-5500A ") << "this build's target takes no entry";
        }
        if (rule.condition == FactoryCondition::RevisionChars) {
            ++revisionEntries;
            if (!rule.families[1].empty()) {
                ++multiFamilyEntries;
                EXPECT_EQ(rule.families,
                          (std::array<std::string_view, 3>{"KM7200", "KM7210", "KM7220"}));
            } else {
                revisionFamilies.insert(rule.families[0]);
            }
        } else {
            EXPECT_TRUE(rule.families[1].empty());
            ++brandEntries[std::string(rule.families[0])];
        }
    }
    EXPECT_EQ(identifications, 23u);
    EXPECT_EQ(brandEntries, (std::map<std::string, int>{{"KM7240", 5}, {"KM7255", 4}}));
    EXPECT_EQ(revisionEntries, 10);
    EXPECT_EQ(multiFamilyEntries, 1);
    EXPECT_EQ(revisionFamilies, (std::set<std::string_view>{"TJ44", "KM7225", "TX440P", "KM7300"}));
}

}  // namespace
}  // namespace flashtool
