// The brand and version rules, on small tables of our own: families of wildcard builds,
// the OEM revision table, the revision question and the values left for the flash run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gating/GatingRig.h"

namespace flashtool {
namespace {

using testing::BuildSetup;
using testing::CountDriveChanges;
using ::testing::ElementsAre;
using testing::GatingRig;
using ::testing::IsEmpty;

constexpr const char* kPx3105 = "PALLAS  CDRW/DVD PX3105 ";
constexpr const char* kPx3130 = "PALLAS  CDRW/DVD PX3130 ";
constexpr const char* kQv5500 = "ORIN    DVD RW QV-5500A ";
constexpr const char* kUnknown = "KESTREL DVD-ROM KD-1650 ";

const ModelRow kModels[] = {{kPx3105, "KM3105"}, {kPx3130, "KM3130"}, {kQv5500, "KM7240"}};
const OemRevisionRow kOemRows[] = {{kPx3105, "1.10", "KM3105"}, {kPx3130, "1.10", "KM3130"}};
const FactoryRevisionRule kFactoryRules[] = {
    {kPx3105, "", {"KM3105"}, FactoryCondition::RevisionChars, "01"}};

struct Drive {
    const char* id;
    const char* revision;
    uint16_t bufferKb = 4096;
    uint8_t modelCode = 0x05;  // in both records
};

std::unique_ptr<GatingRig> Rig(const Drive& drive, const BuildSetup& setup) {
    auto rig = std::make_unique<GatingRig>(
        std::vector<VirtualDriveSetup>{{drive.id, drive.revision, "", false}}, setup);
    rig->Drive().Vendor().bufferSizeKb = drive.bufferKb;
    rig->Drive().Vendor().recordAt02[0] = drive.modelCode;
    rig->Drive().Vendor().recordAt24[0] = drive.modelCode;
    rig->tables = GatingTables{kModels, kOemRows, kFactoryRules};
    return rig;
}

BuildSetup Wildcard(const char* family, const char* revision = "1.20") {
    return BuildSetup{"TARN2", "*", revision, family, "QZ*.**"};
}

std::string Family(const GatingState& state) {
    return std::string(state.CurrentFamilyText());
}

TEST(CheckUpdatePolicyTest, WildcardBuildsTakeTheFamilyOfTheModelTable) {
    struct Case {
        const char* name;
        Drive drive;
        const char* buildFamily;
        bool allowed;
        std::string family;  // current family afterwards
        uint8_t oemCode;
        std::vector<ResultCode> results;
    };
    const Case cases[] = {
        {"KM3105 with the large buffer is a KM3100",
         {kPx3105, "1.05", 8192},
         "KM3105",
         true,
         "KM3100",
         0x00,
         {}},
        {"KM3105 with base records is a KM3100",
         {kPx3105, "1.05", 4096, 0x00},
         "KM3100",
         true,
         "KM3100",
         0x00,
         {}},
        {"KM3105 stays KM3105", {kPx3105, "1.05"}, "KM3105", true, "KM3105", 0x05, {}},
        {"KM3105 drive, KM3100 build",
         {kPx3105, "1.05"},
         "KM3100",
         false,
         "KM3105",
         0xEE,
         {ResultCode::NotAllowed}},
        {"KM3130", {kPx3130, "1.20"}, "KM3130", true, "KM3130", 0x30, {}},
        {"other family matches over 10 bytes",
         {kQv5500, "1.0d"},
         "KM7240",
         true,
         "KM7240",
         0xEE,
         {}},
        {"other family, longer build field",
         {kQv5500, "1.0d"},
         "KM7240X",
         false,
         "KM7240",
         0xEE,
         {ResultCode::NotAllowed}},
        {"drive absent from the table",
         {kUnknown, "1.0d"},
         "KM7240",
         false,
         "",
         0xEE,
         {ResultCode::NotAllowed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rig = Rig(c.drive, Wildcard(c.buildFamily, "1.0e"));
        rig->state.oemCode = 0xEE;
        EXPECT_EQ(rig->ForDrive().CheckUpdatePolicy(), c.allowed);
        EXPECT_EQ(Family(rig->state), c.family);
        EXPECT_EQ(rig->state.oemCode, c.oemCode);
        EXPECT_EQ(rig->state.oemFamily, c.oemCode != 0xEE);
        EXPECT_EQ(rig->host.results, c.results);
    }
}

// The checks only decide that the records are to be prepared: they write nothing, and the run
// prepares them once the operator has confirmed it.
TEST(CheckUpdatePolicyTest, TheOemRevisionTableBarsDowngradesPreparesRecordsOrMarksAhead) {
    struct Case {
        const char* name;
        Drive drive;
        const char* buildFamily;
        const char* newRevision;
        bool allowed;
        std::vector<ResultCode> results;
        bool ahead;
        bool prepare;
    };
    const Case cases[] = {
        {"not ahead, older", {kPx3105, "1.05"}, "KM3105", "1.20", true, {}, false, false},
        {"not ahead, newer: downgrade barred",
         {kPx3105, "1.05"},
         "KM3105",
         "1.00",
         false,
         {ResultCode::DowngradeRefused},
         false,
         false},
        {"ahead, newer: asked", {kPx3105, "1.20"}, "KM3105", "1.10", true, {}, true, false},
        {"KM3130 not ahead: records prepared",
         {kPx3130, "1.05"},
         "KM3130",
         "1.20",
         true,
         {},
         false,
         true},
        {"KM3130 ahead: records left", {kPx3130, "1.20"}, "KM3130", "1.30", true, {}, true, false},
        {"row family unlike the build's",
         {kPx3130, "1.05"},
         "KM3105",
         "1.20",
         false,
         {ResultCode::NotAllowed},
         false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rig = Rig(c.drive, Wildcard(c.buildFamily, c.newRevision));
        EXPECT_EQ(rig->ForDrive().CheckUpdatePolicy(), c.allowed);
        EXPECT_EQ(rig->host.results, c.results);
        EXPECT_EQ(rig->state.oemRevisionAhead, c.ahead);
        EXPECT_EQ(rig->state.prepareRecords, c.prepare);
        EXPECT_EQ(rig->Drive().Vendor().recordWrites, 0u);
    }
}

TEST(CheckUpdatePolicyTest, PreparingTheRecordsWritesModelCode30ToBothWithTheMarkClear) {
    auto rig = Rig({kPx3130, "1.05", 4096, 0x05}, Wildcard("KM3130"));
    rig->Drive().Vendor().recordAt02 = {0x05, 0x51, 0x11, 0x22};
    rig->Drive().Vendor().recordAt24 = {0x05, 0x00, 0x33, 0x44};
    EXPECT_TRUE(rig->ForDrive().CheckUpdatePolicy());
    ASSERT_TRUE(rig->state.prepareRecords);
    rig->vendor->PrepareModelRecords();
    EXPECT_EQ(rig->Drive().Vendor().recordAt02, (std::array<uint8_t, 4>{0x30, 0x00, 0x11, 0x22}));
    EXPECT_EQ(rig->Drive().Vendor().recordAt24, (std::array<uint8_t, 4>{0x30, 0x00, 0x33, 0x44}));
    // The only commands that change the drive are those two writes, 0x02 first.
    std::vector<uint8_t> locations;
    for (const TraceEntry& entry : rig->Trace()) {
        if (testing::ChangesDrive(entry)) {
            locations.push_back(entry.cdb[5]);
        }
    }
    EXPECT_THAT(locations, ElementsAre(0x02, 0x24));
}

TEST(CheckUpdatePolicyTest, OemValuesAreOnlyEverSet) {
    auto rig = Rig({kQv5500, "1.0d"}, Wildcard("KM7240", "1.0e"));
    rig->state.oemFamily = true;
    rig->state.oemCode = 0x05;
    rig->state.oemRevisionAhead = true;
    rig->state.currentFamily = MakeFixedText<10>("KM3130");
    EXPECT_TRUE(rig->ForDrive().CheckUpdatePolicy());
    EXPECT_TRUE(rig->state.oemFamily);
    EXPECT_EQ(rig->state.oemCode, 0x05);
    EXPECT_TRUE(rig->state.oemRevisionAhead);
    EXPECT_EQ(Family(rig->state), "KM7240");  // rebuilt on every check
}

TEST(CheckUpdatePolicyTest, FactoryRevisionsAreDecidedByTheAcceptanceListAlone) {
    struct Case {
        const char* name;
        BuildSetup setup;
        const char* revision;
        bool allowed;
        std::vector<ResultCode> results;
    };
    const Case cases[] = {
        {"wildcard, listed", Wildcard("KM3105"), "fs01", true, {}},
        {"wildcard, not listed", Wildcard("KM3105"), "FS02", false, {ResultCode::CheckFailed}},
        {"ordinary, listed", {"TARN2", kPx3105, "1.20", "KM3105", "QZ*.**"}, "FS01", true, {}},
        {"ordinary, wrong family",
         {"TARN2", kPx3105, "1.20", "KM3130", "QZ*.**"},
         "FS01",
         false,
         {ResultCode::CheckFailed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rig = Rig({kPx3105, c.revision}, c.setup);
        EXPECT_EQ(rig->ForDrive().CheckUpdatePolicy(), c.allowed);
        EXPECT_EQ(rig->host.results, c.results);
        EXPECT_THAT(rig->host.boxes, IsEmpty());
        EXPECT_EQ(rig->state.oemFamily, false);  // no later step ran
        EXPECT_EQ(CountDriveChanges(rig->Trace()), 0u);
    }
}

TEST(CheckUpdatePolicyTest, OrdinaryBuildsAskAboutSameOrNewerFirmware) {
    struct Case {
        const char* drive;
        const char* revision;
        std::optional<BoxAnswer> answer;  // none: no question asked
        bool allowed;
        std::vector<ResultCode> results;
    };
    const Case cases[] = {
        {kQv5500, "1.0d", std::nullopt, true, {}},
        {kQv5500, "1.0e", BoxAnswer::Ok, true, {}},
        {kQv5500, "1.0e", BoxAnswer::Cancel, false, {ResultCode::UserCancelled}},
        {kQv5500, "1.1a", BoxAnswer::Cancel, false, {ResultCode::UserCancelled}},
        {kQv5500, "1x0d", std::nullopt, false, {ResultCode::NotAllowed}},
        {kUnknown, "1.0d", std::nullopt, false, {ResultCode::NotAllowed}},
    };
    const MessageBoxRequest warning{
        "Your drive's firmware is already the most updated !    \n\nDo you wish to continue ?",
        "Warning", BoxButtons::OkCancel, BoxIcon::Exclamation};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.drive) + c.revision);
        auto rig = Rig({c.drive, c.revision}, BuildSetup{});
        if (c.answer) {
            rig->host.answers.push_back(*c.answer);
        }
        EXPECT_EQ(rig->ForDrive().CheckUpdatePolicy(), c.allowed);
        EXPECT_EQ(rig->host.results, c.results);
        if (c.answer) {
            EXPECT_THAT(rig->host.boxes, ElementsAre(warning));
        } else {
            EXPECT_THAT(rig->host.boxes, IsEmpty());
        }
        EXPECT_EQ(Family(rig->state), std::string(c.drive) == kQv5500 ? "KM7240" : "");
        EXPECT_EQ(CountDriveChanges(rig->Trace()), 0u);
    }
}

}  // namespace
}  // namespace flashtool
