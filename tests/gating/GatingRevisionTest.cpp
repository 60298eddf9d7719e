// The revision rules: the pattern check and newer/older comparison, the OEM boundary, and
// the acceptance list for factory revisions.

#include <gtest/gtest.h>

#include <string>

#include "policy/GatingFactory.h"
#include "policy/GatingRevision.h"

namespace flashtool {
namespace {

using V = RevisionVerdict;

TEST(CompareRevisionTest, FollowsPatternNewRevisionAndDriveRevision) {
    struct Case {
        std::string pattern, newRevision, drive;
        bool barred, wildcard;
        RevisionVerdict verdict;
    };
    const std::string nul(1, '\0');
    const Case cases[] = {
        // This build: pattern "QZ*.**", new revision "1.0e".
        {"*.**", "1.0e", "1.0e", false, false, V::SameRevision},
        {"*.**", "1.0e", "1.0d", false, false, V::DriveOlder},
        {"*.**", "1.0e", "0.9z", false, false, V::DriveOlder},
        {"*.**", "1.0e", "1.1a", false, false, V::DriveNewer},
        {"*.**", "1.0e", "1x0e", false, false, V::PatternMismatch},
        {"*.**", "1.0e", "FS01", false, false, V::PatternMismatch},
        // Letters compare upper-cased, on either side.
        {"*.**", "1.0e", "1.0E", false, false, V::SameRevision},
        {"*.**", "1.0E", "1.0e", false, false, V::SameRevision},
        {"*.**", "1.0e", "1.0F", false, false, V::DriveNewer},
        // Downgrades barred by the OEM revision table.
        {"*.**", "1.0e", "2.0a", false, false, V::DriveNewer},
        {"*.**", "1.0e", "2.0a", true, false, V::DowngradeBarred},
        {"*.**", "1.0e", "1.0d", true, false, V::DriveOlder},
        // No "*": a matching revision is installed again without a question.
        {"1.0e", "1.0e", "1.0e", false, false, V::DriveOlder},
        {"1.0e", "1.0e", "1.0f", false, false, V::PatternMismatch},
        // Four "*" allow anything, even an older new revision.
        {"****", "1.0e", "9.9z", true, false, V::DriveOlder},
        // The new revision itself must fit the pattern.
        {"2.**", "1.0e", "2.0a", false, false, V::PatternMismatch},
        // A blank in the pattern stands where the new revision ends with a zero byte.
        {"*.* ", "1.0" + nul, "1.0 ", false, false, V::SameRevision},
        {"*.* ", "1.0" + nul, "1.1 ", false, false, V::DriveNewer},
        {"*.* ", "1.0" + nul, "1.0x", false, false, V::PatternMismatch},
        {"*.* ", "1.0" + nul, "1.0" + nul, false, false, V::PatternMismatch},
        // ... but before the last "*", the zero byte and the blank still differ.
        {" *.*", nul + "1.e", " 1.e", false, false, V::PatternMismatch},
        // Wildcard builds take a drive revision that does not fit the pattern as older.
        {"*.**", "1.0e", "1x0e", false, true, V::DriveOlder},
        {"1.0e", "1.0e", "2.0a", false, true, V::DriveOlder},
        {"*.**", "1.0e", "1.1a", false, true, V::DriveNewer},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareRevision(c.pattern, c.newRevision, c.drive, c.barred, c.wildcard),
                  c.verdict)
            << "pattern '" << c.pattern << "' drive '" << c.drive << "' barred " << c.barred
            << " wildcard " << c.wildcard;
    }
}

TEST(CheckOemRevisionTest, AheadOfTheBoundaryOrByFamily) {
    using O = OemRevisionVerdict;
    struct Case {
        std::string drive, boundary, family;
        OemRevisionVerdict verdict;
    };
    const Case cases[] = {
        {"1.20", "1.10", "KM3105", O::Ahead},
        {"2.00", "1.99", "KM3130", O::Ahead},
        {"1.1b", "1.1A", "KM7240", O::Ahead},
        {"1.10", "1.10", "KM3105", O::BarDowngrade},
        {"1.05", "1.10", "KM3100", O::BarDowngrade},
        {"1.1a", "1.1A", "KM3105", O::BarDowngrade},
        {"1.05", "1.10", "KM3130", O::PrepareRecords},
        {"1.05", "1.10", "KM7240", O::None},
        // The first three positions compare on 7 bits, the last on the whole byte.
        {"\xB1.10", "1.10", "KM3105", O::BarDowngrade},
        {"1.1\xB0", "1.10", "KM3105", O::Ahead},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckOemRevision(c.drive, c.boundary, c.family), c.verdict)
            << c.drive << " against " << c.boundary << " " << c.family;
    }
}

