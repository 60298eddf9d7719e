// The lookup of a family's traits from a family field as the program stores it. The traits
// themselves are data (data/families.txt); what is checked here is which row a field finds.

#include <gtest/gtest.h>

#include <string>

#include "image/FamilyTraits.h"

namespace flashtool {
namespace {

using namespace std::string_literals;

TEST(FamilyTraitsTest, AFieldFindsTheLongestCodeItBeginsWith) {
    struct Case {
        std::string field;
        std::string_view code;  // empty: no family
    };
    const Case cases[] = {
        {"TJ44\0\0\0\0"s, "TJ44"},
        {"TJ44X\0\0\0"s, "TJ44"},  // a longer build family still begins with the code
        {"KM7300\0\0\0\0"s, "KM7300"},
        {"QX-5500UL\0"s, "QX-5500UL"},
        {"QX-5500UL "s, "QX-5500UL "},
        {"QX-5500ULT"s, "QX-5500ULT"},
        {"KM31\0\0\0\0"s, ""},  // shorter than every code it could be
        {"TJ4"s, ""},           // a field shorter than the code
        {"\0\0\0\0\0\0\0\0"s, ""},
        {"KM9999\0\0"s, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TraitsOf(c.field).code, c.code) << c.field;
    }
    EXPECT_FALSE(TraitsOf("KM9999\0\0"s).pageSums);
}

TEST(FamilyTraitsTest, AnOemBuildFamilyIsFoundByTheDriveAndItsTagAndMatchesOnlyExactly) {
    const FamilyTraits* oem = OemBuildFamily("ORIN    DVD RW QV-5520A ", "QX-5520UL QZ");
    ASSERT_NE(oem, nullptr);
    EXPECT_TRUE(FieldHoldsExactly("QX-5520UL\0"s, oem->code, 10));
    EXPECT_FALSE(FieldHoldsExactly("QX-5520ULX"s, oem->code, 10));
    EXPECT_FALSE(FieldHoldsExactly("QX-5520UL"s, oem->code, 10));  // too short to tell
    // The same tag on another model's drive names no OEM build.
    EXPECT_EQ(OemBuildFamily("ORIN    DVD RW QV-5500A ", "QX-5520UL QZ"), nullptr);
    EXPECT_EQ(OemBuildFamily("ORIN    DVD RW QV-5520A ", "ORIN      QZ"), nullptr);
}

}  // namespace
}  // namespace flashtool