TEST(CheckFactoryRevisionTest, AnEntryAcceptsByIdentificationFamilyAndCondition) {
    using C = FactoryCondition;
    const FactoryRevisionRule rules[] = {
        {"PALLAS  DVDRW PD-7240A  ", "", {"KM7240"}, C::BrandExact, "QZ"},
        {"PALLAS  DVDRW PD-7255A  ", "", {"KM7255"}, C::BrandUpper, "QZ"},
        {"KESTREL DVD+RW KR-44    ", "KESTREL DVD+RW KR-44S   ", {"TJ44"}, C::RevisionChars, "A1"},
        {"MERLIN  DVD-RW MX-7200  ", "", {"KM7200", "KM7210", "KM7220"}, C::RevisionChars, "01"},
    };
    struct Case {
        const char* drive;
        const char* revision;
        std::string family;  // the build's 8-byte family field
        const char* pattern;
        bool accepted;
    };
    const std::string km7240("KM7240\0\0", 8);
    const Case cases[] = {
        {"PALLAS  DVDRW PD-7240A  ", "FS01", km7240, "QZ*.**", true},
        {"PALLAS  DVDRW PD-7240A  ", "FS01", km7240, "qz*.**", false},
        {"PALLAS  DVDRW PD-7240A  ", "FS01", std::string("KM7241\0\0", 8), "QZ*.**", false},
        {"PALLAS  DVDRW PD-7240A ", "FS01", km7240, "QZ*.**", false},  // 23 characters
        {"PALLAS  DVDRW PD-7255A  ", "FS01", std::string("KM7255\0\0", 8), "qz*.**", true},
        {"KESTREL DVD+RW KR-44S   ", "FSa1", std::string("TJ44\0\0\0\0", 8), "WV*.**", true},
        {"KESTREL DVD+RW KR-44    ", "FSA1", std::string("TJ44X\0\0\0", 8), "WV*.**", true},
        {"KESTREL DVD+RW KR-44    ", "FSA2", std::string("TJ44\0\0\0\0", 8), "WV*.**", false},
        {"MERLIN  DVD-RW MX-7200  ", "FS01", std::string("KM7210\0\0", 8), "XJ*.**", true},
        {"MERLIN  DVD-RW MX-7200  ", "FS01", std::string("KM7230\0\0", 8), "XJ*.**", false},
        {"ORIN    DVD RW QV-5500A ", "FS01", km7240, "QZ*.**", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckFactoryRevision(c.revision, c.drive, c.family, c.pattern, rules), c.accepted)
            << c.drive << " " << c.revision << " " << c.pattern;
    }
    EXPECT_FALSE(CheckFactoryRevision("FS01", "PALLAS  DVDRW PD-7240A  ", km7240, "QZ*.**", {}));
}

TEST(CheckFactoryRevisionTest, OnlyRevisionsBeginningWithFsAreFactoryRevisions) {
    for (const char* revision : {"FS01", "fs01", "fS0A"}) {
        EXPECT_TRUE(IsFactoryRevision(revision)) << revision;
    }
    for (const char* revision : {"1.0e", "F S0", "SF01", "F"}) {
        EXPECT_FALSE(IsFactoryRevision(revision)) << revision;
    }
}

}  // namespace
}  // namespace flashtool
